#pragma once

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

/** The main of every benchmark executable: JUCE is initialised first, since the parameter tree,
    the convolution's loader and the GUI classes all expect it. */
inline int runBenchmarksWithJuce (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
