// The pool's logic with small files made here: duplicates, the notifications of a batch,
// stopping, linking the files of one sound take, device groups and the questions about the
// whole set.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "media/MediaPool.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;
using Fill = std::function<void(MediaFile&)>;

// A file whose analysis runs the test's fill function and keeps the options it was given.
class FakeFile : public MediaFile {
  public:
    FakeFile(std::filesystem::path url, Fill fill) : MediaFile(std::move(url)), fill_(fill) {}
    void analyzeWithOptions(const MetadataDictionary& options) override {
        MediaFile::analyzeWithOptions(options);
        options_ = options;
        if (fill_) fill_(*this);
    }
    MetadataDictionary options_;

  private:
    Fill fill_;
};

// Lets a test hold one analysis while it acts on the pool.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;

    void pass() {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    bool hasEntered() {
        std::lock_guard lock(mutex);
        return entered;
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

CMTime seconds(int64_t value) {
    return CMTimeMake(value, 1);
}

std::shared_ptr<TCHelper> timecode(const char* text, int32_t type, double rate = 25.0,
                                   bool dropFrame = false) {
    auto value = TCHelper::helperWithFrameRate(rate, dropFrame);
    EXPECT_TRUE(value->setTimecodeString(text)) << text;
    value->setType(type);
    return value;
}

Fill audio(CMTime duration, int32_t trackNumber = 1, uint32_t channels = 1) {
    return [=](MediaFile& file) {
        std::lock_guard lock(file.mutex());
        auto track = file.addTrackWithMediaType(MediaTrackTypeAudio, 0);
        track->setTrackNumber(trackNumber);
        track->setCodecName("LPCM");
        track->setFourCC(fourCC("lpcm"));
        track->setAudioChannelCount(channels);
        track->setAudioBitDepth(24);
        track->setAudioSampleRate(48000);
        track->setTimeRange({kCMTimeZero, duration});
    };
}

Fill video(double width, double height, double rate = 25.0, CMTime duration = seconds(10)) {
    return [=](MediaFile& file) {
        std::lock_guard lock(file.mutex());
        auto track = file.addTrackWithMediaType(MediaTrackTypeVideo, 0);
        track->setCodecName("H.264");
        track->setVideoSize({width, height});
        track->setVideoFrameRate(rate);
        track->setTimeRange({kCMTimeZero, duration});
    };
}

Fill withTimecode(std::shared_ptr<TCHelper> value) {
    return [value](MediaFile& file) {
        std::lock_guard lock(file.mutex());
        file.addTimecodeTrackWithTCHelper(value);
    };
}

Fill withMetadata(MetadataDictionary values) {
    return [values](MediaFile& file) {
        for (const auto& [key, value] : values)
            file.setMetaDataValue(key, value);
    };
}

Fill all(std::vector<Fill> fills) {
    return [fills](MediaFile& file) {
        for (const auto& fill : fills)
            fill(file);
    };
}

class MediaPoolTest : public testing::Test {
  protected:
    MediaPoolTest() {
        defaults.setBool(true, DefaultsKey::automaticallySetSyncGroups);
        observer = center.addObserverForName(
            "", [this](const Notification& notification) { posted.push_back(notification); });
    }

    // The reader choice of the tests: a file name registered in `contents`, or nothing.
    MediaReaderChoice choose(const std::filesystem::path& url) {
        const auto found = contents.find(url.filename().string());
        if (found == contents.end()) return {nullptr, {}, "not a test file"};
        auto file = std::make_shared<FakeFile>(url, found->second);
        MediaReaderChoice choice{file, {file}, {}};
        for (const auto& part : parts[url.filename().string()])
            choice.sourceFiles.push_back(
                std::make_shared<FakeFile>(url.parent_path() / part, nullptr));
        return choice;
    }

    std::filesystem::path add(const std::string& name, Fill fill) {
        contents[name] = std::move(fill);
        return std::filesystem::path("/shoot") / name;
    }

    // Adds the files and waits until their batch is over.
    std::vector<std::shared_ptr<MediaFile>> addAndWait(
        const std::vector<std::filesystem::path>& urls) {
        auto added = pool->addMediaWithURLs(urls);
        EXPECT_TRUE(added);
        waitForPool();
        return added.value_or(std::vector<std::shared_ptr<MediaFile>>{});
    }

    void waitForPool() {
        EXPECT_TRUE(MainQueue::runUntil([this] { return !pool->hasPendingAnalysis(); }, 30s));
        MainQueue::drain();
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& notification : posted)
            result.push_back(notification.name);
        return result;
    }
    size_t countOf(const std::string& name) const {
        const auto all = names();
        return size_t(std::count(all.begin(), all.end(), name));
    }

    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    std::map<std::string, Fill> contents;
    std::map<std::string, std::vector<std::string>> parts;
    std::vector<Notification> posted;
    NotificationCenter::ObserverToken observer = 0;
    std::shared_ptr<MediaPool> pool = MediaPool::create(
        [this](const std::filesystem::path& url, MediaPool&) { return choose(url); }, defaults,
        center);
};

TEST_F(MediaPoolTest, RefusesFilesItHoldsAndTellsWhyAFileIsNotTaken) {
    const auto take = add("take.wav", audio(seconds(5)));
    parts["take.wav"] = {"take_part2.wav"};
    std::string reason;
    const auto first = pool->addMediaWithURL(take, &reason);
    ASSERT_TRUE(first);
    EXPECT_EQ(pool->count(), 0u);  // made, not yet queued
    EXPECT_EQ(pool->addMediaWithURL(take, &reason), nullptr);
    EXPECT_EQ(reason, "already in the pool as take.wav");
    EXPECT_EQ(pool->addMediaWithURL("/shoot/./take_part2.wav", &reason), nullptr);
    EXPECT_EQ(pool->addMediaWithURL("/shoot/notes.txt", &reason), nullptr);
    EXPECT_EQ(reason, "not a test file");
    EXPECT_EQ(pool->fileWithURL(take), first);

    std::vector<MediaPool::SkippedURL> skipped;
    const auto added = pool->addMediaWithURLs(
        {take, add("other.wav", audio(seconds(5))), "/shoot/notes.txt"}, &skipped);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->size(), 1u);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_TRUE(skipped[0].duplicate);
    EXPECT_FALSE(skipped[1].duplicate);
    EXPECT_FALSE(pool->addMediaWithURLs({}));
    waitForPool();

    // Removing an entry frees the URLs of its parts too.
    pool->analyzeItemsInBackground({first});
    waitForPool();
    ASSERT_EQ(pool->count(), 2u);
    posted.clear();
    pool->removeMediaAtIndexes({1, 7});
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].name, "RemoveIndexes");
    EXPECT_EQ(std::any_cast<IndexSet>(posted[0].object), IndexSet{1});
    EXPECT_EQ(pool->fileWithURL("/shoot/take_part2.wav"), nullptr);
    EXPECT_TRUE(pool->addMediaWithURL("/shoot/take.wav"));
    EXPECT_EQ(pool->objectAtIndex(1), nullptr);
    pool->removeAllMedia();
    EXPECT_EQ(std::any_cast<IndexSet>(posted.back().object), IndexSet{0});
    EXPECT_TRUE(pool->sourceFiles().empty());
}

