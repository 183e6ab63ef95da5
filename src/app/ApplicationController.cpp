#include "app/ApplicationController.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <system_error>

#include "media/MediaText.h"
#include "platform/DefaultsKeys.h"
#include "platform/FileAccess.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"

namespace vorlane {

namespace {

bool isHidden(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

// What the user reads about a file or folder that could not be examined or opened.
std::string reasonOf(const std::error_code& error) {
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return "permission denied";
    if (error == std::errc::no_such_file_or_directory) return "no such file or folder";
    std::string text = error.message();
    if (!text.empty()) text.front() = char(std::tolower(static_cast<unsigned char>(text.front())));
    return text;
}

// Takes a regular file that can be opened, else reports it as skipped.
void takeFile(const std::filesystem::path& path, bool named,
              std::vector<std::filesystem::path>& files,
              std::vector<ApplicationController::SkippedPath>& skipped) {
    if (const std::error_code error = FileAccess::readingError(path))
        skipped.push_back({path, reasonOf(error), named});
    else
        files.push_back(path);
}

// The regular files below a folder in name order, hidden files and folders left out; folders
// reached by a link are not entered. A folder or file that cannot be read is reported as
// skipped, failed when it is the named folder itself.
std::vector<std::filesystem::path> walkFolder(
    const std::filesystem::path& folder, std::vector<ApplicationController::SkippedPath>& skipped) {
    namespace fs = std::filesystem;
    std::vector<fs::path> found;
    std::vector<fs::path> pending{folder};
    while (!pending.empty()) {
        const fs::path current = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        fs::directory_iterator entries(current, error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            const fs::directory_entry& entry = *entries;
            if (isHidden(entry.path())) continue;
            std::error_code entryError;
            const fs::file_status status = entry.status(entryError);
            if (entryError) {
                skipped.push_back({entry.path(), reasonOf(entryError), false});
            } else if (fs::is_directory(status)) {
                if (!entry.is_symlink(entryError)) pending.push_back(entry.path());
            } else if (fs::is_regular_file(status)) {
                takeFile(entry.path(), false, found, skipped);
            } else {
                skipped.push_back({entry.path(), "not a regular file", false});
            }
        }
        if (error) skipped.push_back({current, reasonOf(error), current == folder});
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

ApplicationController::ApplicationController(ApplicationHooks hooks)
    : ApplicationController(std::move(hooks), UserDefaults::standardUserDefaults(),
                            NotificationCenter::defaultCenter()) {}

ApplicationController::ApplicationController(ApplicationHooks hooks, UserDefaults& defaults,
                                             NotificationCenter& center)
    : hooks_(std::move(hooks)),
      defaults_(defaults),
      center_(center),
      mediaPool_(MediaPool::create(hooks_.readerFactory, defaults, center)) {
    observePool();
}

ApplicationController::~ApplicationController() {
    for (const auto token : observers_)
        center_.removeObserver(token);
    backgroundQueue_.waitUntilAllOperationsAreFinished();
}

void ApplicationController::observePool() {
    observers_.push_back(center_.addObserverForName(
        kAnalyzingStartedNotification, [this](const Notification&) { analyzingStarted(); }));
    observers_.push_back(center_.addObserverForName(
        kAnalyzingUpdatedNotification, [this](const Notification&) { analyzingUpdated(); }));
    observers_.push_back(center_.addObserverForName(
        kAnalyzingFinishedNotification, [this](const Notification&) { analyzingFinished(); }));
}

// Adding files

std::vector<std::filesystem::path> ApplicationController::expandPaths(
    const std::vector<std::filesystem::path>& paths, std::vector<SkippedPath>& skipped) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const fs::path& given : paths) {
        std::error_code error;
        const fs::path path = fs::absolute(given, error).lexically_normal();
        const fs::file_status status = fs::status(path, error);
        if (error || !fs::exists(status)) {
            const std::error_code why =
                error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
            skipped.push_back({path, reasonOf(why), true});
        } else if (fs::is_directory(status)) {
            for (fs::path& file : walkFolder(path, skipped))
                files.push_back(std::move(file));
        } else if (fs::is_regular_file(status)) {
            takeFile(path, true, files, skipped);
        } else {
            skipped.push_back({path, "not a regular file", true});
        }
    }
    return files;
}

ApplicationController::AddResult ApplicationController::addPaths(
    const std::vector<std::filesystem::path>& paths) {
    AddResult result;
    const std::vector<std::filesystem::path> files = expandPaths(paths, result.skipped);
    // Files the user named themselves, as opposed to files found in a folder.
    std::set<std::filesystem::path> named;
    for (const auto& given : paths) {
        std::error_code error;
        named.insert(std::filesystem::absolute(given, error).lexically_normal());
    }
    std::vector<MediaPool::SkippedURL> skipped;
    if (auto added = mediaPool_->addMediaWithURLs(files, &skipped)) result.added = *added;
    for (auto& entry : skipped) {
        if (entry.importedDocument) continue;  // its files joined the pool
        const bool failed = named.count(entry.url) != 0 && !entry.duplicate;
        result.skipped.push_back({std::move(entry.url), std::move(entry.reason), failed});
    }
    return result;
}

// Waiting on the main queue

bool ApplicationController::waitFor(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout) {
    const bool finished = MainQueue::runUntil(done, timeout);
    MainQueue::drain();  // deliveries posted just before the end
    return finished;
}

bool ApplicationController::waitForAnalysis(std::chrono::milliseconds timeout) {
    return waitFor([this] { return !mediaPool_->hasPendingAnalysis(); }, timeout);
}

// Analysis progress

void ApplicationController::analyzingStarted() {
    if (ProgressDisplay* progress = progress_) progress->startWithTitle("analyzing media");
}

void ApplicationController::analyzingUpdated() {
    ProgressDisplay* progress = progress_;
    if (!progress) return;
    if (progress->aborted()) mediaPool_->stopAnalyzing();
    const int64_t analyzed = mediaPool_->filesAnalyzed();
    const int64_t total = mediaPool_->newFilesCount();
    if (total <= 0) return;  // the batch ended meanwhile
    progress->setPercent(double(analyzed) / double(total) * 100.0);
    progress->setStatus(
        formatMediaText("%lld of %lld files analyzed", (long long)analyzed, (long long)total));
}

void ApplicationController::analyzingFinished() {
    if (ProgressDisplay* progress = progress_) progress->stop();
    if (syncInfo_) backgroundQueue_.addOperationWithBlock([this] { showSyncInfo(); });
}

// Audio timecode of a selection

std::shared_ptr<Operation> ApplicationController::readAudioTimecodeOfFiles(
    std::vector<std::shared_ptr<MediaFile>> files, AudioTimecodeRequest request) {
    return backgroundQueue_.addOperationWithBlock(
        [this, files = std::move(files), request] { readAudioTimecode(files, request); });
}

void ApplicationController::readAudioTimecode(const std::vector<std::shared_ptr<MediaFile>>& files,
                                              const AudioTimecodeRequest& request) {
    ProgressDisplay* progress = progress_;
    if (progress) progress->startWithTitle("read audio timecode");
    const size_t count = files.size();
    for (size_t index = 0; index < count; ++index) {
        if (progress && progress->aborted()) break;
        if (progress) {
            progress->setPercent(double(index) / double(count) * 100.0);
            progress->setStatus(formatMediaText("reading file %zu of %zu...", index, count));
        }
        center_.postNotificationName(kReloadTableViewNotification);
        files[index]->readAudioTimecodeAtFrameRate(request);
    }
    mediaPool_->updateLinkedAudioFiles();
    if (syncInfo_) showSyncInfo();
    if (progress) progress->stop();
    center_.postNotificationName(kReloadTableViewNotification);
}

// Sync information

void ApplicationController::showSyncInfo() {
    if (!hooks_.syncInfoUpdater) return;
    const bool involveDate = defaults_.boolForKey(DefaultsKey::involveFileDate);
    const bool multicam = defaults_.boolForKey(DefaultsKey::multicam);
    const auto update = hooks_.syncInfoUpdater(*mediaPool_, involveDate, multicam);
    OperationQueue queue;
    for (const auto& file : mediaPool_->files()) {
        queue.addOperationWithBlock([this, file, &update] {
            update(*file);
            center_.postNotificationName(kUpdateMediaFileNotification, file);
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    syncInfo_ = true;
}

void ApplicationController::hideSyncInfo() {
    for (const auto& file : mediaPool_->files()) {
        file->setInfoText("");
        file->setHighLightColor(0);
    }
    center_.postNotificationName(kReloadTableViewNotification);
    syncInfo_ = false;
}

}  // namespace vorlane
