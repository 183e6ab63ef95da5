// The set of imported files: it has the reader choice make a file object for every added URL,
// refuses files it already holds, keeps the files in import order (the rows of the file list),
// analyses new files one after another on a background queue, reports the progress through
// notifications, drops files whose analysis was stopped, links the several files of one sound
// recording, numbers the devices' groups and answers what the sync engine and the exporters ask
// of the whole set.
//
// The pool cannot know the readers (they build on it): the application hands it the reader
// choice as one function when it creates the pool.
//
// Threads. The file lists are guarded by the pool's lock; every answer about them is a copy
// taken under it, so any thread may ask. Changes of the lists come from the caller's thread
// (adding, removing: the main thread in the front ends) and from the end of a batch. The end of a
// batch links the sound files on the pool's own link queue, so that a pass over thousands of
// files never holds up the user interface, leaving out the files of a stopped batch that never
// finished; one task on the main queue then drops those files and posts "AnalyzingFinished", so
// the list changes on the main thread together with the notification that reloads its view. The
// analysis queue runs one MediaAnalyzeOperation at a time; its completion actions only count,
// under the lock. Every notification is delivered on the main thread (NotificationCenter).
// The main queue must be run for a batch to end (the command line runs it while it waits).
#pragma once

#include <any>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaTypes.h"
#include "media/SourceFileIndex.h"
#include "platform/MetadataValue.h"
#include "platform/OperationQueue.h"

namespace vorlane {

class MediaPool;
class NotificationCenter;
class TCHelper;
class UserDefaults;

// Notifications posted by the pool.
inline constexpr char kAnalyzingStartedNotification[] = "AnalyzingStarted";
inline constexpr char kAnalyzingUpdatedNotification[] = "AnalyzingUpdated";  // object: percent
inline constexpr char kAnalyzingFinishedNotification[] = "AnalyzingFinished";
inline constexpr char kReloadTableViewNotification[] = "ReloadTableView";  // object: none or pool
inline constexpr char kRemoveIndexesNotification[] = "RemoveIndexes";      // object: IndexSet

// Rows of the file list.
using IndexSet = std::set<size_t>;

// What the reader choice answers for one URL.
struct MediaReaderChoice {
    // The pool entry; none when the URL is not taken (unsupported, unreadable, or imported
    // otherwise, as an FCPXML document adds its own files).
    std::shared_ptr<MediaFile> file;
    // The underlying file objects the entry stands for: the file itself, every part of a split
    // recording, the sound file of an image sequence. A URL matching one of them is a duplicate.
    std::vector<std::shared_ptr<MediaFile>> sourceFiles;
    // Why there is no entry, for the user ("not a media file", "no reader for RED files yet").
    std::string reason;
    // The URL was a document (FCPXML) that was read and added the files it names itself.
    bool importedDocument = false;
};

// The fixed order of the readers' class tests (formats/ReaderChoice), installed when the
// application creates the pool. The pool passes itself for the readers that need it (the MXF
// reader's setting, the FCPXML import that adds files of its own).
using MediaReaderFactory =
    std::function<MediaReaderChoice(const std::filesystem::path& url, MediaPool& pool)>;

// One queued unit of analysis: runs the file's analyzeWithOptions and marks it finished unless
// the operation was cancelled meanwhile.
class MediaAnalyzeOperation : public Operation {
  public:
    MediaAnalyzeOperation(std::shared_ptr<MediaFile> mediaFile,
                          MetadataDictionary analyzingOptions);  // initWithMediaFile:options:

    const std::shared_ptr<MediaFile>& mediaFile() const { return mediaFile_; }
    const MetadataDictionary& analyzingOptions() const { return analyzingOptions_; }

  protected:
    void main() override;

  private:
    std::shared_ptr<MediaFile> mediaFile_;
    MetadataDictionary analyzingOptions_;
};

class MediaPool : public std::enable_shared_from_this<MediaPool> {
  public:
    struct SkippedURL {
        std::filesystem::path url;
        std::string reason;
        bool duplicate = false;         // the pool holds the file already
        bool importedDocument = false;  // a document whose files joined the pool
    };

