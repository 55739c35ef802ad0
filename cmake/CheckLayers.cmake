# cmake -DMANIFEST=<build>/tolvane_layers.cmake -DSOURCE_DIR=<source> -P CheckLayers.cmake
# Checks the folders of src/ against the layers (see TolvaneFolders.cmake):
#   - below the forms no source includes a Qt header and no target links Qt;
#   - a folder links only libraries of folders before it in the layers;
#   - a folder links the library of every other folder it includes, and no other.
# Each folder is one library, so the includes are gathered per folder.
cmake_minimum_required(VERSION 3.25)
include(${MANIFEST})

set(problems "")
set(qt_allowed OFF)
set(below "")
foreach(layer IN LISTS TOLVANE_LAYERS)
  if(layer STREQUAL TOLVANE_FIRST_QT_LAYER)
    set(qt_allowed ON)
  endif()

  # What the folder's sources include: other folders of src/, and Qt.
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  set(included "")
  foreach(path IN LISTS files)
    file(STRINGS ${path} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/")
        set(folder ${CMAKE_MATCH_1})
        if(NOT folder STREQUAL layer AND folder IN_LIST TOLVANE_LAYERS)
          list(APPEND included ${folder})
        endif()
      elseif(NOT qt_allowed AND line MATCHES "#[ \t]*include[ \t]*<(Qt[A-Za-z]*/|Q[A-Za-z]+>)")
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${path})
        string(APPEND problems "  ${shown} includes a Qt header (${line}); Qt starts with src/${TOLVANE_FIRST_QT_LAYER}\n")
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES included)

  # What the folder's targets link, by the folder each library comes from.
  set(linked "")
  foreach(library IN LISTS LINKS_${layer})
    set(owner "")
    foreach(other IN LISTS TOLVANE_LAYERS)
      if(library IN_LIST LIBRARIES_${other})
        set(owner ${other})
      endif()
    endforeach()
    if(owner STREQUAL layer)
      continue()  # a folder's executable links the folder's own library
    elseif(owner)
      list(APPEND linked ${owner})
      if(NOT owner IN_LIST below)
        string(APPEND problems "  src/${layer} links ${library} of src/${owner}, a layer above it\n")
      endif()
    elseif(library MATCHES "^Qt[0-9]*::" AND NOT qt_allowed)
      string(APPEND problems "  src/${layer} links ${library}; Qt starts with src/${TOLVANE_FIRST_QT_LAYER}\n")
    endif()
  endforeach()

  foreach(folder IN LISTS included)
    if(NOT folder IN_LIST linked)
      string(APPEND problems "  src/${layer} includes ${folder}/ but does not link its library (${LIBRARIES_${folder}})\n")
    endif()
  endforeach()
  foreach(folder IN LISTS linked)
    if(NOT folder IN_LIST included)
      string(APPEND problems "  src/${layer} links ${LIBRARIES_${folder}} but includes nothing from ${folder}/\n")
    endif()
  endforeach()
  list(APPEND below ${layer})
endforeach()

if(problems)
  message(FATAL_ERROR "The libraries break the layering:\n${problems}")
endif()
