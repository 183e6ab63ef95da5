#include "media/MediaPool.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <map>
#include <tuple>

#include "media/MediaText.h"
#include "platform/DefaultsKeys.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

// Readers fill a file's tracks under its lock while the pool may look at the file.
int32_t mediaTypeOf(const MediaFile& file) {
    std::lock_guard lock(file.mutex());
    return file.type();
}

std::shared_ptr<MediaTrack> firstTrackOf(const MediaFile& file, int32_t kind) {
    std::lock_guard lock(file.mutex());
    return kind == MediaTrackTypeVideo ? file.firstVideoTrack() : file.firstAudioTrack();
}

bool hasVideoBit(int32_t type) {
    return (type & MediaTypeVideo) != 0;
}

// Seconds since 1970 of the file's creation date; 0 without one.
double creationSeconds(const MediaFile& file) {
    const std::optional<MetadataDate> date = file.creationDate();
    if (!date) return 0.0;
    return std::chrono::duration<double>(date->time_since_epoch()).count();
}

// The value of a metadata key when it is a non-empty text.
std::optional<std::string> nonEmptyText(const MediaFile& file, const char* key) {
    std::optional<std::string> text = file.metaDataString(key);
    if (text && text->empty()) return std::nullopt;
    return text;
}

// Stands for a missing value in a device group's key, the same for every file.
constexpr const char* kMissingKeyPart = "(null)";

// The key that puts a file into a device group; none for a file without video and audio.
std::optional<std::string> deviceGroupKey(const MediaFile& file) {
    const int32_t type = mediaTypeOf(file);
    if (hasVideoBit(type)) {
        const auto video = firstTrackOf(file, MediaTrackTypeVideo);
        std::optional<std::string> angle = nonEmptyText(file, kAngle);
        if (!angle) angle = file.metaDataString(kCameraName);
        return formatMediaText("V%s,%s,%s,%2.2f,%s", file.uniqueDeviceID().c_str(),
                               file.fileUTI().c_str(), video ? video->codecName().c_str() : "",
                               file.frameRate(), angle.value_or(kMissingKeyPart).c_str());
    }
    if (type == MediaTypeAudio) {
        const auto audio = firstTrackOf(file, MediaTrackTypeAudio);
        return formatMediaText("A%s,%s,%s", file.uniqueDeviceID().c_str(), file.fileUTI().c_str(),
                               audio ? audio->codecName().c_str() : "");
    }
    return std::nullopt;
}

}  // namespace

// MediaAnalyzeOperation

MediaAnalyzeOperation::MediaAnalyzeOperation(std::shared_ptr<MediaFile> mediaFile,
                                             MetadataDictionary analyzingOptions)
    : mediaFile_(std::move(mediaFile)), analyzingOptions_(std::move(analyzingOptions)) {}

void MediaAnalyzeOperation::main() {
    if (!mediaFile_) return;
    // A reader that fails still ends its file's analysis: the file keeps what was read.
    try {
        mediaFile_->analyzeWithOptions(analyzingOptions_);
    } catch (const std::exception& error) {
        Log::writef("MediaAnalyzeOperation: Analysis of %s ended with an error: %s",
                    mediaFile_->sourceURLPath().c_str(), error.what());
    } catch (...) {
        Log::writef("MediaAnalyzeOperation: Analysis of %s ended with an unknown error",
                    mediaFile_->sourceURLPath().c_str());
    }
    if (!isCancelled()) mediaFile_->setAnalyzingFinished();
}

// Creation

std::shared_ptr<MediaPool> MediaPool::create(MediaReaderFactory readerFactory) {
    return create(std::move(readerFactory), UserDefaults::standardUserDefaults(),
                  NotificationCenter::defaultCenter());
}

std::shared_ptr<MediaPool> MediaPool::create(MediaReaderFactory readerFactory,
                                             UserDefaults& defaults, NotificationCenter& center) {
    return std::shared_ptr<MediaPool>(new MediaPool(std::move(readerFactory), defaults, center));
}

MediaPool::MediaPool(MediaReaderFactory readerFactory, UserDefaults& defaults,
                     NotificationCenter& center)
    : readerFactory_(std::move(readerFactory)), defaults_(defaults), center_(center) {}

