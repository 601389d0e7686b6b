# SPDX-License-Identifier: ISC
# Run by cpack on the staged files, before it builds the package.
cmake_policy(VERSION 3.20)
set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")

# Stripped as Debian strips, of the compiler's .comment too, with the strip
# of the target.
file(GLOB_RECURSE binaries LIST_DIRECTORIES false "${staged}/*/bin/*")
foreach(file ${binaries})
	execute_process(COMMAND ${CPACK_LCA_STRIP} --remove-section=.comment
		--remove-section=.note --strip-unneeded "${file}"
		COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Debian wants manual pages and the changelog compressed, without a time
# stamp.
file(GLOB_RECURSE compress LIST_DIRECTORIES false "${staged}/*.1"
	"${staged}/*/changelog")
foreach(file ${compress})
	execute_process(COMMAND gzip -9n "${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# The modes Debian wants, whatever the umask the files were made under.
file(GLOB_RECURSE all LIST_DIRECTORIES true "${staged}/*")
foreach(path ${all})
	if(IS_DIRECTORY "${path}" OR path IN_LIST binaries)
		set(mode OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
			GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
	else()
		set(mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
	endif()
	file(CHMOD "${path}" PERMISSIONS ${mode})
endforeach()

# The package's times are those of its release in the changelog, as
# Debian's own tools would take them, unless they are given.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
	execute_process(COMMAND dpkg-parsechangelog -l "${CPACK_LCA_CHANGELOG}"
		-STimestamp OUTPUT_VARIABLE time
		OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
	set(ENV{SOURCE_DATE_EPOCH} "${time}")
endif()

# dpkg-shlibdeps computes Depends from the libraries of the architecture
# it is told of, which it reads where dpkg installed them: for a cross
# build, this machine must have the target's as well.  Where no
# architecture was found for the compiler, dpkg's own is left to it.
set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
set(ENV{DEB_HOST_ARCH} "${arch}")
execute_process(COMMAND dpkg-architecture -a${arch} -qDEB_HOST_MULTIARCH
	OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(missing)
foreach(file ${binaries})
	execute_process(COMMAND ${CPACK_LCA_READELF} -d "${file}"
		OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
	string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[[^]]*\\]" needed "${dynamic}")
	foreach(entry ${needed})
		string(REGEX REPLACE ".*\\[(.*)\\]" "\\1" library "${entry}")
		if(arch AND NOT EXISTS "/lib/${multiarch}/${library}" AND
				NOT EXISTS "/usr/lib/${multiarch}/${library}")
			list(APPEND missing "${library}")
		endif()
	endforeach()
endforeach()
if(missing)
	list(REMOVE_DUPLICATES missing)
	string(REPLACE ";" ", " missing "${missing}")
	message(FATAL_ERROR "A package for ${arch} depends on ${arch}'s own "
		"libraries, which dpkg-shlibdeps reads where they are installed, "
		"and these are not: ${missing}.  The C library's come with "
		"libc6:${arch}: dpkg --add-architecture ${arch}; apt-get update; "
		"apt-get install libc6:${arch}.  Or build the package on ${arch}.")
endif()
