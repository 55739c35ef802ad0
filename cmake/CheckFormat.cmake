# Runs clang-format in dry-run mode over every C++ source of the project and
# fails when one differs from the style in .clang-format. Invoked by the
# "format" test: cmake -DCLANG_FORMAT=... -DROOT=... -P CheckFormat.cmake
if(NOT CLANG_FORMAT OR NOT ROOT)
  message(FATAL_ERROR "CheckFormat.cmake needs CLANG_FORMAT and ROOT")
endif()
set(sources)
foreach(dir src tests bench fuzz)
  file(GLOB_RECURSE found LIST_DIRECTORIES false "${ROOT}/${dir}/*.cpp" "${ROOT}/${dir}/*.h")
  list(APPEND sources ${found})
endforeach()
list(SORT sources)
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run -Werror --style=file ${sources}
                WORKING_DIRECTORY "${ROOT}" RESULT_VARIABLE result ERROR_VARIABLE diffs)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${diffs}\nThese files differ from .clang-format; run clang-format -i on them.")
endif()
list(LENGTH sources count)
message(STATUS "${count} files formatted as .clang-format says")