MediaPool::~MediaPool() {
    // The batch work queues operations; let it end before cancelling what it queued. The end of
    // the cancelled analysis queues its linking last.
    batchQueue_.waitUntilAllOperationsAreFinished();
    analyzeQueue_.cancelAllOperations();
    analyzeQueue_.waitUntilAllOperationsAreFinished();
    linkQueue_.cancelAllOperations();
    linkQueue_.waitUntilAllOperationsAreFinished();
}

// The lists

std::vector<std::shared_ptr<MediaFile>> MediaPool::files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

std::vector<std::shared_ptr<MediaFile>> MediaPool::sourceFiles() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<MediaFile>> result;
    result.reserve(sourceFiles_.size());
    for (const SourceFile& source : sourceFiles_)
        result.push_back(source.file);
    return result;
}

size_t MediaPool::count() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

std::shared_ptr<MediaFile> MediaPool::objectAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < files_.size() ? files_[index] : nullptr;
}

std::vector<std::shared_ptr<MediaFile>> MediaPool::objectsAtIndexes(const IndexSet& indexes) const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<MediaFile>> result;
    for (const size_t index : indexes)
        if (index < files_.size()) result.push_back(files_[index]);
    return result;
}

std::optional<size_t> MediaPool::indexOfObject(const std::shared_ptr<MediaFile>& file) const {
    std::lock_guard lock(mutex_);
    const auto found = std::find(files_.begin(), files_.end(), file);
    if (found == files_.end()) return std::nullopt;
    return size_t(found - files_.begin());
}

// Adding

std::shared_ptr<MediaFile> MediaPool::addMediaWithURL(const std::filesystem::path& url,
                                                      std::string* reason, bool* importedDocument) {
    const std::filesystem::path path = url.lexically_normal();
    if (const auto existing = fileWithURL(path)) {
        // A part of a recording split over several files is named with its pool entry.
        std::shared_ptr<MediaFile> entry;
        {
            std::lock_guard lock(mutex_);
            for (const SourceFile& source : sourceFiles_)
                if (source.file == existing && source.entry != existing.get())
                    for (const auto& file : files_)
                        if (file.get() == source.entry) entry = file;
        }
        if (reason)
            *reason = entry ? "already in the pool as part of " + entry->name()
                            : "already in the pool as " + existing->name();
        return nullptr;
    }
    if (!readerFactory_) {
        if (reason) *reason = "no readers are installed";
        return nullptr;
    }
    MediaReaderChoice choice = readerFactory_(path, *this);
    if (importedDocument) *importedDocument = choice.importedDocument;
    if (!choice.file) {
        if (reason) *reason = choice.reason.empty() ? "not a supported media file" : choice.reason;
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    if (choice.sourceFiles.empty()) choice.sourceFiles.push_back(choice.file);
    for (auto& source : choice.sourceFiles) {
        sourceIndex_.add(source);
        sourceFiles_.push_back({std::move(source), choice.file.get()});
    }
    return choice.file;
}

std::optional<std::vector<std::shared_ptr<MediaFile>>> MediaPool::addMediaWithURLs(
    const std::vector<std::filesystem::path>& urls, std::vector<SkippedURL>* skipped) {
    if (urls.empty()) return std::nullopt;
    std::vector<std::shared_ptr<MediaFile>> added;
    for (const auto& url : urls) {
        std::string reason;
        bool imported = false;
        if (auto file = addMediaWithURL(url, &reason, &imported))
            added.push_back(std::move(file));
        else if (skipped)
            skipped->push_back({url, reason, fileWithURL(url) != nullptr, imported});
    }
    analyzeItemsInBackground(added);
    return added;
}

void MediaPool::analyzeItemsInBackground(const std::vector<std::shared_ptr<MediaFile>>& items) {
    if (items.empty()) return;
    {
        std::lock_guard lock(mutex_);
        files_.insert(files_.end(), items.begin(), items.end());
        for (const auto& item : items)
            awaitingAnalysis_.insert(item.get());
        ++pendingBatches_;
    }
    batchQueue_.addOperationWithBlock([this, items] { analyzeItems(items); });
}

std::shared_ptr<MediaFile> MediaPool::fileWithURL(const std::filesystem::path& url) const {
    std::lock_guard lock(mutex_);
    return sourceIndex_.find(url);
}

// Analysis

void MediaPool::setAnalysisOptionOverrides(MetadataDictionary overrides) {
    std::lock_guard lock(mutex_);
    optionOverrides_ = std::move(overrides);
}

MetadataDictionary MediaPool::analysisOptions() const {
    MetadataDictionary options{
        {kAnalyzeCreateThumbnail, true},
        {kAnalyzeReadAudioTc, defaults_.boolForKey(DefaultsKey::readAudioTcOnImport)},
        {kAnalyzeApplyAVShift, defaults_.boolForKey(DefaultsKey::automaticallyApplyAVShift)},
    };
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : optionOverrides_)
        options[key] = value;
    return options;
}

