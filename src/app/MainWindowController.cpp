#include "app/MainWindowController.h"

#include <chrono>
#include <set>
#include <system_error>

#include "app/StandardDefaults.h"
#include "app/TempDirectory.h"
#include "media/MediaTypes.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "platform/Version.h"
#include "sync/MediaComposition.h"
#include "sync/MediaLayoutComposition.h"
#include "sync/MediaSyncComposition.h"
#include "sync/SyncedClips.h"

namespace vorlane {

namespace {

void cleanTemporaryFolder() {
    if (const auto folder = TempDirectory::create()) folder->cleanup();
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

MainWindowController::MainWindowController(ApplicationController& application, MainWindowView& view,
                                           UserDefaults& defaults,
                                           PreviewPlayerController::EngineFactory playerEngines)
    : application_(application),
      view_(view),
      defaults_(defaults),
      player_(std::move(playerEngines)) {}

MainWindowController::~MainWindowController() {
    stopAdding_ = true;
    addQueue_.waitUntilAllOperationsAreFinished();
    syncInfoQueue_.waitUntilAllOperationsAreFinished();
}

// Start-up and shut-down

void MainWindowController::applicationWillFinishLaunching() {
    cleanTemporaryFolder();
}

void MainWindowController::applicationWillTerminate() {
    cleanTemporaryFolder();
}

std::string MainWindowController::windowTitle() {
    return std::string(kApplicationName) + " Studio " + kApplicationVersion;
}

void MainWindowController::awakeFromNib() {
    StandardDefaults::createIfNeeded(defaults_);
    view_.setShowVideoSyncGroups(multicam());
    setPlayingComposition(MediaComposition::emptyDummy(), false, true);
}

std::vector<std::shared_ptr<MediaFile>> MainWindowController::selectedFiles() const {
    return mediaPool().objectsAtIndexes(view_.selectedRows());
}

// Check boxes

bool MainWindowController::keepOriginalAudio() const {
    return defaults_.integerForKey(DefaultsKey::keepOriginalAudio) != 0;
}

bool MainWindowController::multicam() const {
    return defaults_.integerForKey(DefaultsKey::multicam) != 0;
}

void MainWindowController::keepCameraAudio(bool on) {
    defaults_.setInteger(on ? 1 : 0, DefaultsKey::keepOriginalAudio);
    defaults_.synchronize();
    reloadPlayingComposition();
}

void MainWindowController::multicamMode(bool on) {
    defaults_.setInteger(on ? 1 : 0, DefaultsKey::multicam);
    defaults_.synchronize();
    view_.setShowVideoSyncGroups(on);
    reloadPlayingComposition();
    refreshSyncInfoOrList();
}

// Adding and removing

ApplicationController::AddResult MainWindowController::add(
    const std::vector<std::filesystem::path>& paths) {
    return application_.addPaths(paths);
}

std::shared_ptr<Operation> MainWindowController::addInBackground(
    std::vector<std::filesystem::path> paths, AddDone done) {
    ++addsRunning_;
    std::weak_ptr<int> alive = lifetime_;
    return addQueue_.addOperationWithBlock(
        [this, alive, paths = std::move(paths), done = std::move(done)] {
            ApplicationController::AddResult result = addChunked(paths);
            MainQueue::async([this, alive, result = std::move(result), done] {
                if (!alive.lock()) return;
                --addsRunning_;
                if (done) done(result);
            });
        });
}

ApplicationController::AddResult MainWindowController::addChunked(
    const std::vector<std::filesystem::path>& paths) {
    using Clock = std::chrono::steady_clock;
    constexpr size_t kChunkFiles = 200;
    constexpr auto kChunkTime = std::chrono::milliseconds(150);

    ApplicationController::AddResult result;
    const std::vector<std::filesystem::path> files =
        ApplicationController::expandPaths(paths, result.skipped);
    std::set<std::filesystem::path> named;
    for (const auto& given : paths) {
        std::error_code error;
        named.insert(std::filesystem::absolute(given, error).lexically_normal());
    }
    MediaPool& pool = mediaPool();
    std::weak_ptr<int> alive = lifetime_;
    std::vector<std::shared_ptr<MediaFile>> chunk;
    Clock::time_point chunkStart = Clock::now();
    const auto handOver = [&] {
        if (chunk.empty()) return;
        MainQueue::async([this, alive, chunk] {
            if (!alive.lock()) return;
            mediaPool().analyzeItemsInBackground(chunk);
            view_.reloadFileList();
        });
        chunk.clear();
        chunkStart = Clock::now();
    };
    for (const auto& url : files) {
        if (stopAdding_) break;
        std::string reason;
        if (auto file = pool.addMediaWithURL(url, &reason)) {
            result.added.push_back(file);
            chunk.push_back(std::move(file));
        } else {
            const bool duplicate = pool.fileWithURL(url) != nullptr;
            result.skipped.push_back({url, reason, named.count(url) != 0 && !duplicate});
        }
        if (chunk.size() >= kChunkFiles || Clock::now() - chunkStart >= kChunkTime) handOver();
    }
    handOver();
    return result;
}

void MainWindowController::remove() {
    const IndexSet rows = view_.selectedRows();
    if (rows.empty()) return;
    if (rows.size() >= mediaPool().count())
        setPlayingComposition(MediaComposition::emptyDummy(), false, true);
    mediaPool().removeMediaAtIndexes(rows);
    reloadPlayingComposition();
}

// The player's composition

void MainWindowController::setPlayingComposition(std::shared_ptr<MediaComposition> composition,
                                                 bool startPlaying, bool zoomNormal) {
    playingComp_ = std::move(composition);
    player_.setupPlayerWithComposition(playingComp_, startPlaying);
    view_.setupPlayerWithComposition(playingComp_, startPlaying, zoomNormal);
}

void MainWindowController::doubleClickSelect(std::optional<size_t> clickedRow, bool withSender) {
    MediaPool& pool = mediaPool();
    pool.enumerateSyncGroups();
    std::optional<size_t> row = clickedRow;
    if (!row) {
        const IndexSet selected = view_.selectedRows();
        if (!selected.empty()) row = *selected.begin();
    }
    if (!row) return;
    const auto master = pool.objectAtIndex(*row);
    if (!master) return;
    view_.selectRows({*row});
    setPlayingComposition(syncedClipForPlayback(master, pool), true, withSender);
}

void MainWindowController::showSyncMap() {
    MediaPool& pool = mediaPool();
    pool.enumerateSyncGroups();
    const auto layout = MediaLayoutComposition::layoutCompositionWithName("Layout", pool);
    layout->setCreateNewAudioTracksForDifferentChannelcount(true);
    layout->setForPlayback(true);
    layout->createLayout();
    setPlayingComposition(layout, false, true);
}

void MainWindowController::reloadPlayingComposition() {
    if (!playingComp_) return;
    const CMTime time = player_.currentTime();
    if (std::dynamic_pointer_cast<MediaLayoutComposition>(playingComp_)) {
        showSyncMap();
    } else if (const auto clip = std::dynamic_pointer_cast<MediaSyncComposition>(playingComp_)) {
        const auto row = mediaPool().indexOfObject(clip->masterFile());
        if (row) {
            view_.selectRows({*row});
            doubleClickSelect(std::nullopt, false);
        } else {
            setPlayingComposition(MediaComposition::emptyDummy(), false, true);
        }
    }
    player_.pause();
    player_.seekToTime(time);
}

// Sync information

std::shared_ptr<Operation> MainWindowController::syncInfo() {
    return syncInfoShown() ? hideSyncInfoInBackground() : showSyncInfoInBackground();
}

std::shared_ptr<Operation> MainWindowController::showSyncInfoInBackground() {
    std::weak_ptr<int> alive = lifetime_;
    return syncInfoQueue_.addOperationWithBlock([this, alive] {
        application_.showSyncInfo();
        MainQueue::async([this, alive] {
            if (alive.lock()) view_.setSyncInfoShown(application_.syncInfo());
        });
    });
}

std::shared_ptr<Operation> MainWindowController::hideSyncInfoInBackground() {
    std::weak_ptr<int> alive = lifetime_;
    return syncInfoQueue_.addOperationWithBlock([this, alive] {
        application_.hideSyncInfo();
        MainQueue::async([this, alive] {
            if (alive.lock()) view_.setSyncInfoShown(false);
        });
    });
}

void MainWindowController::refreshSyncInfoOrList() {
    if (syncInfoShown())
        showSyncInfoInBackground();
    else
        view_.reloadFileList();
}

// Sync sources and groups

void MainWindowController::manualSyncSource(bool audioTimecodeFirst) {
    for (const auto& file : selectedFiles())
        file->setAudioTimecodeFirst(audioTimecodeFirst);
    view_.reloadFileList();
    if (syncInfoShown()) showSyncInfoInBackground();
}

void MainWindowController::createNewSyncGroup() {
    const uint32_t group = mediaPool().highestSyncGroup() + 1;
    for (const auto& file : selectedFiles())
        file->setSyncGroup(group);
    view_.reloadFileList();
}

uint32_t MainWindowController::syncGroupOfTitle(const std::string& title) {
    static constexpr char kDigits[] = "0123456789";
    const size_t first = title.find_first_of(kDigits);
    if (first == std::string::npos) return 0;
    const size_t last = title.find_last_of(kDigits);
    // What lies between the outer digits is read as far as it is a number.
    uint64_t group = 0;
    for (size_t index = first; index <= last; ++index) {
        const char digit = title[index];
        if (digit < '0' || digit > '9') break;
        group = group * 10 + uint64_t(digit - '0');
        if (group > UINT32_MAX) return UINT32_MAX;
    }
    return uint32_t(group);
}

void MainWindowController::setSyncGroup(const std::string& title) {
    const uint32_t group = syncGroupOfTitle(title);
    for (const auto& file : selectedFiles())
        file->setSyncGroup(group);
    view_.reloadFileList();
}

// Selection

void MainWindowController::selectFilesMatching(bool (*matches)(const MediaFile& file)) {
    IndexSet rows;
    const auto files = mediaPool().files();
    for (size_t row = 0; row < files.size(); ++row)
        if (matches(*files[row])) rows.insert(row);
    view_.selectRows(rows);
}

void MainWindowController::selectVideoFiles() {
    selectFilesMatching([](const MediaFile& file) { return (file.type() & MediaTypeVideo) != 0; });
}

void MainWindowController::selectAudioFiles() {
    selectFilesMatching([](const MediaFile& file) { return file.type() == MediaTypeAudio; });
}

std::optional<MainWindowController::InfoText> MainWindowController::infoForSelection() const {
    const auto files = selectedFiles();
    if (files.empty()) return std::nullopt;
    const bool beta = endsWith(kApplicationVersion, "beta");
    return InfoText{files.front()->name(), files.front()->metaDescription(beta ? 1 : 0)};
}

std::shared_ptr<Operation> MainWindowController::readAudioTimecodeOfSelection(
    const AudioTimecodeRequest& request) {
    return application_.readAudioTimecodeOfFiles(selectedFiles(), request);
}

}  // namespace vorlane