TEST_F(MediaPoolTest, BatchOfOneReloadsTheListInsteadOfStartingProgress) {
    const auto added = addAndWait({add("a.wav", audio(seconds(5)))});
    EXPECT_EQ(names(), (std::vector<std::string>{"ReloadTableView", "AnalyzingFinished"}));
    EXPECT_FALSE(posted[0].object.has_value());
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(added[0]->hasBeenAnalyzed());
    EXPECT_FALSE(pool->analyzing());
    EXPECT_EQ(pool->newFilesCount(), 0);
}

TEST_F(MediaPoolTest, BatchOfThreeReportsStartProgressAndEnd) {
    addAndWait({add("a.wav", audio(seconds(5))), add("b.wav", audio(seconds(6))),
                add("c.wav", audio(seconds(7)))});
    const auto all = names();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all.front(), "AnalyzingStarted");
    EXPECT_EQ(all.back(), "AnalyzingFinished");
    EXPECT_EQ(countOf("AnalyzingFinished"), 1u);
    EXPECT_EQ(countOf("ReloadTableView"), 0u);
    EXPECT_GE(countOf("AnalyzingUpdated"), 1u);
    double last = 0.0;
    for (const auto& notification : posted) {
        if (notification.name != "AnalyzingUpdated") continue;
        const double percent = std::any_cast<double>(notification.object);
        EXPECT_GE(percent, last);
        EXPECT_LE(percent, 100.0);
        last = percent;
    }
    for (const auto& file : pool->files())
        EXPECT_TRUE(file->hasBeenAnalyzed()) << file->name();
}