// Runs on the batch queue. The whole batch is counted as one change of the operation count, so
// that a fast first file cannot end the batch before the others are queued.
void MediaPool::analyzeItems(const std::vector<std::shared_ptr<MediaFile>>& items) {
    const MetadataDictionary options = analysisOptions();
    std::vector<std::shared_ptr<MediaAnalyzeOperation>> operations;
    for (const auto& item : items) {
        auto operation = std::make_shared<MediaAnalyzeOperation>(item, options);
        operation->setCompletionBlock([this, file = item.get()] { operationCompleted(file); });
        operations.push_back(std::move(operation));
    }
    BatchEvent event = BatchEvent::None;
    {
        std::lock_guard lock(mutex_);
        newFilesCount_ += int64_t(items.size());
        --pendingBatches_;
        event = changeOperationCountLocked(int64_t(items.size()));
    }
    announce(event);
    for (auto& operation : operations)
        analyzeQueue_.addOperation(std::move(operation));
}

// Runs on the analysis queue after every operation, cancelled or not.
void MediaPool::operationCompleted(const MediaFile* file) {
    BatchEvent event = BatchEvent::None;
    {
        std::lock_guard lock(mutex_);
        ++filesAnalyzed_;
        const auto found = awaitingAnalysis_.find(file);
        if (found != awaitingAnalysis_.end()) awaitingAnalysis_.erase(found);
        event = changeOperationCountLocked(-1);
    }
    announce(event);
}

// The batch bookkeeping, in the same critical section as the change of the count so that the
// state always follows the changes in their order.
MediaPool::BatchEvent MediaPool::changeOperationCountLocked(int64_t delta) {
    const int64_t oldCount = operationCount_;
    operationCount_ += delta;
    const int64_t newCount = operationCount_;
    if (oldCount == 0 && newCount >= 1) {
        analyzing_ = true;
        if (cancelledAnalyzing_) return BatchEvent::None;
        return newFilesCount_ < 2 ? BatchEvent::StartedSingle : BatchEvent::Started;
    }
    if (newCount != 0) return cancelledAnalyzing_ ? BatchEvent::None : BatchEvent::Progress;
    newFilesCount_ = 0;
    filesAnalyzed_ = 0;
    analyzing_ = false;
    const bool wasCancelled = cancelledAnalyzing_;
    cancelledAnalyzing_ = false;
    ++pendingBatchEnds_;
    return wasCancelled ? BatchEvent::EndedCancelled : BatchEvent::Ended;
}

void MediaPool::announce(BatchEvent event) {
    switch (event) {
        case BatchEvent::None:
            return;
        case BatchEvent::StartedSingle:
            post(kReloadTableViewNotification);
            return;
        case BatchEvent::Started:
            post(kAnalyzingStartedNotification);
            return;
        case BatchEvent::Progress:
            MainQueue::async([weakPool = weak_from_this()] {
                if (const auto pool = weakPool.lock()) pool->postProgress();
            });
            return;
        case BatchEvent::Ended:
        case BatchEvent::EndedCancelled:
            linkQueue_.addOperationWithBlock([this, weakPool = weak_from_this(),
                                              cancelled = event == BatchEvent::EndedCancelled] {
                linkBatch(cancelled, weakPool);
            });
            return;
    }
}

// On the main queue: the percent of the batch's completed operations at the time of posting.
void MediaPool::postProgress() {
    double percent = 100.0;
    {
        std::lock_guard lock(mutex_);
        if (newFilesCount_ > 0) percent = double(filesAnalyzed_) / double(newFilesCount_) * 100.0;
    }
    post(kAnalyzingUpdatedNotification, percent);
}

