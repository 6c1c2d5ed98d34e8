# SQLite built from its single-file source (tools/fetch-sqlite.sh prints the directory), for
#   cmake -DNVR_SQLITE_SOURCE=<dir with sqlite3.c and sqlite3.h>
# The distribution's library carries every optional part (full-text search, R-tree, sessions, JSON,
# loadable extensions); the device needs none of them, and the extension loader drags the C library's
# dynamic loader into the static program. This build leaves them out and is optimised for size.
#
# Included before the sanitizer and fuzzer options are added, so that neither instruments SQLite:
# what is under test is our code, and SQLite compiles once per build directory at -Os.
#
# Sets NVR_SQLITE_INCLUDE_DIRS, NVR_SQLITE_LIBS (dynamic and sanitizer builds) and
# NVR_SQLITE_STATIC_LIBS (static and mixed builds); all three name the library target nvr_sqlite.

if(NOT EXISTS ${NVR_SQLITE_SOURCE}/sqlite3.c OR NOT EXISTS ${NVR_SQLITE_SOURCE}/sqlite3.h)
  message(FATAL_ERROR "NVR_SQLITE_SOURCE=${NVR_SQLITE_SOURCE} holds no sqlite3.c and sqlite3.h "
    "(tools/fetch-sqlite.sh prints the directory)")
endif()

add_library(nvr_sqlite STATIC ${NVR_SQLITE_SOURCE}/sqlite3.c)
target_include_directories(nvr_sqlite SYSTEM PUBLIC ${NVR_SQLITE_SOURCE})
# -g0: nobody steps through SQLite here, and its debug information triples the compile time.
target_compile_options(nvr_sqlite PRIVATE -Os -g0 -ffunction-sections -fdata-sections -w)
target_compile_definitions(nvr_sqlite PRIVATE
  # A request may have a second thread (the main service's delivery thread): serialized mode, the
  # library's own default, keeps every connection safe whatever thread touches it.
  SQLITE_THREADSAFE=1
  # What the C library offers; without these SQLite sleeps in whole seconds and syncs with fsync.
  HAVE_USLEEP=1 HAVE_NANOSLEEP=1 HAVE_FDATASYNC=1 HAVE_LOCALTIME_R=1 HAVE_GMTIME_R=1 HAVE_ISNAN=1
  HAVE_STRCHRNUL=1 HAVE_POSIX_FALLOCATE=1
  # Kept as the distribution's library had them: freed pages are overwritten (deleted accounts leave
  # no password hashes in the file), LIKE never matches a blob.
  SQLITE_SECURE_DELETE SQLITE_LIKE_DOESNT_MATCH_BLOBS
  # SQLite's recommended options for an embedded program.
  SQLITE_DQS=0 SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_USE_ALLOCA SQLITE_MAX_EXPR_DEPTH=0
  # Unused interfaces. Only options that leave the SQL grammar alone: the grammar of the single-file
  # source is generated once, and an option that changes it is unsupported there.
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_DEPRECATED SQLITE_OMIT_SHARED_CACHE
  SQLITE_OMIT_PROGRESS_CALLBACK SQLITE_OMIT_TRACE SQLITE_OMIT_JSON SQLITE_OMIT_DECLTYPE
  SQLITE_OMIT_UTF16 SQLITE_OMIT_COMPLETE SQLITE_OMIT_GET_TABLE SQLITE_OMIT_AUTHORIZATION
  SQLITE_OMIT_TCL_VARIABLE SQLITE_OMIT_COMPILEOPTION_DIAGS SQLITE_OMIT_DESERIALIZE
  SQLITE_OMIT_INTROSPECTION_PRAGMAS SQLITE_UNTESTABLE)
find_package(Threads REQUIRED)
target_link_libraries(nvr_sqlite PUBLIC Threads::Threads)

set(NVR_SQLITE_INCLUDE_DIRS ${NVR_SQLITE_SOURCE})
set(NVR_SQLITE_LIBS nvr_sqlite)
set(NVR_SQLITE_STATIC_LIBS nvr_sqlite)
