# Build-wide settings and the helpers every folder uses.
#
# Every library and executable lands in ${CMAKE_BINARY_DIR}/bin and carries the RUNPATH $ORIGIN,
# so the host, the plug-in, the platform libraries and the tests find each other there with a
# bare dlopen. Code is position independent, hidden by default (exports say KPAPI) and built
# with -fno-gnu-unique so that dlclose really unloads a plug-in.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS ON)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_BUILD_RPATH "\$ORIGIN")
set(CMAKE_INSTALL_RPATH "\$ORIGIN")
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)

# ccache, where installed, keeps rebuilds short; paths below the source folder are hashed as
# relative ones, so several checkouts of the tree share one cache.
find_program(KP_CCACHE ccache)
if(KP_CCACHE)
  set(launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1 ${KP_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

option(KP_WERROR "Treat warnings as errors" ON)
option(KP_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# The fuzz build (preset "fuzz", clang): every library carries libFuzzer's coverage
# instrumentation and the sanitizers; the targets in fuzz/ link libFuzzer's driver. Other builds
# link the same targets with a replay driver that runs the corpora as tests.
option(KP_FUZZ "Build with libFuzzer instrumentation (clang)" OFF)
# The tsan build: ThreadSanitizer, for the tests that run many threads at once (tests/fault).
option(KP_TSAN "Build with ThreadSanitizer" OFF)

add_compile_options(-Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-fno-gnu-unique)  # clang makes no unique symbols to begin with
endif()
if(KP_WERROR)
  add_compile_options(-Werror)
endif()
add_link_options(-Wl,--enable-new-dtags)
if(KP_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KP_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(KP_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(LibXml2 REQUIRED)
find_package(benchmark QUIET)
find_package(ODBC QUIET)
find_package(nlohmann_json QUIET)
find_package(simdjson REQUIRED)
include(GoogleTest)
enable_testing()

set(KP_PLATFORM_INCLUDE ${CMAKE_SOURCE_DIR}/platform/include)

# kp_add_subdirectories(dir...): add each folder; a folder without a CMakeLists.txt stops the
# configure step, so no part of the tree drops out of the build unnoticed.
function(kp_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} has no CMakeLists.txt")
    endif()
    add_subdirectory(${dir})
  endforeach()
endfunction()

# kp_require_targets(target...): stops the configure step unless every target named exists;
# a folder states what it builds on instead of skipping its targets without a word.
function(kp_require_targets)
  foreach(target IN LISTS ARGN)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR} needs the target ${target}, which the build does not define")
    endif()
  endforeach()
endfunction()

# kp_leave_out(REASON path...): files or folders (relative to the calling folder) that this
# configuration does not build because an optional package is missing; said in the configure
# output, and exempt from the check below.
function(kp_leave_out reason)
  foreach(path IN LISTS ARGN)
    cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${path})
    message(STATUS "Left out (${reason}): ${relative}")
    set_property(GLOBAL APPEND PROPERTY KP_LEFT_OUT ${path})
  endforeach()
endfunction()

# kp_check_every_source_built(dir...): every .cpp and .c file below the folders named must be a
# source of some target or be left out by kp_leave_out; a file that no CMakeLists names stops
# the configure step. Called once, at the end of the top CMakeLists.
function(kp_collect_sources dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
      list(APPEND found ${source})
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    kp_collect_sources(${subdir} sub)
    list(APPEND found ${sub})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(kp_check_every_source_built)
  kp_collect_sources(${CMAKE_SOURCE_DIR} built)
  get_property(left_out GLOBAL PROPERTY KP_LEFT_OUT)
  set(missing)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE present ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    foreach(source IN LISTS present)
      if(source IN_LIST built)
        continue()
      endif()
      set(excused FALSE)
      foreach(path IN LISTS left_out)
        cmake_path(IS_PREFIX path ${source} NORMALIZE prefix)
        if(prefix)
          set(excused TRUE)
        endif()
      endforeach()
      if(NOT excused)
        file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
        list(APPEND missing ${relative})
      endif()
    endforeach()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " text)
    message(FATAL_ERROR "Sources that no target builds:\n  ${text}")
  endif()
endfunction()

# kp_gbk(target): narrow literals of this target reach users, so they are GBK bytes at run time.
# clang knows no execution character set but UTF-8: in the fuzz build (the only one made with
# clang) such literals stay UTF-8, which changes texts and nothing the fuzz targets check.
function(kp_gbk target)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -fexec-charset=GBK)
  endif()
endfunction()

# The throw-away PostgreSQL server of the tests (scripts/pg-server.sh): a CTest fixture that
# starts it before the first test that needs it and stops it after the last. Its state file
# (port, folder) is ${KP_TEST_PG_STATE}, compiled into the test support. Where the server programs are
# not installed the start succeeds without a server, and the tests that need one say so.
set(KP_TEST_PG_STATE ${CMAKE_BINARY_DIR}/pg/server.env)
function(kp_add_pg_fixture)
  add_test(NAME pg_server_start
           COMMAND sh -c "'${CMAKE_SOURCE_DIR}/scripts/pg-server.sh' start '${KP_TEST_PG_STATE}'; s=$?; [ $s -eq 3 ] && exit 0; exit $s")
  add_test(NAME pg_server_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/pg-server.sh stop ${KP_TEST_PG_STATE})
  set_tests_properties(pg_server_start PROPERTIES FIXTURES_SETUP pg TIMEOUT 120)
  set_tests_properties(pg_server_stop PROPERTIES FIXTURES_CLEANUP pg)
endfunction()

# kp_add_test(name SOURCES file... LIBS lib... [GBK] [PGSERVER]): a GoogleTest executable whose
# cases CTest lists one by one (discovered right after the executable is linked). PGSERVER: its
# cases use the test PostgreSQL server.
function(kp_add_test name)
  cmake_parse_arguments(T "GBK;PGSERVER" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${KP_PLATFORM_INCLUDE})
  if(T_GBK)
    kp_gbk(${name})
  endif()
  # One variable only: gtest_discover_tests splits a list value into separate properties. The
  # tests find the bin folder next to themselves and the PostgreSQL state file by a default
  # compiled in (KP_TEST_PG_STATE in the environment overrides it).
  set(environment "KP_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(T_PGSERVER)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
                         PROPERTIES ENVIRONMENT "${environment}" FIXTURES_REQUIRED pg)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
                         PROPERTIES ENVIRONMENT "${environment}")
  endif()
endfunction()
