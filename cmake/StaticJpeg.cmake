# The framework's JPEG loader calls libjpeg, and Debian's framework package leaves it to the
# system's. Distributions disagree on that library (libjpeg.so.62 here, libjpeg.so.8 elsewhere),
# so the module carries its own: libjpeg-turbo from Debian's source package (the scripts fetch it
# with apt-get source), built here for the architecture being built as a position-independent
# static library. Defines `morvanta_jpeg`, its headers and archive.
include (ExternalProject)

set (MORVANTA_JPEG_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/sources/libjpeg-turbo" CACHE PATH
    "The unpacked libjpeg-turbo source package the module compiles in")

if (NOT EXISTS "${MORVANTA_JPEG_SOURCE_DIR}/CMakeLists.txt")
    message (FATAL_ERROR "No libjpeg-turbo source in ${MORVANTA_JPEG_SOURCE_DIR}: scripts/install.sh "
        "and scripts/test.sh fetch Debian's (scripts/common.sh, fetch_jpeg_source), or set MORVANTA_JPEG_SOURCE_DIR")
endif()

set (jpeg_prefix "${CMAKE_BINARY_DIR}/libjpeg-turbo")
set (jpeg_args
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_TURBOJPEG=OFF
    -DREQUIRE_SIMD=ON
    "-DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}")

if (CMAKE_TOOLCHAIN_FILE)
    list (APPEND jpeg_args "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}")
endif()

set (jpeg_config jconfig.h)

if (WIN32)
    # Built for Windows, the library's own default prefix is a drive letter
    # ("c:/libjpeg-turbo-gcc64"), which its configuration cannot place under a Linux build;
    # nothing is installed there anyway.
    list (APPEND jpeg_args "-DCMAKE_INSTALL_PREFIX=${jpeg_prefix}/install")

    # The library's Windows jconfig.h leaves `boolean` to rpcndr.h when that was read first, as it
    # is in the framework, whose JPEG code built with GCC names jpeglib's own boolean in the
    # namespace it includes jpeglib.h into. The jconfig.h its headers find declares it there too.
    set (jpeg_config jconfig-library.h)
    file (WRITE "${jpeg_prefix}/include/jconfig.h"
        "#include \"jconfig-library.h\"\n"
        "#if defined(__GNUC__) && defined(__RPCNDR_H__)\n"
        "typedef unsigned char boolean;\n"
        "#endif\n")
endif()

# Only the library: the package's programs and its install step are not wanted.
ExternalProject_Add (libjpeg_turbo
    SOURCE_DIR "${MORVANTA_JPEG_SOURCE_DIR}"
    BINARY_DIR "${jpeg_prefix}/build"
    CMAKE_ARGS ${jpeg_args}
    BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --target jpeg-static
    INSTALL_COMMAND "${CMAKE_COMMAND}" -E make_directory "${jpeg_prefix}/include"
    COMMAND "${CMAKE_COMMAND}" -E copy <BINARY_DIR>/jconfig.h "${jpeg_prefix}/include/${jpeg_config}"
    COMMAND "${CMAKE_COMMAND}" -E copy <SOURCE_DIR>/jpeglib.h <SOURCE_DIR>/jmorecfg.h
        <SOURCE_DIR>/jerror.h <SOURCE_DIR>/jpegint.h "${jpeg_prefix}/include"
    BUILD_BYPRODUCTS "${jpeg_prefix}/build/libjpeg.a")

file (MAKE_DIRECTORY "${jpeg_prefix}/include")
add_library (morvanta_jpeg INTERFACE)
target_include_directories (morvanta_jpeg INTERFACE "${jpeg_prefix}/include")
target_link_libraries (morvanta_jpeg INTERFACE "${jpeg_prefix}/build/libjpeg.a")
add_dependencies (morvanta_jpeg libjpeg_turbo)
