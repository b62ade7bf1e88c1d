# In a sanitizer build, the runtime that libqflive brings into a program is built a second
# time without the sanitizers, into lib/ under live/: a program that was not built with them
# cannot carry their runtime (preloaded first it hangs some programs, such as curl, at start;
# preloaded later it is unsupported). The runtime is the stand-in (win32, ws2_32, qfafd) and the
# modules the installed chains load into the program: vtlsp and every library of this project it
# links. The copies keep the file names (libws2_32.so, libvtlsp.so) so that the module loader
# finds them beside each other.

set(QF_LIVE_PLAIN_DIR ${CMAKE_BINARY_DIR}/live/lib)

# The copy of <link> when there is one, else <link> itself.
function(qf_live_plain_name link out)
  if(TARGET ${link}_plain)
    set(${out} ${link}_plain PARENT_SCOPE)
  else()
    set(${out} ${link} PARENT_SCOPE)
  endif()
endfunction()

# qf_live_plain_copy(<target>): <target>_plain, the same sources, include directories,
# definitions and links, no sanitizers; first the copies of the project's libraries it links
# (an interface library is copied only when it links one of them, as win32_platform links win32).
function(qf_live_plain_copy target)
  if(TARGET ${target}_plain)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  get_target_property(imported ${target} IMPORTED)
  if(imported)
    return()
  endif()
  if(type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
  else()
    get_target_property(links ${target} LINK_LIBRARIES)
  endif()
  set(mapped "")
  set(copied FALSE)
  if(links)
    foreach(link ${links})
      if(TARGET ${link})
        qf_live_plain_copy(${link})
      endif()
      qf_live_plain_name(${link} name)
      if(NOT name STREQUAL link)
        set(copied TRUE)
      endif()
      list(APPEND mapped ${name})
    endforeach()
  endif()

  if(type STREQUAL "INTERFACE_LIBRARY")
    if(NOT copied)
      return()
    endif()
    add_library(${target}_plain INTERFACE)
    foreach(property INTERFACE_INCLUDE_DIRECTORIES INTERFACE_COMPILE_DEFINITIONS)
      get_target_property(value ${target} ${property})
      if(value)
        set_property(TARGET ${target}_plain PROPERTY ${property} ${value})
      endif()
    endforeach()
    target_link_libraries(${target}_plain INTERFACE ${mapped})
    return()
  endif()
  if(NOT type STREQUAL "SHARED_LIBRARY" AND NOT type STREQUAL "STATIC_LIBRARY")
    message(FATAL_ERROR "qf_live_plain_copy: ${target} is a ${type}")
  endif()

  get_target_property(sourceDir ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  set(absolute "")
  foreach(source ${sources})
    if(IS_ABSOLUTE ${source})
      list(APPEND absolute ${source})
    else()
      list(APPEND absolute ${sourceDir}/${source})
    endif()
  endforeach()
  string(REPLACE "_LIBRARY" "" kind ${type})
  add_library(${target}_plain ${kind} ${absolute})
  foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS)
    get_target_property(value ${target} ${property})
    if(value)
      set_property(TARGET ${target}_plain PROPERTY ${property} ${value})
    endif()
  endforeach()
  target_link_libraries(${target}_plain PUBLIC ${mapped})
  set_target_properties(${target}_plain PROPERTIES
    COMPILE_OPTIONS "-Wall;-Wextra"
    LINK_OPTIONS ""
    OUTPUT_NAME ${target}
    PREFIX "lib"
    LIBRARY_OUTPUT_DIRECTORY ${QF_LIVE_PLAIN_DIR}
    BUILD_RPATH ${QF_LIVE_PLAIN_DIR}
    POSITION_INDEPENDENT_CODE ON)
endfunction()

qf_live_plain_copy(qfafd)
qf_live_plain_copy(qflive)
qf_live_plain_copy(vtlsp)
