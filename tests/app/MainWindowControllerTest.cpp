// The main window's commands without a window: what the player is given and when, which files
// a command touches, and the group a menu title names.
#include <gtest/gtest.h>

#include "app/FakePlaybackEngine.h"
#include "app/MainWindowController.h"
#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "sync/MediaComposition.h"
#include "sync/MediaSyncComposition.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;

// A file of ten seconds: ".mov" has picture and sound, ".snd" only sound.
class FakeFile : public MediaFile {
  public:
    using MediaFile::MediaFile;
    void analyzeWithOptions(const MetadataDictionary& options) override {
        MediaFile::analyzeWithOptions(options);
        std::lock_guard lock(mutex());
        if (sourceURLPath().extension() == ".mov") addTrack(MediaTrackTypeVideo);
        addTrack(MediaTrackTypeAudio);
    }

  private:
    void addTrack(int32_t kind) {
        auto track = addTrackWithMediaType(kind, 0);
        track->setTimeRange({kCMTimeZero, CMTimeMake(10, 1)});
        if (kind == MediaTrackTypeAudio) track->setAudioChannelCount(1);
    }
};

class RecordingView : public MainWindowView {
  public:
    IndexSet selectedRows() const override { return selection; }
    void selectRows(const IndexSet& rows) override { selection = rows; }
    void reloadFileList() override { ++reloads; }
    void setShowVideoSyncGroups(bool on) override { videoSyncGroups = on; }
    void setupPlayerWithComposition(const std::shared_ptr<MediaComposition>& composition,
                                    bool startPlaying, bool) override {
        shown.push_back(composition);
        playing = startPlaying;
        if (onPlayer) onPlayer();
    }
    void setSyncInfoShown(bool shown) override { syncInfoShown = shown; }

    IndexSet selection;
    int reloads = 0;
    bool videoSyncGroups = false;
    bool playing = false;
    bool syncInfoShown = false;
    std::vector<std::shared_ptr<MediaComposition>> shown;
    std::function<void()> onPlayer;
};

bool isEmptyDummy(const std::shared_ptr<MediaComposition>& composition) {
    return composition && !composition->mediaPool() &&
           !std::dynamic_pointer_cast<MediaSyncComposition>(composition);
}

class MainWindowControllerTest : public testing::Test {
  protected:
    MainWindowControllerTest() {
        ApplicationHooks hooks;
        hooks.readerFactory = [](const std::filesystem::path& url, MediaPool&) {
            auto file = std::make_shared<FakeFile>(url);
            return MediaReaderChoice{file, {file}, {}};
        };
        application = std::make_unique<ApplicationController>(hooks, defaults, center);
        window = std::make_unique<MainWindowController>(
            *application, view, defaults, [this](std::shared_ptr<const PlayableComposition>) {
                auto made = std::make_unique<test::FakePlaybackEngine>();
                engine = made.get();
                return made;
            });
        window->awakeFromNib();
    }

    void addFiles(const std::vector<std::string>& names) {
        std::vector<std::filesystem::path> paths;
        for (const auto& name : names) {
            test::writeFile(folder / name, "x");
            paths.push_back(folder / name);
        }
        window->add(paths);
        ASSERT_TRUE(application->waitForAnalysis(30s));
    }

    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    RecordingView view;
    std::unique_ptr<ApplicationController> application;
    test::FakePlaybackEngine* engine = nullptr;
    std::unique_ptr<MainWindowController> window;
};

TEST_F(MainWindowControllerTest, FirstStartWritesTheStandardDefaultsAndShowsTheEmptyComposition) {
    EXPECT_TRUE(defaults.boolForKey(DefaultsKey::defaultsWritten));
    EXPECT_TRUE(window->keepOriginalAudio());
    EXPECT_TRUE(window->multicam());
    EXPECT_TRUE(view.videoSyncGroups);
    ASSERT_EQ(view.shown.size(), 1u);
    EXPECT_TRUE(isEmptyDummy(view.shown[0]));
    EXPECT_FALSE(view.playing);
    EXPECT_NE(MainWindowController::windowTitle().find("Vorlane Studio "), std::string::npos);
}

TEST_F(MainWindowControllerTest, DoubleClickWithoutClickedOrSelectedRowDoesNothing) {
    addFiles({"a.mov"});
    view.shown.clear();
    window->doubleClickSelect(std::nullopt);
    EXPECT_TRUE(view.shown.empty());
    window->doubleClickSelect(size_t(7));  // a row beyond the pool
    EXPECT_TRUE(view.shown.empty());

    view.selection = {0};
    window->doubleClickSelect(std::nullopt);
    ASSERT_EQ(view.shown.size(), 1u);
    const auto clip = std::dynamic_pointer_cast<MediaSyncComposition>(view.shown[0]);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->masterFile(), application->mediaPool().objectAtIndex(0));
    EXPECT_TRUE(view.playing);
}

TEST_F(MainWindowControllerTest, RemovingAllFilesEmptiesThePlayerBeforeThePoolChanges) {
    addFiles({"a.mov", "b.snd"});
    window->doubleClickSelect(size_t(0));
    view.selection = {0, 1};
    size_t countWhenShown = 0;
    view.onPlayer = [&] { countWhenShown = application->mediaPool().count(); };
    view.shown.clear();
    window->remove();
    ASSERT_FALSE(view.shown.empty());
    EXPECT_TRUE(isEmptyDummy(view.shown.front()));
    EXPECT_EQ(countWhenShown, 2u);
    EXPECT_EQ(application->mediaPool().count(), 0u);
    EXPECT_TRUE(isEmptyDummy(window->playingComposition()));
}

