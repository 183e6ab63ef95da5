// The controller around the pool: walking what the user names, reporting what it skips, driving
// the progress display, reading audio timecode of a selection and sync information.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/ApplicationController.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/Signals.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;
using test::writeFile;

// A sound file of known length whose analysis can be held.
class SoundFile : public MediaFile {
  public:
    using MediaFile::MediaFile;
    void analyzeWithOptions(const MetadataDictionary& options) override {
        MediaFile::analyzeWithOptions(options);
        if (hold) hold();
        std::lock_guard lock(mutex());
        auto track = addTrackWithMediaType(MediaTrackTypeAudio, 0);
        track->setCodecName("LPCM");
        track->setAudioChannelCount(1);
        track->setTimeRange({kCMTimeZero, CMTimeMake(10, 1)});
    }
    // Every LTC read finds 09:00:00:00.
    void readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) override {
        ltcRequests.push_back(request);
        auto value = TCHelper::helperWithFrameRate(25.0, false);
        value->setTimecodeString("09:00:00:00");
        value->setType(TCTypeAudio);
        std::lock_guard lock(mutex());
        removeAllAudioTimecodeTracks();
        addTimecodeTrackWithTCHelper(value);
        setAudioTimecodeHasBeenRead(true);
    }
    std::function<void()> hold;
    std::vector<AudioTimecodeRequest> ltcRequests;
};

class RecordingProgress : public ProgressDisplay {
  public:
    void startWithTitle(const std::string& title) override { record("start " + title); }
    void setPercent(double percent) override { record("percent " + std::to_string(int(percent))); }
    void setStatus(const std::string& status) override { record("status " + status); }
    void stop() override { record("stop"); }
    bool aborted() const override { return abort; }

    std::vector<std::string> calls() {
        std::lock_guard lock(mutex);
        return calls_;
    }
    bool called(const std::string& call) {
        const auto all = calls();
        return std::find(all.begin(), all.end(), call) != all.end();
    }
    std::atomic<bool> abort{false};

  private:
    void record(std::string call) {
        std::lock_guard lock(mutex);
        calls_.push_back(std::move(call));
    }
    std::mutex mutex;
    std::vector<std::string> calls_;
};

class ApplicationControllerTest : public testing::Test {
  protected:
    ApplicationControllerTest() { defaults.setBool(true, DefaultsKey::automaticallySetSyncGroups); }

    // Files ending in ".snd" are sound files; anything else is not taken.
    ApplicationHooks hooks() {
        ApplicationHooks hooks;
        hooks.readerFactory = [this](const std::filesystem::path& url, MediaPool&) {
            if (url.extension() != ".snd")
                return MediaReaderChoice{nullptr, {}, "not a sound file"};
            auto file = std::make_shared<SoundFile>(url);
            if (holdFile == url.filename()) file->hold = hold;
            return MediaReaderChoice{file, {file}, {}};
        };
        return hooks;
    }

    std::filesystem::path make(const std::string& relative) {
        const auto path = folder / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, "x");
        return path;
    }

    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    std::string holdFile;
    std::function<void()> hold;
};

TEST_F(ApplicationControllerTest, FoldersAreWalkedInNameOrderWithoutHiddenEntries) {
    make("day/b.snd");
    make("day/a.snd");
    make("day/sub/c.snd");
    make("day/.hidden.snd");
    make("day/.cache/d.snd");
    const auto named = make(".named.snd");
    std::vector<ApplicationController::SkippedPath> skipped;
    const auto files = ApplicationController::expandPaths(
        {folder / "day", named, folder / "missing.snd"}, skipped);
    const auto root = folder.path().lexically_normal();
    EXPECT_EQ(files,
              (std::vector<std::filesystem::path>{root / "day/a.snd", root / "day/b.snd",
                                                  root / "day/sub/c.snd", root / ".named.snd"}));
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].path, root / "missing.snd");
    EXPECT_EQ(skipped[0].reason, "no such file or folder");
    EXPECT_TRUE(skipped[0].failed);
}