// On the link queue: links the sound files as if the unfinished files of a stopped batch were
// already gone; the main queue drops them.
void MediaPool::linkBatch(bool wasCancelled, const std::weak_ptr<MediaPool>& weakPool) {
    std::vector<std::shared_ptr<MediaFile>> unfinished;
    if (wasCancelled) {
        std::lock_guard lock(mutex_);
        unfinished = cancelledMediaFilesLocked();
    }
    linkAudioFilesWithout(unfinished);
    MainQueue::async([weakPool, unfinished = std::move(unfinished)] {
        if (const auto pool = weakPool.lock()) pool->finishBatch(unfinished);
    });
}

// On the main queue: the end of a batch's closing work.
void MediaPool::finishBatch(const std::vector<std::shared_ptr<MediaFile>>& unfinished) {
    {
        std::lock_guard lock(mutex_);
        removeEntriesLocked(unfinished);
        --pendingBatchEnds_;
    }
    post(kAnalyzingFinishedNotification);
}

bool MediaPool::analyzing() const {
    std::lock_guard lock(mutex_);
    return analyzing_;
}

bool MediaPool::cancelledAnalyzing() const {
    std::lock_guard lock(mutex_);
    return cancelledAnalyzing_;
}

int64_t MediaPool::filesAnalyzed() const {
    std::lock_guard lock(mutex_);
    return filesAnalyzed_;
}

int64_t MediaPool::newFilesCount() const {
    std::lock_guard lock(mutex_);
    return newFilesCount_;
}

bool MediaPool::hasPendingAnalysis() const {
    std::lock_guard lock(mutex_);
    return pendingBatches_ > 0 || operationCount_ > 0 || pendingBatchEnds_ > 0;
}

void MediaPool::stopAnalyzing() {
    {
        std::lock_guard lock(mutex_);
        // Only a running batch is stopped: a flag left over from an idle pool would silence
        // and thin out the next batch.
        if (operationCount_ > 0 || pendingBatches_ > 0) cancelledAnalyzing_ = true;
    }
    analyzeQueue_.cancelAllOperations();
    post(kAnalyzingFinishedNotification);
}

void MediaPool::removeCancelledMediaFiles() {
    std::lock_guard lock(mutex_);
    removeEntriesLocked(cancelledMediaFilesLocked());
}

std::vector<std::shared_ptr<MediaFile>> MediaPool::cancelledMediaFilesLocked() const {
    std::vector<std::shared_ptr<MediaFile>> unfinished;
    for (const auto& file : files_)
        if (!file->hasBeenAnalyzed() && awaitingAnalysis_.count(file.get()) == 0)
            unfinished.push_back(file);
    return unfinished;
}

// Removing

void MediaPool::removeEntriesLocked(const std::vector<std::shared_ptr<MediaFile>>& entries) {
    if (entries.empty()) return;
    std::set<const MediaFile*> removed;
    for (const auto& entry : entries)
        removed.insert(entry.get());
    std::erase_if(files_, [&](const auto& file) { return removed.count(file.get()) != 0; });
    std::erase_if(sourceFiles_, [&](const SourceFile& source) {
        return removed.count(source.entry) != 0 || removed.count(source.file.get()) != 0;
    });
    sourceIndex_.clear();
    for (const SourceFile& source : sourceFiles_)
        sourceIndex_.add(source.file);
}

void MediaPool::removeMediaAtIndexes(const IndexSet& indexes) {
    IndexSet removed;
    {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<MediaFile>> entries;
        for (const size_t index : indexes) {
            if (index >= files_.size()) continue;
            entries.push_back(files_[index]);
            removed.insert(index);
        }
        removeEntriesLocked(entries);
    }
    post(kRemoveIndexesNotification, removed);
}

void MediaPool::removeAllMedia() {
    IndexSet removed;
    {
        std::lock_guard lock(mutex_);
        for (size_t index = 0; index < files_.size(); ++index)
            removed.insert(index);
        files_.clear();
        sourceFiles_.clear();
        sourceIndex_.clear();
    }
    post(kRemoveIndexesNotification, removed);
}

// Questions about the whole set

