// Default options of the sanitizer runtimes for the test executables of a sanitizer build, so
// that CTest needs no environment of its own.

extern "C" const char* __lsan_default_options()
{
    return "suppressions=" MORVANTA_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

extern "C" const char* __tsan_default_options()
{
    return "suppressions=" MORVANTA_TSAN_SUPPRESSIONS ":halt_on_error=1:second_deadlock_stack=1";
}
