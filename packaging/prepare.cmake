# SPDX-License-Identifier: ISC
# Run by cpack on the staged files, before it builds the package.
cmake_policy(VERSION 3.20)

# Stripped as Debian strips, of the compiler's .comment too, with the strip
# of the target.
file(GLOB_RECURSE binaries LIST_DIRECTORIES false
	"${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(file ${binaries})
	execute_process(COMMAND ${CPACK_LCA_STRIP} --remove-section=.comment
		--remove-section=.note --strip-unneeded "${file}"
		COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Debian wants manual pages and the changelog compressed, without a time
# stamp.
file(GLOB_RECURSE staged LIST_DIRECTORIES false
	"${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1"
	"${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/changelog")
foreach(file ${staged})
	execute_process(COMMAND gzip -9n "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# dpkg-shlibdeps computes Depends from the libraries of the architecture
# it is told of, which for a cross build this machine must have as well.
set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
set(ENV{DEB_HOST_ARCH} "${arch}")
execute_process(COMMAND dpkg --print-architecture
	OUTPUT_VARIABLE native OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND dpkg --print-foreign-architectures
	OUTPUT_VARIABLE foreign)
string(REPLACE "\n" ";" foreign "${foreign}")
if(arch AND NOT arch STREQUAL native AND NOT arch IN_LIST foreign)
	message(FATAL_ERROR "A package for ${arch} depends on ${arch}'s own "
		"libraries, and dpkg-shlibdeps can only name them where they "
		"are installed: dpkg --add-architecture ${arch}; apt-get update; "
		"apt-get install libstdc++6:${arch}; or build the package on "
		"${arch}.")
endif()
