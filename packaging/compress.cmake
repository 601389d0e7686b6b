# SPDX-License-Identifier: ISC
# Run by cpack on the staged files: Debian wants manual pages and the
# changelog compressed, without a time stamp.
file(GLOB_RECURSE staged LIST_DIRECTORIES false
	"${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1"
	"${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/changelog")
foreach(file ${staged})
	execute_process(COMMAND gzip -9n "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
