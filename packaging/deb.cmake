# SPDX-License-Identifier: ISC
# A Debian package: in a build folder, cpack -G DEB.
set(CPACK_PACKAGE_NAME lca)
set(CPACK_PACKAGE_VENDOR "The lca authors")
# The project has no mail address of its own yet; .invalid is reserved for
# names that must not resolve.
set(CPACK_PACKAGE_CONTACT "The lca authors <maintainers@lca.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"lca reads a tree rooted at node 1 and pairs of node numbers from
standard input, and writes the lowest common ancestor of each pair on
standard output, one line each, always before it waits for more input.
Every value is checked against the tool's fixed capacity of 100000 nodes,
and every failure is reported in one line on standard error with a failure
exit status.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package is for the architecture the compiler builds for, which in a
# cross build is not the one dpkg runs on: Debian's name for the multiarch
# tuple that CMake found for the compiler.
if(CMAKE_LIBRARY_ARCHITECTURE)
	execute_process(COMMAND dpkg-architecture
		-t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
		OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
		OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
# The target's binutils, and the changelog that dates the release.
set(CPACK_LCA_STRIP ${CMAKE_STRIP})
set(CPACK_LCA_READELF ${CMAKE_READELF})
set(CPACK_LCA_AR ${CMAKE_AR})
set(CPACK_LCA_CHANGELOG ${PROJECT_BINARY_DIR}/changelog)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/prepare.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/finish.cmake)
include(CPack)
