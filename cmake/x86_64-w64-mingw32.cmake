# Cross-builds for 64-bit Windows on a Debian x86-64 machine: Debian's MinGW-w64 GCC with POSIX
# threads (its std::thread and std::mutex need them), against Debian's MinGW zlib and the static
# FFTW and libpng that scripts/common.sh builds from Debian's sources (build_windows_libs).
# Programs built here run under wine64 in a Wine prefix of the build's own (cmake/wine64.sh).
set (CMAKE_SYSTEM_NAME Windows)
set (CMAKE_SYSTEM_PROCESSOR AMD64)

set (CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set (CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set (CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if (DEFINED ENV{MORVANTA_WINDOWS_LIBS})
    set (MORVANTA_WINDOWS_LIBS "$ENV{MORVANTA_WINDOWS_LIBS}")
else()
    get_filename_component (MORVANTA_WINDOWS_LIBS "${CMAKE_CURRENT_LIST_DIR}/../build/windows-libs" ABSOLUTE)
endif()

# Libraries and headers come from MinGW's tree and the static builds only, never the build
# machine's; packages (the framework's CMake files, which serve every target) from both.
set (CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${MORVANTA_WINDOWS_LIBS}")
set (CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set (CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set (CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# zlib's archive itself, not the import library of its DLL, which nothing installs on Windows.
set (ZLIB_USE_STATIC_LIBS ON)

set (CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine64.sh;${CMAKE_BINARY_DIR}/wine")
