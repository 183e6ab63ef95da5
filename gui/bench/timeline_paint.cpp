// How long the timeline takes to paint a day's sync map: a generated shooting day of in-memory
// files (takes a minute apart, a recorder and one or two cameras per take) laid out as the
// window's sync map command does, painted into a 1280 × 240 image zoomed to fit (every clip in
// view), at normal zoom in the middle of the day, and at the closest zoom: the repaints of a
// playing timeline (the ruler's labels are looked up once). Counters: clips on the map, lanes
// and hours of the map. Runs offscreen.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>

#include "../../bench/GeneratedPool.h"
#include "TimelineView.h"
#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncIndex.h"

namespace {

using vorlane::gui::TimelineView;

enum class Zoom { Fit, Normal, Closest };

std::shared_ptr<vorlane::MediaLayoutComposition> syncMapOfDay(int files) {
    vorlane::bench::GeneratedPool& day = vorlane::bench::poolOfSize(files);
    vorlane::CompositionSettings settings;
    settings.multicam = true;
    settings.keepOriginalAudio = true;
    auto layout = vorlane::MediaLayoutComposition::layoutCompositionWithName(
        "Layout", vorlane::MediaSyncIndex::indexWithMediaPool(*day.pool), settings);
    layout->setCreateNewAudioTracksForDifferentChannelcount(true);
    layout->setForPlayback(true);
    layout->createLayout();
    return layout;
}

void BM_PaintSyncMap(benchmark::State& state, Zoom zoom) {
    const auto layout = syncMapOfDay(int(state.range(0)));
    TimelineView timeline;
    timeline.resize(1280, 240);
    timeline.showComposition(layout);
    switch (zoom) {
        case Zoom::Fit:
            timeline.zoomToFit();
            break;
        case Zoom::Normal:
            timeline.zoomNormal();
            timeline.setPlayHead(timeline.geometry().duration() / 2);
            break;
        case Zoom::Closest:
            for (int step = 0; step < 40; ++step)
                timeline.zoomIn();
            timeline.setPlayHead(timeline.geometry().duration() / 2);
            break;
    }
    QImage image(timeline.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        timeline.render(&painter);
    }
    size_t clips = 0;
    for (const auto& lane : timeline.lanes())
        clips += lane.clips.size();
    state.counters["clips"] = double(clips);
    state.counters["lanes"] = double(timeline.lanes().size());
    state.counters["hours"] = timeline.geometry().duration() / 3600;
}
BENCHMARK_CAPTURE(BM_PaintSyncMap, fit, Zoom::Fit)
    ->Arg(60)
    ->Arg(600)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintSyncMap, normal, Zoom::Normal)
    ->Arg(60)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaintSyncMap, closest, Zoom::Closest)
    ->Arg(60)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
