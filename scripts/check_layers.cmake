# The include check: every source file may include headers of its own layer
# and of the layers below it, never of a layer above. A lower layer that
# must reach up does it through a registration the upper one makes at
# start-up (the collector's mark call-backs, raise::install, the hook
# tables), so that each layer builds and reads without those above it.
#
# Run: cmake -DZEL_SOURCE_DIR=<source root> -P scripts/check_layers.cmake
# Fails listing each file that includes a higher layer's header, and each
# source folder that is in no layer.

# Bottom to top; the folders of one entry form one layer and may include
# each other.
set(ZEL_LAYERS
    "foundation"
    "series scalars words"
    "lexer"
    "interpreter"
    "os"
    "console"
    "boot"
    "tools")

if(NOT ZEL_SOURCE_DIR)
  get_filename_component(ZEL_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

set(rank 0)
set(all_folders)
foreach(layer IN LISTS ZEL_LAYERS)
  string(REPLACE " " ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_of_${folder} ${rank})
    list(APPEND all_folders ${folder})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

set(problems)
set(checked 0)
foreach(folder IN LISTS all_folders)
  file(GLOB_RECURSE sources RELATIVE "${ZEL_SOURCE_DIR}"
       "${ZEL_SOURCE_DIR}/${folder}/*.h" "${ZEL_SOURCE_DIR}/${folder}/*.cpp"
       "${ZEL_SOURCE_DIR}/${folder}/*.inc")
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${ZEL_SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" top "${header}")
      if(NOT header MATCHES "/" OR NOT DEFINED rank_of_${top})
        continue()  # a file beside the includer, or outside the layers
      endif()
      if(rank_of_${top} GREATER rank_of_${folder})
        list(APPEND problems "${source} includes ${header} (layer ${top} is above ${folder})")
      endif()
    endforeach()
  endforeach()
endforeach()

# A folder holding run-time sources must sit in a layer.
file(GLOB tops RELATIVE "${ZEL_SOURCE_DIR}" "${ZEL_SOURCE_DIR}/*")
foreach(top IN LISTS tops)
  if(IS_DIRECTORY "${ZEL_SOURCE_DIR}/${top}" AND NOT top MATCHES "^(\\..*|build.*|tests|bench|fuzz|docs|scripts)$"
     AND NOT DEFINED rank_of_${top})
    file(GLOB_RECURSE stray "${ZEL_SOURCE_DIR}/${top}/*.cpp" "${ZEL_SOURCE_DIR}/${top}/*.h")
    if(stray)
      list(APPEND problems "folder ${top} holds sources but is in no layer")
    endif()
  endif()
endforeach()

if(problems)
  list(LENGTH problems count)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "${count} include(s) across the layers:\n  ${text}")
endif()
message(STATUS "layers: ${checked} files, no include reaches a higher layer")
