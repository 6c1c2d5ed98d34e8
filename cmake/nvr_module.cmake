# Each function and object in a section of its own, so that the static link (--gc-sections below)
# drops what nothing calls, in our code as in SQLite's.
set(NVR_SECTIONS -ffunction-sections -fdata-sections)

# nvr_objects(NAME SOURCES...): an object library of the project's own code, with its warnings and
# include roots. Object libraries keep every unit in the link, so no module table can be dropped.
function(nvr_objects name)
  add_library(${name} OBJECT ${ARGN})
  target_compile_options(${name} PRIVATE ${NVR_WARNINGS} ${NVR_SECTIONS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/platform)
  target_include_directories(${name} SYSTEM PUBLIC
    $<TARGET_PROPERTY:PkgConfig::JSONC,INTERFACE_INCLUDE_DIRECTORIES> ${NVR_SQLITE_INCLUDE_DIRS})
endfunction()

# nvr_link_libs(TARGET MODE): links json-c, SQLite and the threads library.
#   dynamic: shared libraries (tests, sanitizer builds);
#   static:  one self-contained executable (-static), no dynamic loader at start-up;
#   mixed:   json-c, SQLite, libstdc++ and libgcc linked in, the C library shared.
function(nvr_link_libs target mode)
  if(mode STREQUAL "dynamic" OR NVR_SANITIZE)
    target_link_libraries(${target} PRIVATE PkgConfig::JSONC ${NVR_SQLITE_LIBS} Threads::Threads)
  elseif(mode STREQUAL "static")
    target_link_options(${target} PRIVATE -static -Wl,--gc-sections)
    target_link_libraries(${target} PRIVATE -l:libjson-c.a ${NVR_SQLITE_STATIC_LIBS} -lm -pthread)
  elseif(mode STREQUAL "mixed")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--gc-sections)
    target_link_libraries(${target} PRIVATE -l:libjson-c.a ${NVR_SQLITE_STATIC_LIBS} -lm -ldl -pthread)
  else()
    message(FATAL_ERROR "unknown link mode ${mode}")
  endif()
endfunction()

# nvr_cgi(NAME MODE SOURCES...): a CGI program made of the core objects, its entry point and SOURCES.
function(nvr_cgi name mode)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/src/front/main.cpp ${ARGN})
  target_compile_options(${name} PRIVATE ${NVR_WARNINGS} ${NVR_SECTIONS})
  target_link_libraries(${name} PRIVATE nvr_core ${NVR_PLATFORM_LIBS})
  nvr_link_libs(${name} ${mode})
endfunction()