TEST_F(MainWindowControllerTest, RemovingThePlayingMasterShowsTheEmptyComposition) {
    addFiles({"a.mov", "b.mov"});
    window->doubleClickSelect(size_t(1));
    view.selection = {1};
    window->remove();
    EXPECT_EQ(application->mediaPool().count(), 1u);
    EXPECT_TRUE(isEmptyDummy(window->playingComposition()));

    // Removing another file keeps the master playing, selected again.
    addFiles({"c.mov"});
    window->doubleClickSelect(size_t(0));
    const auto master = application->mediaPool().objectAtIndex(0);
    view.selection = {1};
    window->remove();
    const auto clip = std::dynamic_pointer_cast<MediaSyncComposition>(window->playingComposition());
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->masterFile(), master);
    EXPECT_EQ(view.selection, IndexSet{0});
}

TEST_F(MainWindowControllerTest, ReloadingThePlayingCompositionKeepsItsTimePaused) {
    addFiles({"a.mov", "b.mov"});
    window->doubleClickSelect(size_t(1));
    ASSERT_TRUE(engine->playing);
    engine->time = CMTimeMake(3, 1);
    const auto before = engine;
    window->keepCameraAudio(false);
    EXPECT_NE(engine, before);  // the new composition plays in a new engine
    EXPECT_FALSE(engine->playing);
    EXPECT_EQ(engine->time, CMTimeMake(3, 1));
    const auto clip = std::dynamic_pointer_cast<MediaSyncComposition>(window->playingComposition());
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->masterFile(), application->mediaPool().objectAtIndex(1));
}

TEST_F(MainWindowControllerTest, SyncGroupOfAMenuTitle) {
    EXPECT_EQ(MainWindowController::syncGroupOfTitle("Group 3"), 3u);
    EXPECT_EQ(MainWindowController::syncGroupOfTitle("Group"), 0u);
    EXPECT_EQ(MainWindowController::syncGroupOfTitle(""), 0u);
    EXPECT_EQ(MainWindowController::syncGroupOfTitle("12 (camera)"), 12u);
    EXPECT_EQ(MainWindowController::syncGroupOfTitle("99999999999"), UINT32_MAX);

    addFiles({"a.mov", "b.snd"});
    view.selection = {1};
    window->setSyncGroup("Group 3");
    EXPECT_EQ(application->mediaPool().objectAtIndex(1)->syncGroup(), 3u);
    window->createNewSyncGroup();
    EXPECT_EQ(application->mediaPool().objectAtIndex(1)->syncGroup(), 4u);
    window->setSyncGroup("none");
    EXPECT_EQ(application->mediaPool().objectAtIndex(1)->syncGroup(), 0u);
}

TEST_F(MainWindowControllerTest, SelectionsBySortAndSyncSource) {
    addFiles({"a.mov", "b.snd", "c.mov"});
    window->selectVideoFiles();
    EXPECT_EQ(view.selection, (IndexSet{0, 2}));
    const bool soundFirst = application->mediaPool().objectAtIndex(1)->audioTimecodeFirst();
    window->manualSyncSource(!soundFirst);
    EXPECT_EQ(application->mediaPool().objectAtIndex(2)->audioTimecodeFirst(), !soundFirst);
    EXPECT_EQ(application->mediaPool().objectAtIndex(1)->audioTimecodeFirst(), soundFirst);
    window->selectAudioFiles();
    EXPECT_EQ(view.selection, IndexSet{1});
    const auto info = window->infoForSelection();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, "b.snd");
    EXPECT_NE(info->text.find("b.snd"), std::string::npos);
    view.selection.clear();
    EXPECT_FALSE(window->infoForSelection());
}

TEST_F(MainWindowControllerTest, AddingInTheBackgroundReachesThePoolInOrder) {
    std::filesystem::create_directories(folder / "day");
    for (const char* name : {"c.mov", "a.snd", "b.mov"})
        test::writeFile(folder / "day" / name, "x");
    std::optional<ApplicationController::AddResult> result;
    window->addInBackground({folder / "day", folder / "gone.mov"},
                            [&](const ApplicationController::AddResult& done) { result = done; });
    EXPECT_TRUE(window->adding());
    ASSERT_TRUE(ApplicationController::waitFor([&] { return result.has_value(); }, 30s));
    ASSERT_TRUE(application->waitForAnalysis(30s));
    EXPECT_FALSE(window->adding());
    EXPECT_EQ(result->added.size(), 3u);
    ASSERT_EQ(result->skipped.size(), 1u);
    EXPECT_TRUE(result->skipped[0].failed);
    ASSERT_EQ(application->mediaPool().count(), 3u);
    EXPECT_EQ(application->mediaPool().objectAtIndex(0)->name(), "a.snd");
    EXPECT_GT(view.reloads, 0);
    EXPECT_TRUE(application->mediaPool().objectAtIndex(2)->hasBeenAnalyzed());
}

TEST_F(MainWindowControllerTest, CheckBoxesAreStoredAndMulticamRegroups) {
    window->keepCameraAudio(false);
    window->multicamMode(false);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::keepOriginalAudio), 0);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::multicam), 0);
    EXPECT_FALSE(view.videoSyncGroups);
    EXPECT_GT(view.reloads, 0);
}

}  // namespace
}  // namespace vorlane