TEST_F(MediaPoolTest, AnalysisOptionsComeFromTheSettingsAndTheRunsOverrides) {
    defaults.setBool(false, DefaultsKey::readAudioTcOnImport);
    defaults.setBool(true, DefaultsKey::automaticallyApplyAVShift);
    auto first = addAndWait({add("a.wav", audio(seconds(5)))});
    const auto& options = std::static_pointer_cast<FakeFile>(first[0])->options_;
    EXPECT_EQ(options.at("CreateThumbnail"), MetadataValue(true));
    EXPECT_EQ(options.at("ReadAudioTc"), MetadataValue(false));
    EXPECT_EQ(options.at("ApplyAVShift"), MetadataValue(true));

    defaults.setBool(true, DefaultsKey::readAudioTcOnImport);
    pool->setAnalysisOptionOverrides({{"CreateThumbnail", false}});
    auto second = addAndWait({add("b.wav", audio(seconds(5)))});
    const auto& changed = std::static_pointer_cast<FakeFile>(second[0])->options_;
    EXPECT_EQ(changed.at("CreateThumbnail"), MetadataValue(false));
    EXPECT_EQ(changed.at("ReadAudioTc"), MetadataValue(true));
}

TEST_F(MediaPoolTest, StoppingPostsFinishedTwiceAndDropsUnfinishedFiles) {
    Gate gate;
    const auto a = add("a.wav", audio(seconds(5)));
    const auto b = add("b.wav", all({audio(seconds(5)), [&](MediaFile&) { gate.pass(); }}));
    const auto c = add("c.wav", audio(seconds(5)));
    ASSERT_TRUE(pool->addMediaWithURLs({a, b, c}));
    ASSERT_TRUE(MainQueue::runUntil([&] { return gate.hasEntered(); }, 30s));
    EXPECT_TRUE(pool->analyzing());
    pool->stopAnalyzing();
    EXPECT_TRUE(pool->cancelledAnalyzing());
    EXPECT_EQ(countOf("AnalyzingFinished"), 1u);  // at once
    gate.release();
    waitForPool();
    EXPECT_EQ(countOf("AnalyzingFinished"), 2u);
    EXPECT_FALSE(pool->cancelledAnalyzing());
    ASSERT_EQ(pool->count(), 1u);
    EXPECT_EQ(pool->objectAtIndex(0)->name(), "a.wav");
    EXPECT_EQ(pool->sourceFiles().size(), 1u);
    EXPECT_EQ(pool->fileWithURL(b), nullptr);

    // The next batch runs normally.
    posted.clear();
    addAndWait({b});
    EXPECT_EQ(names(), (std::vector<std::string>{"ReloadTableView", "AnalyzingFinished"}));
    EXPECT_EQ(pool->count(), 2u);
}

TEST_F(MediaPoolTest, StoppingAnIdlePoolLeavesTheNextBatchAlone) {
    pool->stopAnalyzing();
    EXPECT_FALSE(pool->cancelledAnalyzing());
    posted.clear();
    addAndWait({add("a.wav", audio(seconds(5))), add("b.wav", audio(seconds(5)))});
    EXPECT_EQ(names().front(), "AnalyzingStarted");
    EXPECT_EQ(pool->count(), 2u);
}

MetadataDictionary recorder(const char* serial = "R-1") {
    return {{"Maker", "Sound Devices"}, {"Model", "888"}, {"SerialNumber", serial}};
}