TEST_F(ApplicationControllerTest, AddingReportsEverySkippedFileAndOnlyNamedOnesFail) {
    ApplicationController controller(hooks(), defaults, center);
    make("day/a.snd");
    make("day/notes.txt");
    const auto named = make("other.txt");
    const auto result =
        controller.addPaths({folder / "day", named, folder / "day/a.snd", folder / "gone"});
    ASSERT_TRUE(controller.waitForAnalysis(30s));
    ASSERT_EQ(result.added.size(), 1u);
    EXPECT_EQ(controller.mediaPool().count(), 1u);
    EXPECT_TRUE(result.added[0]->hasBeenAnalyzed());
    std::map<std::string, std::pair<std::string, bool>> skipped;
    for (const auto& entry : result.skipped)
        skipped[entry.path.filename().string()] = {entry.reason, entry.failed};
    ASSERT_EQ(skipped.size(), 4u);
    EXPECT_EQ(skipped["notes.txt"], std::make_pair(std::string("not a sound file"), false));
    EXPECT_EQ(skipped["other.txt"], std::make_pair(std::string("not a sound file"), true));
    EXPECT_EQ(skipped["a.snd"].second, false);  // named twice: already in the pool
    EXPECT_EQ(skipped["gone"].second, true);
}

TEST_F(ApplicationControllerTest, ProgressFollowsABatch) {
    RecordingProgress progress;
    // The last file waits until the display has shown the progress of the first ones.
    holdFile = "c.snd";
    hold = [&] {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!progress.called("status 2 of 3 files analyzed") &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
    };
    ApplicationController controller(hooks(), defaults, center);
    controller.setProgressDisplay(&progress);
    controller.addPaths({make("a.snd"), make("b.snd"), make("c.snd")});
    ASSERT_TRUE(controller.waitForAnalysis(30s));
    const auto calls = progress.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "start analyzing media");
    EXPECT_TRUE(progress.called("percent 66"));
    EXPECT_TRUE(progress.called("status 2 of 3 files analyzed"));
    EXPECT_EQ(calls.back(), "stop");
}

TEST_F(ApplicationControllerTest, AnAbortedDisplayStopsTheAnalysis) {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    holdFile = "b.snd";
    hold = [&] {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return open; });
    };
    ApplicationController controller(hooks(), defaults, center);
    RecordingProgress progress;
    progress.abort = true;
    controller.setProgressDisplay(&progress);
    controller.addPaths({make("a.snd"), make("b.snd"), make("c.snd")});
    ApplicationController::waitFor([&] { return controller.mediaPool().cancelledAnalyzing(); },
                                   30s);
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    released.notify_all();
    ASSERT_TRUE(controller.waitForAnalysis(30s));
    ASSERT_EQ(controller.mediaPool().count(), 1u);
    EXPECT_EQ(controller.mediaPool().objectAtIndex(0)->name(), "a.snd");
}

TEST_F(ApplicationControllerTest, ReadingAudioTimecodeOfASelectionLinksAndReports) {
    ApplicationController controller(hooks(), defaults, center);
    RecordingProgress progress;
    controller.setProgressDisplay(&progress);
    const auto added = controller.addPaths({make("a.snd"), make("b.snd")}).added;
    ASSERT_TRUE(controller.waitForAnalysis(30s));
    AudioTimecodeRequest request;
    request.frameRate = 25.0;
    request.channel = 2;
    const auto operation = controller.readAudioTimecodeOfFiles({added[0]}, request);
    ASSERT_TRUE(ApplicationController::waitFor([&] { return operation->isFinished(); }, 30s));

    const auto& requests = std::static_pointer_cast<SoundFile>(added[0])->ltcRequests;
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].channel, 2);
    EXPECT_TRUE(added[0]->audioTimecodeHasBeenRead());
    // The other file of the same length shares the found timecode.
    EXPECT_EQ(added[1]->audioTimecode(), added[0]->audioTimecode());
    EXPECT_TRUE(progress.called("start read audio timecode"));
    EXPECT_TRUE(progress.called("status reading file 0 of 1..."));
    EXPECT_EQ(progress.calls().back(), "stop");
}

