# Test helpers shared by every tree.
#   linux, linux-asan: tests run natively.
#   win64:             tests run under 64-bit Wine in the tree's own prefix.
#   win32:             tests run under 32-bit Wine in the tree's own 32-bit
#                      prefix (cmake/run-tests.sh finds how 32-bit code runs
#                      here: natively or through qemu-i386).
# The tests' Wine is Wine 10 of a private Debian 13 root (VORLEN_WINE_ROOT,
# made by `make setup`), entered through cmake/wine-root.sh; with
# VORLEN_WINE_ROOT empty, the host's Wine.
# Where the test framework is missing (`make demo` does not install it), the
# tree leaves its tests out: VORLEN_TESTING is then OFF.

set(VORLEN_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

# GoogleTest from Debian's sources, built with this tree's compiler.
find_path(VORLEN_GOOGLETEST_DIR CMakeLists.txt PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VORLEN_GOOGLETEST_DIR)
  vorlen_leave_out("the tests" googletest)
  set(VORLEN_TESTING OFF)
  return()
endif()
set(VORLEN_TESTING ON)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VORLEN_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(VORLEN_WINDOWS)
  # The 64-bit tree's installer tests have 32-bit steps too. The 32-bit loader
  # is not the `wine` on PATH, which on Debian falls back to 64-bit Wine; where
  # it cannot run, cmake/run-tests.sh skips the 32-bit runs and says why.
  cmake_path(ABSOLUTE_PATH CMAKE_BINARY_DIR NORMALIZE OUTPUT_VARIABLE binary)
  cmake_path(GET binary PARENT_PATH trees)
  set(VORLEN_WINE_ROOT ${trees}/tools/wine-root CACHE PATH
    "the private Debian root whose Wine runs the tests (make setup makes it); empty for the host's Wine")
  if(VORLEN_WINE_ROOT)
    # One small program per Wine program, each entering the root with the
    # source folder and the build trees seen at the same paths.
    set(dirs ${PROJECT_SOURCE_DIR})
    if(NOT trees STREQUAL "/")
      list(APPEND dirs ${trees})
    endif()
    list(APPEND dirs ${binary})
    list(JOIN dirs : dirs)
    foreach(program wine wine64 wineserver)
      file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/wine-root/${program} @ONLY CONTENT
        "#!/bin/sh\nexec bash '${VORLEN_SOURCE_DIR}/cmake/wine-root.sh' '${VORLEN_WINE_ROOT}' '${dirs}' \\\n  /usr/lib/wine/${program} \"$@\"\n")
      file(CHMOD ${CMAKE_BINARY_DIR}/wine-root/${program} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endforeach()
    set(VORLEN_WINE64 ${CMAKE_BINARY_DIR}/wine-root/wine64)
    set(VORLEN_WINE32 ${CMAKE_BINARY_DIR}/wine-root/wine)
    set(VORLEN_WINESERVER ${CMAKE_BINARY_DIR}/wine-root/wineserver)
  else()
    find_program(VORLEN_WINE64 wine64 HINTS /usr/lib/wine DOC "64-bit Wine loader")
    find_program(VORLEN_WINE32 wine PATHS /usr/lib/wine NO_DEFAULT_PATH DOC "32-bit Wine loader")
    find_program(VORLEN_WINESERVER wineserver HINTS /usr/lib/wine DOC "Wine's server")
    vorlen_require(VORLEN_WINE64 wine64)
    vorlen_require(VORLEN_WINESERVER wine64)
  endif()
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(VORLEN_WINE ${VORLEN_WINE${bits}})
  set(VORLEN_WINEARCH win${bits})
  set(VORLEN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${VORLEN_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  # Runs a Windows program of this tree: tests use it as their emulator. The
  # host programs of script tests run through it too, for its Wine settings.
  set(VORLEN_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLEN_EMULATOR})
  set(VORLEN_HOST ${VORLEN_EMULATOR} --host)

  # One persistent wineserver for the whole run; without it every test waits
  # seconds for Wine's helper processes to come and go.
  set(server ${VORLEN_HOST} ${VORLEN_SOURCE_DIR}/cmake/wine-prefix.sh)
  add_test(NAME wine.start COMMAND ${server} start ${VORLEN_WINEPREFIX})
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine.stop COMMAND ${server} stop ${VORLEN_WINEPREFIX})
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
else()
  set(VORLEN_EMULATOR "")
endif()

# Marks a test as needing this tree's Wine when the tree is a Windows one.
function(vorlen_test_environment name)
  if(VORLEN_WINDOWS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  if(VORLEN_SANITIZE)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
endfunction()

# vorlen_add_gtest(NAME SOURCES src... [LIBS lib...])
function(vorlen_add_gtest name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main vorlen_warnings)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  vorlen_test_environment(${name})
endfunction()

# vorlen_add_script_test(NAME COMMAND cmd args...): a test run by a host
# program (a shell script, say); Windows programs reach Wine through
# ${VORLEN_EMULATOR}, which the script receives in the VORLEN_EMULATOR variable.
function(vorlen_add_script_test name)
  cmake_parse_arguments(arg "" "" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND ${VORLEN_HOST} ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  vorlen_test_environment(${name})
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "VORLEN_EMULATOR=${VORLEN_EMULATOR}")
endfunction()
