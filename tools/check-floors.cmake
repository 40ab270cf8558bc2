# Fails when a source file includes a header of a floor above its own (cmake -DSOURCE_DIR=<tree> -P this file; the
# test FloorIncludes runs it). Floors, lowest first: classlib, platform, support, formats, process, windows, app.
# Tests and benchmarks are not floors: they include whatever they exercise.

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<source tree> -P check-floors.cmake")
endif()

set(floors classlib platform support formats process windows app)
set(violations "")
foreach(floor IN LISTS floors)
  list(FIND floors ${floor} rank)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${floor}/*.h ${SOURCE_DIR}/${floor}/*.cpp ${SOURCE_DIR}/${floor}/*.inc)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" top "${header}")
      list(FIND floors "${top}" headerRank)
      if(headerRank GREATER rank)
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        list(APPEND violations "${name} (${floor}) includes ${header} (${top})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "A floor includes a header of a floor above it; ask through a face of the lower floor "
                      "that the higher one fills at start-up (CONTRIBUTING.md, Layout):\n  ${text}")
endif()
message(STATUS "Every floor includes only its own headers and those of the floors below it.")
