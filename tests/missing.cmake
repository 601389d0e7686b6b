# SPDX-License-Identifier: ISC
# The test that stands in for a suite that could not be built.
message(FATAL_ERROR "not run: install ${NEED}")
