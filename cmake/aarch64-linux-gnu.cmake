# SPDX-License-Identifier: ISC
# A cross build for 64-bit Arm with Debian's g++-aarch64-linux-gnu, whose
# tests run lca under qemu-aarch64; see HACKING.md.
set(triplet aarch64-linux-gnu)
set(emulator qemu-aarch64)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
