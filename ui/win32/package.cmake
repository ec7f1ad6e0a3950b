# The zip for Windows users, built with the programs:
#
#   <dist>/veldaris-<version>-windows-x86_64.zip
#     veldaris-<version>-windows-x86_64/veldaris.exe
#     veldaris-<version>-windows-x86_64/veldaris-run.exe
#     veldaris-<version>-windows-x86_64/veldaris-sweep.exe
#     veldaris-<version>-windows-x86_64/README.txt
#
# <dist> is dist in the build directory (`make windows` copies the zip to dist
# in the source tree). The zip is written beside its place and renamed into it
# when complete, so a failed build leaves an earlier zip whole.
include(${VELDARIS_ROOT}/cmake/version.cmake)

set(VELDARIS_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(VELDARIS_PACKAGE_NAME veldaris-${VELDARIS_VERSION}-windows-x86_64)

# The programs of the zip, by target. A new program joins by adding its target
# here and its paragraph to README.txt.in.
set(VELDARIS_PACKAGE_PROGRAMS veldaris veldaris-run veldaris-sweep)

set(package_dir ${CMAKE_BINARY_DIR}/package)
set(stage ${package_dir}/${VELDARIS_PACKAGE_NAME})
set(zip ${VELDARIS_DIST_DIR}/${VELDARIS_PACKAGE_NAME}.zip)
# Windows line ends, for every text editor there.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${package_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)

set(copy_programs)
foreach(program IN LISTS VELDARIS_PACKAGE_PROGRAMS)
  list(APPEND copy_programs COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${stage}/)
endforeach()

add_custom_command(
  OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage} ${VELDARIS_DIST_DIR}
  ${copy_programs}
  COMMAND ${CMAKE_COMMAND} -E copy ${package_dir}/README.txt ${stage}/
  COMMAND ${CMAKE_COMMAND} -E chdir ${package_dir}
          ${CMAKE_COMMAND} -E tar cf ${zip}.part --format=zip ${VELDARIS_PACKAGE_NAME}
  COMMAND ${CMAKE_COMMAND} -E rename ${zip}.part ${zip}
  DEPENDS ${VELDARIS_PACKAGE_PROGRAMS} ${package_dir}/README.txt
  COMMENT "Packing ${zip}"
  VERBATIM)
add_custom_target(windows-zip ALL DEPENDS ${zip})