TEST_F(MediaPoolTest, FurtherMonoFilesOfOneTakeBecomeItsTracksTwoAndThree) {
    std::vector<std::filesystem::path> urls;
    for (const char* name : {"T01_1.wav", "T01_2.wav", "T01_3.wav"})
        urls.push_back(
            add(name, all({audio(seconds(8)), withTimecode(timecode("10:00:00:00", TCTypeFile)),
                           withMetadata(recorder())})));
    // Another recorder's file of the same take and another take stay apart.
    urls.push_back(
        add("other.wav", all({audio(seconds(8)), withTimecode(timecode("10:00:00:00", TCTypeFile)),
                              withMetadata(recorder("R-2"))})));
    urls.push_back(
        add("T02_1.wav", all({audio(seconds(8)), withTimecode(timecode("11:00:00:00", TCTypeFile)),
                              withMetadata(recorder())})));
    addAndWait(urls);
    std::map<std::string, std::pair<int32_t, bool>> result;
    for (const auto& file : pool->files())
        result[file->name()] = {file->firstAudioTrack()->trackNumber(), file->linkedAudioFile()};
    EXPECT_EQ(result["T01_1.wav"], std::make_pair(1, false));
    EXPECT_EQ(result["T01_2.wav"], std::make_pair(2, true));
    EXPECT_EQ(result["T01_3.wav"], std::make_pair(3, true));
    EXPECT_EQ(result["other.wav"], std::make_pair(1, false));
    EXPECT_EQ(result["T02_1.wav"], std::make_pair(1, false));

    // Linking again changes nothing.
    pool->updateLinkedAudioFiles();
    EXPECT_EQ(pool->objectAtIndex(2)->firstAudioTrack()->trackNumber(), 3);
}

// A pass over thousands of files must not hold up the user interface: the linking of a batch is
// done while the main queue is not run, and only "AnalyzingFinished" waits for it.
TEST_F(MediaPoolTest, TheEndOfABatchLinksWithoutTheMainThread) {
    std::vector<std::filesystem::path> urls;
    for (const char* name : {"T01_1.wav", "T01_2.wav"})
        urls.push_back(add(name, all({audio(seconds(8)), withMetadata(recorder())})));
    ASSERT_TRUE(pool->addMediaWithURLs(urls));
    const auto second = pool->fileWithURL(urls[1]);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!second->linkedAudioFile() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(second->linkedAudioFile());
    EXPECT_TRUE(pool->hasPendingAnalysis());
    EXPECT_EQ(countOf("AnalyzingFinished"), 0u);
    waitForPool();
    EXPECT_EQ(countOf("AnalyzingFinished"), 1u);
    EXPECT_FALSE(pool->hasPendingAnalysis());
}

// The file that never finished sorts first in the take; it is dropped, so it numbers nothing.
TEST_F(MediaPoolTest, AStoppedBatchLinksWithoutItsUnfinishedFiles) {
    Gate gate;
    const auto kept = add("b.wav", audio(seconds(5)));
    const auto stopped = add("a.wav", all({audio(seconds(5)), [&](MediaFile&) { gate.pass(); }}));
    ASSERT_TRUE(pool->addMediaWithURLs({kept, stopped}));
    ASSERT_TRUE(MainQueue::runUntil([&] { return gate.hasEntered(); }, 30s));
    pool->stopAnalyzing();
    gate.release();
    waitForPool();
    ASSERT_EQ(pool->count(), 1u);
    const auto file = pool->objectAtIndex(0);
    EXPECT_EQ(file->firstAudioTrack()->trackNumber(), 1);
    EXPECT_FALSE(file->linkedAudioFile());
}

TEST_F(MediaPoolTest, ASoundFileWithoutTimecodeSharesItsTwinsAudioTimecode) {
    auto decoded = timecode("14:00:00:00", TCTypeAudio);
    decoded->setRawUserBits(0x12345678);
    decoded->setSource("channel 2");
    const auto twin = add("lav.wav", all({audio(seconds(12)), withTimecode(decoded)}));
    const auto silent = add("boom.wav", audio(seconds(12)));
    const auto shorter = add("short.wav", audio(seconds(11)));
    addAndWait({twin, silent, shorter});
    const auto boom = pool->fileWithURL(silent);
    EXPECT_EQ(boom->audioTimecode(), decoded);  // the same value, shared
    EXPECT_EQ(decoded->source(), "linked");
    EXPECT_EQ(boom->reel(), "12345678");
    EXPECT_NE(boom->readableAudioTimecodeInfo().find("14:00:00:00"), std::string::npos);
    EXPECT_EQ(pool->fileWithURL(shorter)->audioTimecode(), nullptr);
}

