# Project-wide build settings: warnings as errors for our own targets, optional sanitizers,
# and one helper for test executables.

if(VEXHAL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VEXHAL_TSAN)
  if(VEXHAL_SANITIZE)
    message(FATAL_ERROR "VEXHAL_TSAN and VEXHAL_SANITIZE cannot be combined")
  endif()
  # ThreadSanitizer does not model fences. Ostrane's queue uses them only to order its atomic
  # sleep flag against its atomic cells, which needs no race detection, so gcc's note is muted.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer
                      $<$<CXX_COMPILER_ID:GNU>:-Wno-tsan>)
  add_link_options(-fsanitize=thread)
endif()

# Builds every test executable labelled `threads` (the suites the ThreadSanitizer build runs).
add_custom_target(vexhal_thread_tests)

# Applies the project's warning set to one of our own targets (not to third-party code).
function(vexhal_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough)
endfunction()

# vexhal_add_test(NAME SOURCES src... [LIBS lib...] [LABELS label...] [ENV VAR=value...])
# Builds one GoogleTest executable and registers each of its cases with CTest.
function(vexhal_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  vexhal_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  set(props "")
  if(ARG_ENV)
    list(APPEND props ENVIRONMENT "${ARG_ENV}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES ${props})
  # The labels are set on the discovered cases afterwards: a list passed through PROPERTIES
  # above would reach them split, as separate arguments.
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_file} "if(${name}_TESTS)
  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
  if("threads" IN_LIST ARG_LABELS)
    add_dependencies(vexhal_thread_tests ${name})
  endif()
endfunction()

# What `git describe` says about the source tree at configure time, in `out`; empty when the
# source is not a git checkout or git is missing.
function(vexhal_git_describe out)
  set(described "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --tags
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      set(described "")
    endif()
  endif()
  set(${out} "${described}" PARENT_SCOPE)
endfunction()

# Hardening of everything built here, the shipped program and library among it: stack protector,
# _FORTIFY_SOURCE, full RELRO with immediate binding and position-independent executables. The
# flags are the distribution's (dpkg-buildflags with all hardening features) where dpkg-dev is
# installed, as it is for packaging; the build type keeps its optimisation and debug levels.
# Sanitizer builds go without: they instrument the same calls themselves.
if(VEXHAL_HARDENING AND NOT VEXHAL_SANITIZE AND NOT VEXHAL_TSAN)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  find_program(VEXHAL_DPKG_BUILDFLAGS dpkg-buildflags)
  if(VEXHAL_DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${VEXHAL_DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*|ffile-prefix-map=.*)$")
      set(hardening_${kind} ${flags})
    endforeach()
  else()
    set(hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
    set(hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
    set(hardening_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  endif()
  # _FORTIFY_SOURCE only works with optimisation, which a Debug build has not.
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    add_compile_options(${hardening_CPPFLAGS})
  endif()
  add_compile_options(${hardening_CXXFLAGS})
  add_link_options(${hardening_LDFLAGS})
endif()
