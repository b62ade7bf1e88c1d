# Build helpers shared by every folder.

# qf_library(<name> SHARED|STATIC|OBJECT SOURCES ... [DEPS ...] [PUBLIC_INCLUDE dir...])
# The folder itself is the public include directory unless PUBLIC_INCLUDE says otherwise.
function(qf_library name kind)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_INCLUDE" ${ARGN})
  add_library(${name} ${kind} ${ARG_SOURCES})
  if(ARG_PUBLIC_INCLUDE)
    target_include_directories(${name} PUBLIC ${ARG_PUBLIC_INCLUDE})
  else()
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  if(WIN32)
    # The system's module names, with the exports of the list (cmake/windows_exports.txt).
    if(kind STREQUAL "SHARED")
      set_target_properties(${name} PROPERTIES PREFIX "")
      qf_windows_exports(${name} ${name}.dll)
    endif()
  else()
    # Shared libraries keep the system's module names: libvtlsp.so stands for vtlsp.dll.
    set_target_properties(${name} PROPERTIES PREFIX "lib")
  endif()
endfunction()

# qf_folder_tests(<name> DEPS ...): the folder's tests/*.cpp as one test program, when there are any.
function(qf_folder_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(sources)
    qf_test(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
  endif()
endfunction()

# qf_test(<name> SOURCES ... [DEPS ...] [WINDOWS_LEAVE_OUT pattern...] [TOOLKIT_LEAKS])
# A GoogleTest program; each test case runs as its own ctest entry (own process). The Windows build
# leaves out the cases of WINDOWS_LEAVE_OUT (gtest patterns; say why beside the call).
# TOOLKIT_LEAKS, for the window tests: GTK, GLib, fontconfig, X11, wxWidgets and the libraries
# under them keep memory until the process ends, so LeakSanitizer leaves out what those libraries
# allocated (desktop/testing/toolkit_leaks.supp), in the test and, through the inherited
# LSAN_OPTIONS, in every program it starts. Leaks of our own code are still reported.
function(qf_test name)
  cmake_parse_arguments(ARG "TOOLKIT_LEAKS" "TIMEOUT" "SOURCES;DEPS;WINDOWS_LEAVE_OUT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(properties TIMEOUT ${ARG_TIMEOUT} LABELS ${name})
  if(ARG_TOOLKIT_LEAKS)
    list(APPEND properties ENVIRONMENT
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/desktop/testing/toolkit_leaks.supp:print_suppressions=0")
  endif()
  if(WIN32)
    # Under Wine the tests share the one machine of the run (see temp_machine_root.h).
    list(APPEND properties RESOURCE_LOCK machine)
  endif()
  set(filter "")
  if(WIN32 AND ARG_WINDOWS_LEAVE_OUT)
    string(REPLACE ";" ":" filter "-${ARG_WINDOWS_LEAVE_OUT}")
    set(filter TEST_FILTER ${filter})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter} PROPERTIES ${properties})
endfunction()

# qf_program(<var> <target>): how a test names a program it starts. In the Windows build the name
# alone: the test finds it beside itself (see run_program in held_database.h), and a Linux path
# would mean nothing to Windows.
function(qf_program var target)
  if(WIN32)
    set(${var} "$<TARGET_FILE_NAME:${target}>" PARENT_SCOPE)
  else()
    set(${var} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
  endif()
endfunction()