TEST_F(ApplicationControllerTest, SyncInformationComesFromTheInstalledEngine) {
    ApplicationHooks withSync = hooks();
    std::atomic<int> asked{0};
    std::atomic<int> rounds{0};
    withSync.syncInfoUpdater = [&](MediaPool&, bool involveDate, bool) {
        ++rounds;
        return std::function<void(MediaFile&)>([&, involveDate](MediaFile& file) {
            ++asked;
            file.setInfoText(involveDate ? "dated" : "synced");
            file.setHighLightColor(1);
        });
    };
    ApplicationController plain(hooks(), defaults, center);
    EXPECT_FALSE(plain.canShowSyncInfo());

    ApplicationController controller(withSync, defaults, center);
    controller.addPaths({make("a.snd"), make("b.snd")});
    ASSERT_TRUE(controller.waitForAnalysis(30s));
    int updates = 0;
    const auto token = center.addObserverForName(kUpdateMediaFileNotification,
                                                 [&](const Notification&) { ++updates; });
    controller.showSyncInfo();
    ApplicationController::waitFor([] { return true; }, 1s);
    EXPECT_TRUE(controller.syncInfo());
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(controller.mediaPool().objectAtIndex(1)->infoText(), "synced");
    controller.hideSyncInfo();
    EXPECT_FALSE(controller.syncInfo());
    EXPECT_EQ(controller.mediaPool().objectAtIndex(1)->infoText(), "");
    EXPECT_EQ(controller.mediaPool().objectAtIndex(1)->highLightColor(), 0);
    center.removeObserver(token);
}

// Broadcast WAV files written by libsndfile, read through the standard reader choice.
class RecorderFilesTest : public ApplicationControllerTest {
  protected:
    std::optional<mediagen::RecorderTakeFacts> record(const std::string& name,
                                                      mediagen::Timecode start, int channels,
                                                      bool withIxml = true) {
        mediagen::RecorderTake take;
        take.path = folder / "day" / name;
        std::filesystem::create_directories(take.path.parent_path());
        take.start = start;
        take.originator = "SoundDev: 744T S#1234";
        take.scene = "12";
        take.take = "3";
        take.withIxml = withIxml;
        for (int channel = 0; channel < channels; ++channel)
            take.channels.push_back(mediagen::sine(440.0 * (channel + 1), -20.0, 48000, 48000));
        return mediagen::writeRecorderTake(take);
    }
};

TEST_F(RecorderFilesTest, AShootsSoundFilesAreReadGroupedAndLinked) {
    const auto poly = record("T01.wav", {10, 0, 0, 0}, 2);
    ASSERT_TRUE(poly);
    // A take recorded as three mono files without channel numbers of their own.
    for (const char* name : {"T02_A.wav", "T02_B.wav", "T02_C.wav"})
        ASSERT_TRUE(record(name, {11, 0, 0, 0}, 1, false));
    make("day/notes.txt");
    ApplicationController controller(ApplicationHooks::standard(), defaults, center);
    controller.mediaPool().setAnalysisOptionOverrides({{kAnalyzeReadAudioTc, false}});
    const auto result = controller.addPaths({folder / "day"});
    ASSERT_TRUE(controller.waitForAnalysis(60s));
    ASSERT_EQ(result.added.size(), 4u);
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_EQ(result.skipped[0].reason, "not a media file Vorlane reads");
    MediaPool& pool = controller.mediaPool();
    pool.enumerateSyncGroups();

    const auto t01 = pool.objectAtIndex(0);
    EXPECT_EQ(t01->name(), "T01.wav");
    EXPECT_EQ(t01->fileContainerString(), "WAVE (BWF)");
    ASSERT_TRUE(t01->timecode());
    EXPECT_EQ(t01->timecode()->timecodeString(TCOptionWrap24h), "10:00:00:00");
    EXPECT_DOUBLE_EQ(t01->duration().seconds(), poly->durationSeconds());
    EXPECT_EQ(t01->scene(), "12");
    EXPECT_EQ(t01->firstAudioTrack()->audioChannelCount(), 2u);
    std::vector<std::pair<int32_t, bool>> tracks;
    for (const auto& file : pool.files()) {
        EXPECT_EQ(file->syncGroup(), 1u) << file->name();  // one recorder, one group
        tracks.emplace_back(file->firstAudioTrack()->trackNumber(), file->linkedAudioFile());
    }
    EXPECT_EQ(tracks, (std::vector<std::pair<int32_t, bool>>{
                          {1, false}, {1, false}, {2, true}, {3, true}}));
    EXPECT_EQ(pool.audioFileCount(), 4);
    auto rate = pool.mostCommonFrameRate();
    ASSERT_TRUE(rate);
    EXPECT_DOUBLE_EQ(rate->frameRate(), 25.0);
}

TEST_F(ApplicationControllerTest, TheStandardHooksChooseReadersAndSync) {
    const ApplicationHooks hooks = ApplicationHooks::standard();
    EXPECT_TRUE(hooks.readerFactory);
    EXPECT_TRUE(hooks.syncInfoUpdater);
}

}  // namespace
}  // namespace vorlane
