#include <QApplication>

#include <benchmark/benchmark.h>

// Every figure is taken on the offscreen platform, that of the programs
// the start-up benchmark runs included (they inherit the setting).
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
