# The Windows build (mingw-w64, see i686-w64-mingw32.cmake): the product against the real Windows
# headers and libraries, without platform/'s stand-in. SQLite and GoogleTest are compiled for the
# target from the sources of Debian's packages (scripts/build-windows.sh fetches them).

set(QF_SQLITE_SOURCE_DIR "" CACHE PATH "Folder holding sqlite3.c and sqlite3.h (the amalgamation of Debian's sqlite3 source package)")
set(QF_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest package)")
if(NOT EXISTS ${QF_SQLITE_SOURCE_DIR}/sqlite3.c)
  message(FATAL_ERROR "QF_SQLITE_SOURCE_DIR must name a folder with sqlite3.c (scripts/build-windows.sh makes one)")
endif()
if(NOT EXISTS ${QF_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "QF_GTEST_SOURCE_DIR must name GoogleTest's sources (apt-get install googletest)")
endif()

# Every DLL and program stands alone: the compiler's run-time libraries (libgcc, libstdc++,
# winpthreads) are linked in, so nothing has to be found beside them but the system's own DLLs.
add_link_options(-static)

# SQLite as one DLL, so that every component shares one copy.
add_library(sqlite3 SHARED ${QF_SQLITE_SOURCE_DIR}/sqlite3.c)
set_target_properties(sqlite3 PROPERTIES PREFIX "")
target_include_directories(sqlite3 SYSTEM PUBLIC ${QF_SQLITE_SOURCE_DIR})
target_compile_definitions(sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0)
target_compile_options(sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS sqlite3)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QF_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# What the product folders name `win32` and `ws2_32` on Linux are the system's libraries here.
add_library(win32 INTERFACE)
target_link_libraries(win32 INTERFACE kernel32 user32 advapi32)

# The DLLs' exports, one list for the build (the .def files made from it) and its check.
set(QF_WINDOWS_EXPORTS ${PROJECT_SOURCE_DIR}/cmake/windows_exports.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QF_WINDOWS_EXPORTS})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QF_WINDOWS_DECORATED ON)  # stdcall names carry @bytes in 32-bit objects
  # A listed cdecl name whose function is stdcall fails to link instead of being matched silently.
  add_link_options(-Wl,--disable-stdcall-fixup)
else()
  set(QF_WINDOWS_DECORATED OFF)
endif()

# qf_windows_exports(<target> <dll>): links the .def file of <dll>'s lines in the export list.
function(qf_windows_exports target dll)
  file(STRINGS ${QF_WINDOWS_EXPORTS} lines REGEX "^[^#]")
  set(def "LIBRARY ${dll}\nEXPORTS\n")
  set(found OFF)
  foreach(line ${lines})
    string(REGEX MATCHALL "[^ \t]+" fields "${line}")
    list(LENGTH fields n)
    if(NOT n EQUAL 4)
      message(FATAL_ERROR "windows_exports.txt: bad line '${line}'")
    endif()
    list(GET fields 0 lineDll)
    list(GET fields 1 ordinal)
    list(GET fields 2 convention)
    list(GET fields 3 name)
    if(NOT lineDll STREQUAL dll)
      continue()
    endif()
    set(found ON)
    if(convention MATCHES "^stdcall@([0-9]+)$" AND QF_WINDOWS_DECORATED)
      string(APPEND def "    ${name}=${name}@${CMAKE_MATCH_1} @${ordinal}\n")
    else()
      string(APPEND def "    ${name} @${ordinal}\n")
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "windows_exports.txt lists nothing for ${dll}")
  endif()
  set(defFile ${CMAKE_BINARY_DIR}/exports/${dll}.def)
  file(CONFIGURE OUTPUT ${defFile} CONTENT "${def}")
  target_sources(${target} PRIVATE ${defFile})
  set_property(GLOBAL APPEND PROPERTY QF_WINDOWS_DLLS ${target})
endfunction()

# After every folder: the target windows_dlls (every listed DLL) and the test of their exports.
function(qf_windows_dll_checks)
  get_property(targets GLOBAL PROPERTY QF_WINDOWS_DLLS)
  add_custom_target(windows_dlls)
  add_dependencies(windows_dlls ${targets})
  set(lines "")
  foreach(target ${targets})
    string(APPEND lines "${target}.dll $<TARGET_FILE:${target}>\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/exports/dlls.txt CONTENT "${lines}")
  add_test(NAME windows_exports
    COMMAND ${CMAKE_COMMAND} -DLIST=${QF_WINDOWS_EXPORTS} -DDLLS=${CMAKE_BINARY_DIR}/exports/dlls.txt
            -DOBJDUMP=${CMAKE_OBJDUMP} -DDECORATED=${QF_WINDOWS_DECORATED} -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
endfunction()