    // The pool lives in a std::shared_ptr (tasks it leaves on the main queue hold it weakly).
    static std::shared_ptr<MediaPool> create(MediaReaderFactory readerFactory);
    static std::shared_ptr<MediaPool> create(MediaReaderFactory readerFactory,
                                             UserDefaults& defaults, NotificationCenter& center);
    // Cancels the analysis and waits for the running operation.
    ~MediaPool();
    MediaPool(const MediaPool&) = delete;
    MediaPool& operator=(const MediaPool&) = delete;

    UserDefaults& userDefaults() const { return defaults_; }

    // The files in import order (copies of the list).
    std::vector<std::shared_ptr<MediaFile>> files() const;
    std::vector<std::shared_ptr<MediaFile>> sourceFiles() const;
    size_t count() const;
    // None for an index at or beyond the count.
    std::shared_ptr<MediaFile> objectAtIndex(size_t index) const;
    std::vector<std::shared_ptr<MediaFile>> objectsAtIndexes(const IndexSet& indexes) const;
    std::optional<size_t> indexOfObject(const std::shared_ptr<MediaFile>& file) const;

    // Adding. addMediaWithURL makes the file object for one URL (none for a duplicate or an
    // unsupported file; `reason` then says why) without analysing it or adding it to `files`.
    // A document that adds the files it names (FCPXML) answers none and sets `importedDocument`.
    std::shared_ptr<MediaFile> addMediaWithURL(const std::filesystem::path& url,
                                               std::string* reason = nullptr,
                                               bool* importedDocument = nullptr);
    // Makes the objects of all URLs and starts their analysis; none for an empty input. The URLs
    // that gave no object are reported in `skipped` with the reason.
    std::optional<std::vector<std::shared_ptr<MediaFile>>> addMediaWithURLs(
        const std::vector<std::filesystem::path>& urls, std::vector<SkippedURL>* skipped = nullptr);
    // Appends the files to `files` at once and queues their analysis from a background thread.
    void analyzeItemsInBackground(const std::vector<std::shared_ptr<MediaFile>>& items);
    // The object that already represents the URL (as the entry or one of its source files),
    // reached by the same path or by a link to the same file.
    std::shared_ptr<MediaFile> fileWithURL(const std::filesystem::path& url) const;

    // Analysis options that replace the settings' for later batches ("ReadAudioTc" false for
    // one run of the command line, say).
    void setAnalysisOptionOverrides(MetadataDictionary overrides);
    // "CreateThumbnail", "ReadAudioTc" and "ApplyAVShift" from the settings and the overrides.
    MetadataDictionary analysisOptions() const;

    // The running batch.
    bool analyzing() const;
    bool cancelledAnalyzing() const;
    int64_t filesAnalyzed() const;
    int64_t newFilesCount() const;
    // True from the moment files are queued until their batch's closing work has run on the
    // main queue (files linked, "AnalyzingFinished" posted).
    bool hasPendingAnalysis() const;
    // Cancels the running batch: "AnalyzingFinished" at once, and again when the queue ran
    // empty, after its unfinished files were dropped.
    void stopAnalyzing();
    // Drops the files whose analysis never finished and is not pending any more.
    void removeCancelledMediaFiles();

    void removeMediaAtIndexes(const IndexSet& indexes);
    void removeAllMedia();

    // Video files first, each part ordered by group, creation date and name.
    std::vector<std::shared_ptr<MediaFile>> sortedFiles() const;
    // Gives a sound file without audio timecode the one of its twin, and numbers the first
    // audio tracks of the further files of one recording 2, 3, ... marking them linked.
    void updateLinkedAudioFiles();
    bool syncGroupsHaveBeenSet() const;
    uint32_t highestSyncGroup() const;
    // Numbers the devices' groups in import order (when the settings ask for it and some file
    // has no group yet) and posts "ReloadTableView" with the pool.
    void enumerateSyncGroups();

