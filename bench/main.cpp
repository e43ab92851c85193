// Entry of clipora-bench. Benchmarks that need a window use the offscreen
// platform unless the environment names another.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/startup.h"
#include "toolkit/application.h"

int main(int argc, char* argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    clipora::Application app(argc, argv);
    clipora::setUpApplication(app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
