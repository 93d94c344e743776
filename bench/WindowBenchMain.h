#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

namespace vantorel::bench {

// The main of a benchmark that shows windows: offscreen, with a Qt application around the runs.
inline int RunWindowBenchmarks(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

} // namespace vantorel::bench