std::vector<std::shared_ptr<MediaFile>> MediaPool::sortedFiles() const {
    struct Keyed {
        std::shared_ptr<MediaFile> file;
        uint32_t group;
        std::optional<MetadataDate> date;  // files without a date come first
        std::string name;
        bool video;
    };
    std::vector<Keyed> keyed;
    for (const auto& file : files())
        keyed.push_back({file, file->syncGroup(), file->creationDate(), file->name(),
                         hasVideoBit(mediaTypeOf(*file))});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& lhs, const Keyed& rhs) {
        if (lhs.group != rhs.group) return lhs.group < rhs.group;
        if (lhs.date != rhs.date) return lhs.date < rhs.date;
        return lhs.name < rhs.name;
    });
    std::stable_partition(keyed.begin(), keyed.end(), [](const Keyed& k) { return k.video; });
    std::vector<std::shared_ptr<MediaFile>> result;
    for (auto& k : keyed)
        result.push_back(std::move(k.file));
    return result;
}

void MediaPool::updateLinkedAudioFiles() {
    linkAudioFilesWithout({});
}

// Leaving files out of the sync order keeps the order of the others (the sorts are stable).
void MediaPool::linkAudioFilesWithout(const std::vector<std::shared_ptr<MediaFile>>& leftOut) {
    std::lock_guard linking(linkMutex_);
    std::set<const MediaFile*> skipped;
    for (const auto& file : leftOut)
        skipped.insert(file.get());
    std::vector<std::shared_ptr<MediaFile>> sounds;
    for (auto& file : sortedFiles())
        if (skipped.count(file.get()) == 0 && mediaTypeOf(*file) == MediaTypeAudio)
            sounds.push_back(std::move(file));
    shareTimecodeOfTwins(sounds);
    numberTracksOfRecordings(sounds);
}

// A file without audio timecode takes the one of the first file of exactly its length that
// has one (a file linked before holds that same timecode).
void MediaPool::shareTimecodeOfTwins(const std::vector<std::shared_ptr<MediaFile>>& sounds) {
    std::map<double, std::shared_ptr<TCHelper>> timecodeOfLength;
    for (const auto& file : sounds) {
        const double seconds = CMTimeGetSeconds(file->duration());
        if (std::isnan(seconds)) continue;
        if (const std::shared_ptr<TCHelper> timecode = file->audioTimecode())
            timecodeOfLength.emplace(seconds, timecode);
    }
    for (const auto& file : sounds) {
        const double seconds = CMTimeGetSeconds(file->duration());
        if (file->hasAudioTimecode() || std::isnan(seconds)) continue;
        const auto found = timecodeOfLength.find(seconds);
        if (found == timecodeOfLength.end()) continue;
        const std::shared_ptr<TCHelper>& shared = found->second;
        shared->setSource("linked");
        {
            std::lock_guard lock(file->mutex());
            file->addTimecodeTrackWithTCHelper(shared);
        }
        file->copyAudioTimecodeUserBitsToMetadata();
        file->updateReadableInfo();
    }
}

// The further files of one take of one recorder (same range, same device) become its tracks
// 2, 3, ...: in import order, each file renumbers the later-found files that share its track
// number, counting on from it.
void MediaPool::numberTracksOfRecordings(const std::vector<std::shared_ptr<MediaFile>>& sounds) {
    struct Member {
        std::shared_ptr<MediaFile> file;
        std::shared_ptr<MediaTrack> track;
    };
    using TakeKey = std::tuple<CMTime, CMTime, std::string>;
    std::map<TakeKey, std::vector<Member>> takes;
    std::vector<std::pair<std::vector<Member>*, size_t>> order;  // each file's take and place
    for (const auto& file : sounds) {
        auto track = firstTrackOf(*file, MediaTrackTypeAudio);
        if (!track) continue;
        const CMTimeRange range = file->syncTimeRange();
        auto& members = takes[{range.start, range.duration, file->uniqueDeviceID()}];
        order.emplace_back(&members, members.size());
        members.push_back({file, std::move(track)});
    }
    // Per take: the places of its files by their current track number.
    std::map<const std::vector<Member>*, std::map<int32_t, std::set<size_t>>> numbering;
    for (auto& [key, members] : takes) {
        auto& byNumber = numbering[&members];
        for (size_t place = 0; place < members.size(); ++place)
            byNumber[members[place].track->trackNumber()].insert(place);
    }
    for (const auto& [members, place] : order) {
        auto& byNumber = numbering[members];
        int32_t number = (*members)[place].track->trackNumber();
        std::set<size_t> sharing = std::move(byNumber[number]);
        byNumber[number] = {place};
        for (const size_t other : sharing) {
            if (other == place) continue;
            const Member& member = (*members)[other];
            std::lock_guard lock(member.file->mutex());
            member.track->setTrackNumber(++number);
            member.file->setLinkedAudioFile(true);
            byNumber[number].insert(other);
        }
    }
}

