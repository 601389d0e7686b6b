# SPDX-License-Identifier: ISC
# A cross build for IBM Z with Debian's g++-s390x-linux-gnu, whose
# tests run lca under qemu-s390x, on a big-endian processor; see
# HACKING.md.
set(triplet s390x-linux-gnu)
set(emulator qemu-s390x)
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
