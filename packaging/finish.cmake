# SPDX-License-Identifier: ISC
# Run by cpack once it has built the package.
cmake_policy(VERSION 3.20)

# cpack gives the three members of the package the modes of the files it
# wrote them to, which follow its umask.  ar's deterministic mode puts them
# together again, in the same order, with one mode, owner and time.
foreach(deb ${CPACK_PACKAGE_FILES})
	set(members "${deb}.members")
	file(REMOVE_RECURSE "${members}")
	file(MAKE_DIRECTORY "${members}")
	execute_process(COMMAND ${CPACK_LCA_AR} x "${deb}"
		WORKING_DIRECTORY "${members}" COMMAND_ERROR_IS_FATAL ANY)
	file(REMOVE "${deb}")
	execute_process(COMMAND ${CPACK_LCA_AR} rcD "${deb}" debian-binary
		control.tar.gz data.tar.gz
		WORKING_DIRECTORY "${members}" COMMAND_ERROR_IS_FATAL ANY)
	file(REMOVE_RECURSE "${members}")
endforeach()
