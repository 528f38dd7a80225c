#pragma once

#include <sys/resource.h>

/** What the whole process has used so far: every thread, ended ones included. */
struct ProcessUsage
{
    double cpuSeconds = 0.0; // user and system
    double contextSwitches = 0.0; // voluntary and involuntary

    static ProcessUsage now()
    {
        rusage usage{};
        getrusage (RUSAGE_SELF, &usage);
        const auto seconds = [] (const timeval& t)
        { return (double) t.tv_sec + 1.0e-6 * (double) t.tv_usec; };
        return { seconds (usage.ru_utime) + seconds (usage.ru_stime), (double) (usage.ru_nvcsw + usage.ru_nivcsw) };
    }
};
