# In a sanitizer build, the runtime that libqflive brings into a program is built a second
# time without the sanitizers, into lib/ under live/: a program that was not built with them
# cannot carry their runtime (preloaded first it hangs some programs, such as curl, at start;
# preloaded later it is unsupported). The copies keep the file names (libws2_32.so, libqfafd.so)
# so that the module loader finds them beside each other.

set(QF_LIVE_PLAIN_DIR ${CMAKE_BINARY_DIR}/live/lib)

# qf_live_plain_copy(<target> <kind>): <target>_plain, the same sources, include directories,
# definitions and links (a linked target of the runtime taken as its own copy), no sanitizers.
function(qf_live_plain_copy target kind)
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
  add_library(${target}_plain ${kind} ${absolute})
  foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS)
    get_target_property(value ${target} ${property})
    if(value)
      set_property(TARGET ${target}_plain PROPERTY ${property} ${value})
    endif()
  endforeach()
  get_target_property(links ${target} LINK_LIBRARIES)
  set(mapped "")
  if(links)
    foreach(link ${links})
      if(link STREQUAL "win32_platform")
        list(APPEND mapped win32_plain)
        target_include_directories(${target}_plain PUBLIC ${PROJECT_SOURCE_DIR}/platform/win32/platform_include)
      elseif(TARGET ${link}_plain)
        list(APPEND mapped ${link}_plain)
      else()
        list(APPEND mapped ${link})
      endif()
    endforeach()
  endif()
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

qf_live_plain_copy(win32 SHARED)
qf_live_plain_copy(winsock_common STATIC)
qf_live_plain_copy(ws2_32 SHARED)
qf_live_plain_copy(qfafd SHARED)
qf_live_plain_copy(qflive SHARED)
