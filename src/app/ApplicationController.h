// The controller of the commands that both front ends drive. It owns the application's one
// media pool, created with the reader choice; it adds what the user
// names or drops (folders walked recursively, hidden entries left out, every file that cannot be
// taken reported with the reason), follows the pool's analysis with the progress display, and
// reads audio timecode or sync information of a selection.
//
// No toolkit code: the front end supplies the progress display and runs the main queue (the
// command line through waitForAnalysis / waitFor, the GUI through its event loop). The
// controller observes the pool's notifications, which arrive on the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/NotificationCenter.h"
#include "platform/OperationQueue.h"

namespace vorlane {

class UserDefaults;

// Prepares one round of sync information over the pool (the sync engine sorts the pool once
// per round) and answers the computation of one file's sync information (its `infoText` and
// `highLightColor`) by the matching rule, which the controller runs for every file concurrently.
using SyncInfoUpdater = std::function<std::function<void(MediaFile& file)>(
    MediaPool& pool, bool involveDate, bool multicam)>;

// What the layers above the media model contribute, wired in once at start-up.
struct ApplicationHooks {
    MediaReaderFactory readerFactory;  // the readers' fixed order (formats/)
    SyncInfoUpdater syncInfoUpdater;   // the sync engine; empty: no sync information

    // The hooks of this build (ApplicationHooks.cpp is the one place that wires them).
    static ApplicationHooks standard();
};

// The progress panel as the controller drives it. It may be called from any thread; the
// implementation marshals to its own display.
class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    virtual void startWithTitle(const std::string& title) = 0;
    // 0 shows an indeterminate bar.
    virtual void setPercent(double percent) = 0;
    virtual void setStatus(const std::string& status) = 0;
    virtual void stop() = 0;
    // The user asked to cancel.
    virtual bool aborted() const = 0;
};

class ApplicationController {
  public:
    struct SkippedPath {
        std::filesystem::path path;
        std::string reason;
        // The path was named by the user (not found while walking a folder) and could not be
        // taken for another reason than being in the pool already: an input that failed.
        bool failed = false;
    };
    struct AddResult {
        std::vector<std::shared_ptr<MediaFile>> added;
        std::vector<SkippedPath> skipped;
    };

    explicit ApplicationController(ApplicationHooks hooks = ApplicationHooks::standard());
    ApplicationController(ApplicationHooks hooks, UserDefaults& defaults,
                          NotificationCenter& center);
    ~ApplicationController();
    ApplicationController(const ApplicationController&) = delete;
    ApplicationController& operator=(const ApplicationController&) = delete;

    MediaPool& mediaPool() const { return *mediaPool_; }
    std::shared_ptr<MediaPool> sharedMediaPool() const { return mediaPool_; }

    // The display that follows analysis and timecode reading; none shows nothing. It must
    // outlive the controller's use of it.
    void setProgressDisplay(ProgressDisplay* display) { progress_ = display; }

    // Files and folders as the pool takes them: folders walked recursively in name order,
    // hidden files and folders left out (unless named directly); paths that do not exist, are
    // no regular file or cannot be read (permission denied) are reported in `skipped`.
    static std::vector<std::filesystem::path> expandPaths(
        const std::vector<std::filesystem::path>& paths, std::vector<SkippedPath>& skipped);
    // Adds the paths to the pool (like a drop) and starts their analysis.
    AddResult addPaths(const std::vector<std::filesystem::path>& paths);

    // Runs the main queue until the pool's analysis is done, its closing work included. False
    // when the timeout passed first.
    bool waitForAnalysis(std::chrono::milliseconds timeout = std::chrono::hours(24));
    // Runs the main queue until the condition holds; false when the timeout passed first.
    static bool waitFor(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::hours(24));

    // Reads audio timecode of the files with the request's parameters in the background, with
    // progress ("read audio timecode"), stopping before the next file when the display was
    // aborted; then links the sound files again and refreshes shown sync information. The
    // answer finishes when all is done.
    std::shared_ptr<Operation> readAudioTimecodeOfFiles(
        std::vector<std::shared_ptr<MediaFile>> files, AudioTimecodeRequest request);

    // Sync information of every pool file, computed concurrently by the installed sync engine.
    // Blocks until done (the GUI calls it off the main thread); "UpdateMediaFile" is posted for
    // every file. Nothing happens without a sync engine.
    bool canShowSyncInfo() const { return static_cast<bool>(hooks_.syncInfoUpdater); }
    void showSyncInfo();
    void hideSyncInfo();
    bool syncInfo() const { return syncInfo_; }

  private:
    void observePool();
    void analyzingStarted();
    void analyzingUpdated();
    void analyzingFinished();
    void readAudioTimecode(const std::vector<std::shared_ptr<MediaFile>>& files,
                           const AudioTimecodeRequest& request);

    ApplicationHooks hooks_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    std::shared_ptr<MediaPool> mediaPool_;
    std::atomic<ProgressDisplay*> progress_{nullptr};
    std::atomic<bool> syncInfo_{false};
    std::vector<NotificationCenter::ObserverToken> observers_;
    OperationQueue backgroundQueue_{1};  // timecode reading of a selection
};

}  // namespace vorlane
