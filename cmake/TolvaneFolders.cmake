# tolvane_add_folders(DIR... [IGNORE DIR...]): add each listed folder of the
# current source folder. A listed folder that is absent fails the configuration,
# and so does a folder with a CMakeLists.txt that is neither listed nor ignored
# (not built in this configuration): a renamed or forgotten folder must not
# quietly drop its targets or tests from the build.
function(tolvane_add_folders)
  cmake_parse_arguments(F "" "" "IGNORE" ${ARGN})
  set(listed ${F_UNPARSED_ARGUMENTS})
  foreach(dir IN LISTS listed F_IGNORE)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt is missing")
    endif()
  endforeach()
  file(GLOB present LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir IN LISTS present)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt AND NOT dir IN_LIST listed
       AND NOT dir IN_LIST F_IGNORE)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} has a CMakeLists.txt but is not listed in "
                          "${CMAKE_CURRENT_LIST_FILE}")
    endif()
  endforeach()
  foreach(dir IN LISTS listed)
    add_subdirectory(${dir})
  endforeach()
endfunction()

# The layers of src/, lowest first. A folder may link only the libraries of
# folders before it in this list (and its own), never one after it; Qt starts
# with the forms. Each folder's targets link exactly the libraries of the other
# folders its sources include, so that the link lines state the real layering.
set(TOLVANE_LAYERS common link asm machine build debugger lang grade rpc dap lsp cli forms app)
set(TOLVANE_FIRST_QT_LAYER forms)

# tolvane_add_layer(NAME): add the folder src/NAME, one of TOLVANE_LAYERS.
function(tolvane_add_layer layer)
  if(NOT layer IN_LIST TOLVANE_LAYERS)
    message(FATAL_ERROR "src/${layer} is not one of the layers: ${TOLVANE_LAYERS}")
  endif()
  add_subdirectory(${PROJECT_SOURCE_DIR}/src/${layer} ${PROJECT_BINARY_DIR}/src/${layer})
  set_property(GLOBAL APPEND PROPERTY TOLVANE_ADDED_LAYERS ${layer})
endfunction()

# tolvane_check_layers(): call at the end of the top-level CMakeLists, once every
# target exists. Writes what each folder links to a manifest, checks it now, and
# adds the target tolvane_layers that checks it again at every build (the
# sources' includes change without a new configuration).
function(tolvane_check_layers)
  get_property(added GLOBAL PROPERTY TOLVANE_ADDED_LAYERS)
  set(manifest "set(TOLVANE_LAYERS \"${added}\")\nset(TOLVANE_FIRST_QT_LAYER ${TOLVANE_FIRST_QT_LAYER})\n")
  set(guarded)
  foreach(layer IN LISTS added)
    set(dir ${PROJECT_SOURCE_DIR}/src/${layer})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    set(libraries)
    set(links)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "SHARED_LIBRARY")
        list(APPEND libraries ${target})
      endif()
      if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "EXECUTABLE")
        get_target_property(linked ${target} LINK_LIBRARIES)
        if(linked)
          list(APPEND links ${linked})
        endif()
        list(APPEND guarded ${target})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES links)
    string(APPEND manifest "set(LIBRARIES_${layer} \"${libraries}\")\nset(LINKS_${layer} \"${links}\")\n")
  endforeach()
  set(file ${PROJECT_BINARY_DIR}/tolvane_layers.cmake)
  file(CONFIGURE OUTPUT ${file} CONTENT "${manifest}" @ONLY)
  set(script ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake)
  execute_process(COMMAND ${CMAKE_COMMAND} -DMANIFEST=${file} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${script}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "The libraries break the layering (see above)")
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp)
  set(stamp ${PROJECT_BINARY_DIR}/tolvane_layers.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${file} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${script}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${script} ${file} ${sources}
    COMMENT "Checking the libraries' layering" VERBATIM)
  add_custom_target(tolvane_layers ALL DEPENDS ${stamp})
  foreach(target IN LISTS guarded)
    add_dependencies(${target} tolvane_layers)
  endforeach()
endfunction()
