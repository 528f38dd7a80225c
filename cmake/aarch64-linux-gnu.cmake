# Cross-builds for 64-bit Arm Linux on a Debian x86-64 machine: Debian's g++-aarch64-linux-gnu,
# with the arm64 libraries installed through multiarch (package:arm64) rather than in a sysroot.
# Programs built here run through qemu's user mode, which finds the arm64 loader and libraries
# where multiarch puts them.
set (CMAKE_SYSTEM_NAME Linux)
set (CMAKE_SYSTEM_PROCESSOR aarch64)
set (CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set (CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set (CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set (CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)

# pkg-config reads the arm64 libraries' descriptions, not the build machine's.
set (ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set (ENV{PKG_CONFIG_PATH} "")
