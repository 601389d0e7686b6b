# SPDX-License-Identifier: ISC
# A cross build for 32-bit x86 with Debian's g++-i686-linux-gnu, whose
# tests run lca under qemu-i386; see HACKING.md.
set(triplet i686-linux-gnu)
set(emulator qemu-i386)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
