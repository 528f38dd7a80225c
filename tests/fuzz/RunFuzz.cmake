# Configures and builds the fuzz project with clang, then fuzzes the preset and host-state
# readers briefly, starting from the factory presets and a saved host state. Fails on any crash, sanitizer report, leak, timeout or
# oversized allocation. Run by CTest as
#   cmake -D SOURCE_DIR=... -D BUILD_DIR=... -D PRESET_DIR=... -D GENERATOR=... -D JOBS=...
#         [-D SECONDS=30] [-D RUNS=200000] -P RunFuzz.cmake
foreach (required SOURCE_DIR BUILD_DIR PRESET_DIR GENERATOR JOBS)
    if (NOT DEFINED ${required})
        message (FATAL_ERROR "RunFuzz.cmake needs -D ${required}=...")
    endif()
endforeach()

if (NOT DEFINED SECONDS)
    set (SECONDS 30)
endif()

if (NOT DEFINED RUNS)
    set (RUNS 200000)
endif()

find_program (clang_cxx NAMES clang++-14 clang++ REQUIRED)
find_program (clang_c NAMES clang-14 clang REQUIRED)

function (run what)
    execute_process (COMMAND ${ARGN} RESULT_VARIABLE result)

    if (NOT result EQUAL 0)
        message (FATAL_ERROR "${what} failed (${result})")
    endif()
endfunction()

run ("Configuring the fuzz project" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${BUILD_DIR}" -G "${GENERATOR}"
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_COMPILER=${clang_c}" "-DCMAKE_CXX_COMPILER=${clang_cxx}")
run ("Building the fuzz target" "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --parallel "${JOBS}")

# A fresh working corpus each run; the starting inputs are only read.
set (corpus "${BUILD_DIR}/corpus")
file (REMOVE_RECURSE "${corpus}")
file (MAKE_DIRECTORY "${corpus}")

# -malloc_limit_mb: any single allocation over 64 MiB is a finding (a preset is at most 1 MiB).
# -timeout: any input that takes over 5 s is a finding. Crash files land in the build folder.
run ("Fuzzing the preset and state readers" "${BUILD_DIR}/preset_reader_fuzzer"
    "-max_total_time=${SECONDS}" "-runs=${RUNS}" -timeout=5 -malloc_limit_mb=64 -rss_limit_mb=2048
    -max_len=8192 -print_final_stats=1 "-artifact_prefix=${BUILD_DIR}/"
    "${corpus}" "${PRESET_DIR}" "${SOURCE_DIR}/inputs")
