// How long Vorlane Studio's main thread is blocked while 2,000 files are dropped, analysed, given
// sync information and scrolled through: the longest gap between two turns of the event loop
// (counter `max_stall_ms`; the goal is below 50 ms), the most processor time the main thread spent
// in one such gap (`max_stall_cpu_ms`, what the window's own work costs whatever the machine's
// load) and the slowest scroll step with its repaint (`max_scroll_ms`). The files are short
// Broadcast WAV files with a time reference, made by libsndfile through the test-media generator.
// Runs offscreen.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "MainWindow.h"
#include "ProgressSheet.h"
#include "mediagen/AudioFileWriter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFileCount = 2000;

fs::path makeFiles() {
    const fs::path folder =
        fs::temp_directory_path() / ("vorlane-2000-" + std::to_string(getpid()));
    fs::create_directories(folder);
    for (int index = 0; index < kFileCount; ++index) {
        vorlane::mediagen::AudioFileOptions options;
        options.path = folder / ("take_" + std::to_string(10000 + index) + ".wav");
        options.format = vorlane::mediagen::SampleFormat::Pcm16;
        options.channels = {vorlane::mediagen::silence(4800)};
        vorlane::mediagen::BextFields bext;
        bext.originator = "bench";
        bext.timeReference = uint64_t(36000 + index * 20) * 48000;
        options.bext = bext;
        vorlane::mediagen::writeAudioFile(options);
    }
    return folder;
}

// The longest wait between two turns of the main event loop while `work` runs it, in wall-clock
// time and in the main thread's own processor time. The second is what the window's code costs;
// the first adds whatever kept the thread from running (locks, and on a busy machine, other
// processes). With VORLANE_BENCH_STALL_LOG set, every turn longer than 10 ms is written to stderr
// with its end on the monotonic clock, for matching against a profiler's samples.
class StallMeter {
  public:
    StallMeter() : logging_(std::getenv("VORLANE_BENCH_STALL_LOG") != nullptr) {
        clock_.start();
        lastCpu_ = threadCpuMilliseconds();
        QObject::connect(&timer_, &QTimer::timeout, [this] { turn(); });
        timer_.start(1);
    }
    qint64 longest() const { return longest_; }
    double longestCpu() const { return longestCpu_; }

  private:
    static double threadCpuMilliseconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }

    void turn() {
        const qint64 now = clock_.elapsed();
        const double cpu = threadCpuMilliseconds();
        if (logging_ && now - last_ > 10) {
            timespec monotonic{};
            clock_gettime(CLOCK_MONOTONIC, &monotonic);
            std::fprintf(stderr, "stall %lld ms (main thread cpu %.1f ms) ending at %ld.%06ld\n",
                         now - last_, cpu - lastCpu_, long(monotonic.tv_sec),
                         long(monotonic.tv_nsec / 1000));
        }
        longest_ = std::max(longest_, now - last_);
        longestCpu_ = std::max(longestCpu_, cpu - lastCpu_);
        last_ = now;
        lastCpu_ = cpu;
    }

    const bool logging_;
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;  // the work started with the meter
    qint64 longest_ = 0;
    double lastCpu_ = 0;
    double longestCpu_ = 0;
};

void runUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_DropAnalyseAndScroll2000Files(benchmark::State& state) {
    const fs::path folder = makeFiles();
    for (auto _ : state) {
        vorlane::gui::MainWindow window;
        window.show();
        StallMeter meter;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
        window.dropMimeData(data);
        runUntil([&] {
            return !window.controller().adding() &&
                   !window.application().mediaPool().hasPendingAnalysis();
        });
        runUntil([&] { return !window.progress().isVisible(); });
        window.syncInfo();
        runUntil([&] { return window.controller().syncInfoShown(); });
        QCoreApplication::processEvents();

        qint64 slowestScroll = 0;
        QScrollBar* bar = window.table().verticalScrollBar();
        for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
            QElapsedTimer step;
            step.start();
            bar->setValue(value);
            window.table().viewport()->repaint();
            QCoreApplication::processEvents();
            slowestScroll = std::max(slowestScroll, step.elapsed());
        }
        state.counters["files"] = double(window.application().mediaPool().count());
        state.counters["max_stall_ms"] = double(meter.longest());
        state.counters["max_stall_cpu_ms"] = meter.longestCpu();
        state.counters["max_scroll_ms"] = double(slowestScroll);
        window.close();
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_DropAnalyseAndScroll2000Files)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
