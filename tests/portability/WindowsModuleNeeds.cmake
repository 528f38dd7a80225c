# Fails unless a built Windows module would load on any 64-bit Windows 10 or 11 as it is: a 64-bit
# DLL that imports only DLLs every Windows installs (no MinGW runtime, C++ runtime, winpthreads,
# zlib or libpng DLL beside it), and that exports only the three VST3 entry points, so that nothing
# linked into it meets a host's own copy. Run as
#   cmake -D OBJDUMP=x86_64-w64-mingw32-objdump -D MODULE=.../Contents/x86_64-win/Morvanta.vst3
#         -P WindowsModuleNeeds.cmake
cmake_minimum_required (VERSION 3.22)

foreach (required OBJDUMP MODULE)
    if (NOT DEFINED ${required})
        message (FATAL_ERROR "WindowsModuleNeeds.cmake needs -D ${required}=...")
    endif()
endforeach()

# Windows' own DLLs (lower case: Windows matches names without case). msvcrt.dll is the C runtime
# every Windows carries, which MinGW's C library calls.
set (allowed_libraries
    kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll
    imm32.dll shlwapi.dll version.dll winmm.dll ws2_32.dll wsock32.dll wininet.dll rpcrt4.dll
    dxgi.dll msvcrt.dll)
set (exports ExitDll GetPluginFactory InitDll)

execute_process (COMMAND "${OBJDUMP}" -p "${MODULE}"
    OUTPUT_VARIABLE headers ERROR_VARIABLE error RESULT_VARIABLE result)

if (NOT result EQUAL 0)
    message (FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed: ${error}")
endif()

set (faults "")

if (NOT headers MATCHES "file format pei-x86-64" OR NOT headers MATCHES "Magic[\t ]+020b")
    list (APPEND faults "not a 64-bit (PE32+) x86-64 image")
endif()

if (NOT headers MATCHES "Characteristics [^\n]*\n([\t ][^\n]*\n)*[\t ]+DLL\n")
    list (APPEND faults "not a DLL")
endif()

string (REGEX MATCHALL "DLL Name: [^\n]+" entries "${headers}")

if (NOT entries)
    list (APPEND faults "imports nothing: not a module linked against Windows")
endif()

set (imported "")

foreach (entry IN LISTS entries)
    string (REGEX REPLACE "DLL Name: (.+)" "\\1" library "${entry}")
    string (STRIP "${library}" library)
    list (APPEND imported "${library}")
    string (TOLOWER "${library}" name)

    if (NOT name IN_LIST allowed_libraries)
        list (APPEND faults "imports ${library}")
    endif()
endforeach()

# The export table's names: "[Ordinal/Name Pointer] Table" followed by "[   n] Name" lines.
set (exported "")

if (headers MATCHES "\\[Ordinal/Name Pointer\\] Table\n(([\t ]+\\[ *[0-9]+\\] [^\n]+\n)*)")
    string (REGEX REPLACE "[\t ]+\\[ *[0-9]+\\] ([^\n]+)\n" "\\1;" exported "${CMAKE_MATCH_1}")
    list (REMOVE_ITEM exported "")
endif()

include ("${CMAKE_CURRENT_LIST_DIR}/ModuleVerdict.cmake")

list (JOIN imported ", " shown)
message (STATUS "${MODULE} imports only: ${shown}")