bool MediaPool::syncGroupsHaveBeenSet() const {
    for (const auto& file : files())
        if (file->syncGroup() == 0) return false;
    return true;
}

uint32_t MediaPool::highestSyncGroup() const {
    uint32_t highest = 0;
    for (const auto& file : files())
        highest = std::max(highest, file->syncGroup());
    return highest;
}

void MediaPool::enumerateSyncGroups() {
    if (!defaults_.boolForKey(DefaultsKey::automaticallySetSyncGroups) || syncGroupsHaveBeenSet())
        return;
    std::map<std::string, uint32_t> groups;
    for (const auto& file : files()) {
        const std::optional<std::string> key = deviceGroupKey(*file);
        if (!key) continue;
        const auto [found, added] = groups.emplace(*key, uint32_t(groups.size() + 1));
        file->setSyncGroup(found->second);
        file->updateReadableInfo();
    }
    post(kReloadTableViewNotification, shared_from_this());
}

int64_t MediaPool::audioFileCount() const {
    int64_t count = 0;
    for (const auto& file : files())
        if (mediaTypeOf(*file) == MediaTypeAudio) ++count;
    return count;
}

int64_t MediaPool::videoFileCount() const {
    int64_t count = 0;
    for (const auto& file : files())
        if (hasVideoBit(mediaTypeOf(*file))) ++count;
    return count;
}

uint64_t MediaPool::totalSizeOfFilesWithType(int32_t typeMask) const {
    uint64_t total = 0;
    for (const auto& file : files())
        if ((mediaTypeOf(*file) & typeMask) != 0) total += file->filesize();
    return total;
}

MediaSize MediaPool::largestVideoSize() const {
    if (videoFileCount() == 0) return {1920.0, 1080.0};
    MediaSize largest{1.0, 1.0};
    for (const auto& file : files()) {
        const auto video = firstTrackOf(*file, MediaTrackTypeVideo);
        if (!video) continue;
        const MediaSize size = video->videoSize();
        largest.width = std::max(largest.width, size.width);
        largest.height = std::max(largest.height, size.height);
    }
    return largest;
}

// Ties go to the key seen first in import order. A file without timecode says nothing about
// drop frame and counts as non-drop.
std::shared_ptr<TCHelper> MediaPool::mostCommonFrameRate() const {
    std::vector<std::pair<std::string, int64_t>> counts;  // in order of first appearance
    for (const auto& file : files()) {
        const std::shared_ptr<TCHelper> timecode = file->timecode();
        const std::string key = formatMediaText(
            "%2.2f %s", file->frameRate(), timecode ? timecode->dropFrameString().c_str() : "");
        const auto found = std::find_if(counts.begin(), counts.end(),
                                        [&](const auto& entry) { return entry.first == key; });
        if (found == counts.end())
            counts.emplace_back(key, 1);
        else
            ++found->second;
    }
    if (counts.empty()) return nullptr;
    const auto* best = &counts.front();
    for (const auto& entry : counts)
        if (entry.second > best->second) best = &entry;
    const std::string& key = best->first;
    const double rate = std::strtod(key.c_str(), nullptr);
    const bool dropFrame = key.size() >= 3 && key.ends_with(" DF");
    return TCHelper::helperWithFrameRate(TCHelper::quantizedFrameRate(rate), dropFrame);
}

std::optional<MetadataDate> MediaPool::earliestDate() const {
    const auto all = files();
    if (all.empty()) return std::nullopt;
    double earliest = creationSeconds(*all.front());
    for (const auto& file : all)
        earliest = std::min(earliest, creationSeconds(*file));
    return MetadataDate(std::chrono::duration_cast<MetadataDate::duration>(
        std::chrono::duration<double>(earliest)));
}

double MediaPool::importedFCPXMLVersion() const {
    std::lock_guard lock(mutex_);
    return importedFCPXMLVersion_;
}

void MediaPool::setImportedFCPXMLVersion(double version) {
    std::lock_guard lock(mutex_);
    importedFCPXMLVersion_ = version;
}

void MediaPool::post(const std::string& name, std::any object) {
    center_.postNotificationName(name, std::move(object));
}

}  // namespace vorlane
