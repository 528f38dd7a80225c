# Fails unless a built module would load on every current Linux desktop (Ubuntu 22.04 LTS,
# Debian 12, Fedora 36, current Arch and later, x86-64 or arm64): it may need only libraries they
# all install, no glibc symbol version above 2.35 (Ubuntu 22.04's) and no libstdc++ above
# GLIBCXX_3.4.30, and it may export only the VST3 entry points, so that nothing linked into it
# meets a host's own copy. Run as
#   cmake -D READELF=readelf -D MODULE=.../Contents/<arch>-linux/Morvanta.so -P ModuleNeeds.cmake
cmake_minimum_required (VERSION 3.22)

foreach (required READELF MODULE)
    if (NOT DEFINED ${required})
        message (FATAL_ERROR "ModuleNeeds.cmake needs -D ${required}=...")
    endif()
endforeach()

set (allowed_libraries
    libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 libgcc_s.so.1
    ld-linux-x86-64.so.2 ld-linux-aarch64.so.1
    libfreetype.so.6 libpng16.so.16 libz.so.1)
set (newest_GLIBC 2.35)
set (newest_GLIBCXX 3.4.30)
set (exports GetPluginFactory ModuleEntry ModuleExit)

function (read_elf out)
    execute_process (COMMAND "${READELF}" -W ${ARGN} "${MODULE}"
        OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE result)

    if (NOT result EQUAL 0)
        message (FATAL_ERROR "${READELF} ${ARGN} ${MODULE} failed: ${error}")
    endif()

    set (${out} "${text}" PARENT_SCOPE)
endfunction()

set (faults "")

read_elf (dynamic --dynamic)
string (REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" entries "${dynamic}")

if (NOT entries)
    list (APPEND faults "no NEEDED entries at all: not a dynamically linked module")
endif()

foreach (entry IN LISTS entries)
    string (REGEX REPLACE ".*\\[(.+)\\]" "\\1" library "${entry}")

    if (NOT library IN_LIST allowed_libraries)
        list (APPEND faults "needs ${library}")
    endif()
endforeach()

read_elf (versions --version-info)
string (REGEX MATCHALL "Name: (GLIBC|GLIBCXX)_[0-9.]+" names "${versions}")

foreach (name IN LISTS names)
    string (REGEX REPLACE "Name: ([A-Z]+)_([0-9.]+)" "\\1;\\2" parts "${name}")
    list (GET parts 0 family)
    list (GET parts 1 version)

    if (version VERSION_GREATER newest_${family})
        list (APPEND faults "asks for ${family}_${version} (at most ${newest_${family}})")
    endif()
endforeach()

# Defined global and weak symbols of the dynamic table: "Num: Value Size Type Bind Vis Ndx Name".
read_elf (symbols --dyn-syms)
string (REGEX MATCHALL "[^\n]+ (GLOBAL|WEAK) +DEFAULT +[0-9]+ [^\n]+" defined "${symbols}")
set (exported "")

foreach (line IN LISTS defined)
    string (REGEX REPLACE ".* ([^ @]+)(@.*)?$" "\\1" name "${line}")
    list (APPEND exported "${name}")
endforeach()

include ("${CMAKE_CURRENT_LIST_DIR}/ModuleVerdict.cmake")

list (JOIN entries "\n  " shown)
message (STATUS "${MODULE} needs only:\n  ${shown}")