    int64_t audioFileCount() const;
    int64_t videoFileCount() const;
    uint64_t totalSizeOfFilesWithType(int32_t typeMask) const;
    // Width and height maximised apart over the first video tracks; 1920 × 1080 without video.
    MediaSize largestVideoSize() const;
    // The dominant frame rate and drop-frame setting, or none for an empty pool.
    std::shared_ptr<TCHelper> mostCommonFrameRate() const;
    // The earliest creation date (a file without one counts as 1970), none for an empty pool.
    std::optional<MetadataDate> earliestDate() const;

    double importedFCPXMLVersion() const;
    void setImportedFCPXMLVersion(double version);

  private:
    // An underlying file object and the pool entry it came with.
    struct SourceFile {
        std::shared_ptr<MediaFile> file;
        const MediaFile* entry;
    };

    MediaPool(MediaReaderFactory readerFactory, UserDefaults& defaults, NotificationCenter& center);

    void analyzeItems(const std::vector<std::shared_ptr<MediaFile>>& items);
    void operationCompleted(const MediaFile* file);
    // What a change of the number of unfinished operations means for the batch.
    enum class BatchEvent { None, StartedSingle, Started, Progress, Ended, EndedCancelled };
    BatchEvent changeOperationCountLocked(int64_t delta);
    void announce(BatchEvent event);
    void postProgress();
    // The closing work of a batch: linkBatch on the link queue, finishBatch on the main queue.
    void linkBatch(bool wasCancelled, const std::weak_ptr<MediaPool>& weakPool);
    void finishBatch(const std::vector<std::shared_ptr<MediaFile>>& unfinished);
    // Files whose analysis never finished and is not pending any more; lock held.
    std::vector<std::shared_ptr<MediaFile>> cancelledMediaFilesLocked() const;
    // updateLinkedAudioFiles over the pool without the given files.
    void linkAudioFilesWithout(const std::vector<std::shared_ptr<MediaFile>>& leftOut);
    void shareTimecodeOfTwins(const std::vector<std::shared_ptr<MediaFile>>& sounds);
    void numberTracksOfRecordings(const std::vector<std::shared_ptr<MediaFile>>& sounds);
    // Removes the entries from `files` and their objects from `sourceFiles` and the index; lock
    // held.
    void removeEntriesLocked(const std::vector<std::shared_ptr<MediaFile>>& entries);
    void post(const std::string& name, std::any object = {});

    const MediaReaderFactory readerFactory_;
    UserDefaults& defaults_;
    NotificationCenter& center_;

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<MediaFile>> files_;
    std::vector<SourceFile> sourceFiles_;
    SourceFileIndex sourceIndex_;  // the objects of sourceFiles_ by the URLs they stand for
    MetadataDictionary optionOverrides_;
    double importedFCPXMLVersion_ = 0.0;
    // Batch state.
    bool analyzing_ = false;
    bool cancelledAnalyzing_ = false;
    int64_t filesAnalyzed_ = 0;
    int64_t newFilesCount_ = 0;
    int64_t operationCount_ = 0;    // queued operations whose completion has not run
    int64_t pendingBatches_ = 0;    // lists handed over whose operations are not queued yet
    int64_t pendingBatchEnds_ = 0;  // closing work waiting on the main queue
    std::multiset<const MediaFile*> awaitingAnalysis_;  // queued, not completed

    // Serialises the linking passes (end of a batch, and the shell after re-reading timecode).
    std::mutex linkMutex_;

    // Declared last: destroyed first, after the destructor waited for their work.
    OperationQueue batchQueue_{1};    // the short-lived work that queues a batch's operations
    OperationQueue analyzeQueue_{1};  // "Vorlane Analyze Queue": one file at a time
    OperationQueue linkQueue_{1};     // the linking at the end of each batch, in batch order
};

}  // namespace vorlane
