// Vorlane Studio playing 1080p25 H.264 (250-frame groups of pictures, B-frames) with 24-bit sound
// in its player for 20 s, offscreen: the pictures that reached the screen per picture due
// (`shown_ratio`, 1 when none was dropped), the processor share of the whole application
// (`cpu_share`, 1 = one core) and, side by side, the share of the ffmpeg program decoding the
// same 20 s at real-time pace without showing anything (`ffmpeg_cpu_share`), the floor any
// player pays. The clip is made by the ffmpeg program. Without a sound device the player runs
// on the wall clock, as in the tests.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "MainWindow.h"
#include "PlayerView.h"
#include "ProgressSheet.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPlayedSeconds = 20;

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_Play1080pH264WithSound(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("vorlane-play-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path clip = folder / "A001_C001.mov";
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -f lavfi -i "
        "sine=frequency=440:sample_rate=48000 -t " +
        std::to_string(kPlayedSeconds + 5) +
        " -c:v libx264 -preset veryfast -g 250 -bf 3 -pix_fmt yuv420p -c:a pcm_s24le -ac 2 "
        "-timecode 10:00:00:00 '" +
        clip.string() + "'";
    if (std::system(make.c_str()) != 0) {
        state.SkipWithError("the ffmpeg program could not make the clip");
        return;
    }
    for (auto _ : state) {
        vorlane::gui::MainWindow window;
        window.resize(1280, 800);
        window.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(clip.string()))});
        window.dropMimeData(data);
        runUntil([&] {
            return !window.controller().adding() && window.application().mediaPool().count() == 1 &&
                   !window.application().mediaPool().hasPendingAnalysis();
        });
        runUntil([&] { return !window.progress().isVisible(); });

        window.controller().doubleClickSelect(0);
        auto& player = window.controller().player();
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer wall;
        wall.start();
        qint64 lastPicture = 0;
        int64_t pictures = 0;
        // Sleeping between events, as the application's own loop does.
        while (CMTimeGetSeconds(player.currentTime()) < kPlayedSeconds) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const qint64 key = window.playerView().picture().cacheKey();
            if (key != lastPicture) ++pictures;
            lastPicture = key;
        }
        const double seconds = double(wall.elapsed()) / 1000.0;
        state.counters["cpu_share"] = (cpuSeconds(RUSAGE_SELF) - cpuBefore) / seconds;
        state.counters["shown_ratio"] = double(pictures) / (kPlayedSeconds * 25.0);
        state.counters["wall_s"] = seconds;
        window.close();
    }

    const std::string decode = "ffmpeg -v error -re -t " + std::to_string(kPlayedSeconds) +
                               " -i '" + clip.string() + "' -f null -";
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);  // the clip's encoding
    QElapsedTimer wall;
    wall.start();
    if (std::system(decode.c_str()) == 0)
        state.counters["ffmpeg_cpu_share"] =
            (cpuSeconds(RUSAGE_CHILDREN) - childrenBefore) / (double(wall.elapsed()) / 1000.0);
    fs::remove_all(folder);
}
BENCHMARK(BM_Play1080pH264WithSound)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
