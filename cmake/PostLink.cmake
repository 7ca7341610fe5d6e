# The post-link step that gives every Windows executable its stored CLDATA block (debug data
# from its own DWARF) and a .map file beside it: the host tool clpostlink, built natively, runs
# after each link. Natively the tool is an ordinary target; the Windows build builds it with
# the host compiler as an external project of this same source tree.

if(NOT WIN32)
  add_executable(clpostlink src/crash/tools/main/ClPostLink.cpp)
  target_link_libraries(clpostlink PRIVATE kv_crash_tools)
  return()
endif()

include(ExternalProject)
set(KOLVANE_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(KOLVANE_POSTLINK_TOOL ${KOLVANE_HOST_TOOLS_DIR}/clpostlink)
ExternalProject_Add(kv_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${KOLVANE_HOST_TOOLS_DIR}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DKOLVANE_HOST_TOOLS=ON -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target clpostlink
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${KOLVANE_POSTLINK_TOOL}
  USES_TERMINAL_BUILD OFF)

if(NOT CMAKE_STRIP)
  message(FATAL_ERROR "The Windows build needs the toolchain's strip program (CMAKE_STRIP)")
endif()

# Runs the post-link step on an executable target after every link of it.
function(kolvane_postlink target)
  add_dependencies(${target} kv_host_tools)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KOLVANE_POSTLINK_TOOL})
  set_property(TARGET ${target} PROPERTY KOLVANE_POSTLINKED ON)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${KOLVANE_POSTLINK_TOOL} --strip ${CMAKE_STRIP} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# At the end of configuration: every executable that did not call kolvane_postlink (it can only
# be called in the directory that defines the target) gets the step as a follow-up target, and
# the product gets a test that it carries the block.
function(kolvane_postlink_rest)
  set(dirs ${CMAKE_SOURCE_DIR})
  set(executables)
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(kind ${t} TYPE)
      if(kind STREQUAL "EXECUTABLE")
        list(APPEND executables ${t})
      endif()
    endforeach()
  endwhile()
  foreach(t ${executables})
    get_target_property(done ${t} KOLVANE_POSTLINKED)
    if(NOT done)
      set(stamp ${CMAKE_BINARY_DIR}/cldata/${t}.stamp)
      add_custom_command(OUTPUT ${stamp}
        COMMAND ${KOLVANE_POSTLINK_TOOL} --strip ${CMAKE_STRIP} $<TARGET_FILE:${t}>
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${t} kv_host_tools
        VERBATIM)
      add_custom_target(${t}_cldata ALL DEPENDS ${stamp})
    endif()
    get_target_property(output ${t} OUTPUT_NAME)
    if(t STREQUAL "kolvane" OR output STREQUAL "kolvane")
      add_test(NAME product_carries_cldata COMMAND ${KOLVANE_POSTLINK_TOOL} --check $<TARGET_FILE:${t}>)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kolvane_postlink_rest)