TEST_F(MediaPoolTest, DeviceGroupsFollowSerialNumbersAnglesAndImportOrder) {
    const MetadataDictionary cameraA = {{"Maker", "Sony"}, {"Model", "FX6"}, {"SerialNumber", "1"}};
    const MetadataDictionary cameraB = {{"Maker", "Sony"}, {"Model", "FX6"}, {"SerialNumber", "2"}};
    MetadataDictionary cameraAOtherAngle = cameraA;
    cameraAOtherAngle["Angle"] = "wide";
    addAndWait({add("sound1.wav", all({audio(seconds(5)), withMetadata(recorder())})),
                add("A001.mov", all({video(1920, 1080), withMetadata(cameraA)})),
                add("B001.mov", all({video(1920, 1080), withMetadata(cameraB)})),
                add("A002.mov", all({video(1920, 1080), withMetadata(cameraA)})),
                add("A003.mov", all({video(1920, 1080), withMetadata(cameraAOtherAngle)})),
                add("sound2.wav", all({audio(seconds(6)), withMetadata(recorder())})),
                add("empty.bin", nullptr)});
    posted.clear();
    pool->enumerateSyncGroups();
    std::map<std::string, uint32_t> groups;
    for (const auto& file : pool->files())
        groups[file->name()] = file->syncGroup();
    EXPECT_EQ(groups["sound1.wav"], 1u);
    EXPECT_EQ(groups["A001.mov"], 2u);
    EXPECT_EQ(groups["B001.mov"], 3u);
    EXPECT_EQ(groups["A002.mov"], 2u);
    EXPECT_EQ(groups["A003.mov"], 4u);
    EXPECT_EQ(groups["sound2.wav"], 1u);
    EXPECT_EQ(groups["empty.bin"], 0u);  // neither picture nor sound: no group
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].name, "ReloadTableView");
    EXPECT_EQ(std::any_cast<std::shared_ptr<MediaPool>>(posted[0].object), pool);
    EXPECT_EQ(pool->highestSyncGroup(), 4u);
    EXPECT_FALSE(pool->syncGroupsHaveBeenSet());

    // A user's group survives while every file has one; the setting can switch numbering off.
    pool->objectAtIndex(6)->setSyncGroup(9);
    pool->objectAtIndex(1)->setSyncGroup(7);
    EXPECT_TRUE(pool->syncGroupsHaveBeenSet());
    pool->enumerateSyncGroups();
    EXPECT_EQ(pool->objectAtIndex(1)->syncGroup(), 7u);
    pool->objectAtIndex(6)->setSyncGroup(0);
    defaults.setBool(false, DefaultsKey::automaticallySetSyncGroups);
    pool->enumerateSyncGroups();
    EXPECT_EQ(pool->objectAtIndex(1)->syncGroup(), 7u);
}

TEST_F(MediaPoolTest, MostCommonFrameRateCountsRateAndDropFrame) {
    EXPECT_EQ(pool->mostCommonFrameRate(), nullptr);
    addAndWait(
        {add("a.mov", all({video(1920, 1080), withTimecode(timecode("01:00:00:00", TCTypeFile))})),
         add("b.mov", all({video(1920, 1080, 29.97),
                           withTimecode(timecode("01:00:00;00", TCTypeFile, 29.97, true))})),
         add("c.mov",
             all({video(1920, 1080), withTimecode(timecode("02:00:00:00", TCTypeFile))}))});
    auto rate = pool->mostCommonFrameRate();
    ASSERT_TRUE(rate);
    EXPECT_DOUBLE_EQ(rate->frameRate(), 25.0);
    EXPECT_FALSE(rate->dropFrame());
}

TEST_F(MediaPoolTest, MostCommonFrameRateOfFilesWithoutTimecodeIsNonDrop) {
    addAndWait({add("a.mov", video(1920, 1080, 29.97)), add("b.mov", video(1920, 1080, 29.97))});
    auto rate = pool->mostCommonFrameRate();
    ASSERT_TRUE(rate);
    EXPECT_DOUBLE_EQ(rate->frameRate(), 30000.0 / 1001.0);
    EXPECT_FALSE(rate->dropFrame());
}

