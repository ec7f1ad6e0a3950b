# Checks what the Windows zip holds: one folder named like the zip with the
# three programs and README.txt, nothing else.
#
#   cmake -DZIP=<zip> -DNAME=<folder> -P check_package.cmake
if(NOT EXISTS "${ZIP}")
  message(FATAL_ERROR "no zip ${ZIP}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${ZIP}" OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${ZIP}")
endif()
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "^$|/$")  # directory entries
list(SORT entries)
set(expected ${NAME}/README.txt ${NAME}/veldaris-run.exe ${NAME}/veldaris-sweep.exe ${NAME}/veldaris.exe)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "${ZIP} holds\n  ${entries}\nexpected\n  ${expected}")
endif()
message(STATUS "${ZIP}: ${entries}")
