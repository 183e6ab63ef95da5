// The main() of the Studio's benchmarks: Qt's offscreen platform, the main queue the window's
// controllers post to, and a settings folder of its own so a run never touches the user's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "QtMainQueue.h"

int main(int argc, char** argv) {
    const auto config = std::filesystem::temp_directory_path() /
                        ("vorlane-bench-config-" + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    setenv("VORLANE_CONFIG_DIR", config.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    vorlane::gui::QtMainQueue mainQueue;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(config);
    return 0;
}