TEST_F(MediaPoolTest, LargestVideoSizeTakesWidthAndHeightApart) {
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().width, 1920.0);
    addAndWait({add("a.wav", audio(seconds(3)))});
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().height, 1080.0);
    addAndWait({add("portrait.mp4", video(1080, 1920)), add("small.mov", video(640, 360))});
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().width, 1080.0);
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().height, 1920.0);
    addAndWait({add("wide.mov", video(1920, 1080))});
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().width, 1920.0);
    EXPECT_DOUBLE_EQ(pool->largestVideoSize().height, 1920.0);
}

Fill createdAt(int64_t secondsSince1970) {
    return withMetadata(
        {{"FileCreationDate", MetadataDate(std::chrono::seconds(secondsSince1970))}});
}

Fill sized(uint64_t bytes) {
    return [bytes](MediaFile& file) { file.setFilesize(bytes); };
}

TEST_F(MediaPoolTest, SortedFilesPutPictureFirstThenGroupDateAndName) {
    addAndWait({add("sound_b.wav", all({audio(seconds(3)), createdAt(100), sized(10)})),
                add("sound_a.wav", all({audio(seconds(3)), createdAt(100), sized(20)})),
                add("late.mov", all({video(1920, 1080), createdAt(300), sized(1000)})),
                add("early.mov",
                    all({video(1920, 1080), audio(seconds(10)), createdAt(200), sized(3000)}))});
    pool->objectAtIndex(0)->setSyncGroup(1);
    pool->objectAtIndex(1)->setSyncGroup(1);
    pool->objectAtIndex(2)->setSyncGroup(2);
    pool->objectAtIndex(3)->setSyncGroup(2);
    std::vector<std::string> order;
    for (const auto& file : pool->sortedFiles())
        order.push_back(file->name());
    EXPECT_EQ(order,
              (std::vector<std::string>{"early.mov", "late.mov", "sound_a.wav", "sound_b.wav"}));

    EXPECT_EQ(pool->audioFileCount(), 2);
    EXPECT_EQ(pool->videoFileCount(), 2);
    EXPECT_EQ(pool->totalSizeOfFilesWithType(MediaTypeAudio), 3030u);  // the movie has sound
    EXPECT_EQ(pool->totalSizeOfFilesWithType(MediaTypeVideo), 4000u);
    EXPECT_EQ(pool->totalSizeOfFilesWithType(MediaTypeMovie), 4030u);
    EXPECT_EQ(pool->earliestDate(), MetadataDate(std::chrono::seconds(100)));
    addAndWait({add("undated.wav", audio(seconds(3)))});
    EXPECT_EQ(pool->earliestDate(), MetadataDate());  // counts as 1970
    pool->removeAllMedia();
    EXPECT_FALSE(pool->earliestDate());
}

TEST_F(MediaPoolTest, AReaderThatThrowsStillFinishesItsFile) {
    addAndWait({add("broken.wav", [](MediaFile&) { throw std::runtime_error("bad chunk"); })});
    ASSERT_EQ(pool->count(), 1u);
    EXPECT_TRUE(pool->objectAtIndex(0)->hasBeenAnalyzed());
    EXPECT_EQ(pool->objectAtIndex(0)->readableAudioInfo(), "no audio");
}

TEST_F(MediaPoolTest, ADroppedPoolCancelsItsAnalysis) {
    Gate gate;
    ASSERT_TRUE(pool->addMediaWithURLs(
        {add("a.wav", [&](MediaFile&) { gate.pass(); }), add("b.wav", audio(seconds(1)))}));
    ASSERT_TRUE(MainQueue::runUntil([&] { return gate.hasEntered(); }, 30s));
    std::weak_ptr<MediaPool> weak = pool;
    std::thread releaser([&] {
        std::this_thread::sleep_for(50ms);
        gate.release();
    });
    pool.reset();
    releaser.join();
    EXPECT_TRUE(weak.expired());
    MainQueue::drain();  // the batch's closing work finds no pool
}

}  // namespace
}  // namespace vorlane
