# nvr_objects(NAME SOURCES...): an object library of the project's own code, with its warnings and
# include roots. Object libraries keep every unit in the link, so no module table can be dropped.
function(nvr_objects name)
  add_library(${name} OBJECT ${ARGN})
  target_compile_options(${name} PRIVATE ${NVR_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/platform)
  target_include_directories(${name} SYSTEM PUBLIC
    $<TARGET_PROPERTY:PkgConfig::JSONC,INTERFACE_INCLUDE_DIRECTORIES> ${SQLite3_INCLUDE_DIRS})
endfunction()

# nvr_link_libs(TARGET MODE): links json-c, SQLite and the threads library.
#   dynamic: shared libraries (tests, sanitizer builds);
#   static:  one self-contained executable (-static), no dynamic loader at start-up;
#   mixed:   json-c, SQLite, libstdc++ and libgcc linked in, the C library shared.
function(nvr_link_libs target mode)
  if(mode STREQUAL "dynamic" OR NVR_SANITIZE)
    target_link_libraries(${target} PRIVATE PkgConfig::JSONC SQLite::SQLite3 Threads::Threads)
  elseif(mode STREQUAL "static")
    target_link_options(${target} PRIVATE -static)
    target_link_libraries(${target} PRIVATE -l:libjson-c.a -l:libsqlite3.a -lm -pthread)
  elseif(mode STREQUAL "mixed")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    target_link_libraries(${target} PRIVATE -l:libjson-c.a -l:libsqlite3.a -lm -ldl -pthread)
  else()
    message(FATAL_ERROR "unknown link mode ${mode}")
  endif()
endfunction()

# nvr_cgi(NAME MODE SOURCES...): a CGI program made of the core objects, its entry point and SOURCES.
function(nvr_cgi name mode)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/src/front/main.cpp ${ARGN})
  target_compile_options(${name} PRIVATE ${NVR_WARNINGS})
  target_link_libraries(${name} PRIVATE nvr_core ${NVR_PLATFORM_LIBS})
  nvr_link_libs(${name} ${mode})
endfunction()
