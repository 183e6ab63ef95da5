// An edit: a media object whose tracks are made of segments that point into the tracks of media
// files. It is the common shape of everything that is previewed or exported: a synced clip
// (MediaSyncComposition), the laid-out timeline of all groups (MediaLayoutComposition) or a plain
// copy of one file. This class holds the settings of the edit, copies tracks of files in and
// matches them to existing tracks, pads and snaps tracks, and answers the sync status, the clip
// name, the merged metadata and the timecode text at any composition time.
//
// Compositions live in std::shared_ptr (make them with the class operations); they own their
// tracks and only refer to the files (segments hold source tracks weakly). They are built by one
// owner and then only read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaObject.h"
#include "platform/CMTime.h"
#include "platform/MetadataValue.h"
#include "sync/MediaSyncIndex.h"

namespace vorlane {

class UserDefaults;

// Status words of compositions and of the file list's sync information.
inline constexpr char kSyncStatusSynced[] = "synced";
inline constexpr char kSyncStatusNothingToSync[] = "nothing to sync";
inline constexpr char kSyncStatusInsufficientTracks[] = "insufficient tracks";
inline constexpr char kSyncStatusNoTimecode[] = "no timecode";
inline constexpr char kSyncStatusNoCorrespondingFiles[] = "no corresponding files";

// The user settings a composition reads once, when it is created.
struct CompositionSettings {
    bool multicam = false;            // "multicam": several cameras may share a composition
    bool involveDate = false;         // "involveFileDate": matching also needs close dates
    bool keepOriginalAudio = false;   // "keepOriginalAudio": camera sound stays in
    bool muteAudioTimecode = false;   // "muteAudioTimecode": all-LTC tracks are left out
    bool linearTimelineMode = false;  // "linearTimelineMode": layout keeps the gaps between clips
    int32_t metadataHandling = 0;     // "metadataHandling": where clip metadata comes from (0-5)
    int32_t clipNaming = 0;           // "clipNaming": how the clip is named (-1 to 3)
    bool fileSuffixes = false;        // "fileSuffixes": the sync status is appended to the name

    static CompositionSettings fromUserDefaults(const UserDefaults& defaults);
    // From the application's shared defaults store.
    static CompositionSettings fromStandardUserDefaults();
};

class MediaComposition : public MediaObject {
  public:
    // An empty composition over the pool snapshot with the user's current settings.
    static std::shared_ptr<MediaComposition> compositionWithMediaPool(
        std::shared_ptr<const MediaSyncIndex> pool);
    static std::shared_ptr<MediaComposition> compositionWithMediaPool(
        std::shared_ptr<const MediaSyncIndex> pool, const CompositionSettings& settings);
    // An empty composition without a pool (what the player shows when nothing is selected).
    static std::shared_ptr<MediaComposition> emptyDummy();

    // Use the class operations; public for std::make_shared.
    MediaComposition(std::shared_ptr<const MediaSyncIndex> pool,
                     const CompositionSettings& settings);

    // The pool snapshot the composition is built from (none for the empty dummy).
    const std::shared_ptr<const MediaSyncIndex>& mediaPool() const { return mediaPool_; }

    bool multicam() const { return multicam_; }
    void setMulticam(bool on) { multicam_ = on; }
    bool involveDate() const { return involveDate_; }
    void setInvolveDate(bool on) { involveDate_ = on; }
    bool keepOriginalAudio() const { return keepOriginalAudio_; }
    void setKeepOriginalAudio(bool on) { keepOriginalAudio_ = on; }
    bool muteAudioTimecode() const { return muteAudioTimecode_; }
    void setMuteAudioTimecode(bool on) { muteAudioTimecode_ = on; }
    bool linearTimelineMode() const { return linearTimelineMode_; }
    void setLinearTimelineMode(bool on) { linearTimelineMode_ = on; }
    int32_t metadataHandling() const { return metadataHandling_; }
    void setMetadataHandling(int32_t handling) { metadataHandling_ = handling; }
    int32_t clipNaming() const { return clipNaming_; }
    void setClipNaming(int32_t naming) { clipNaming_ = naming; }
    bool fileSuffixes() const { return fileSuffixes_; }
    void setFileSuffixes(bool on) { fileSuffixes_ = on; }
    bool forPlayback() const { return forPlayback_; }
    void setForPlayback(bool on) { forPlayback_ = on; }
    bool xmlMode() const { return xmlMode_; }
    void setXmlMode(bool on) { xmlMode_ = on; }
    bool useAVShift() const { return useAVShift_; }
    void setUseAVShift(bool on) { useAVShift_ = on; }
    const std::optional<std::string>& customName() const { return customName_; }

    // Copies the range of every audio-visual track of the object that holds material in it into
    // a new track each, at the time (LTC-only tracks are left out when muteAudioTimecode is on).
    void insertTimeRange(CMTimeRange range, const MediaObject& object, CMTime atTime);
    // Removes the range from every track; later material moves earlier.
    void removeTimeRange(CMTimeRange range);
    // A new track of the source track's kind with its format (codec, picture, sound, channel
    // mask, metadata).
    std::shared_ptr<MediaTrack> addTrackMatchingSourceTrack(const MediaTrack& sourceTrack,
                                                            int32_t preferredTrackID);
    // The first track that has the source track's kind and format and is free over the range.
    std::shared_ptr<MediaTrack> trackMatchingTrack(const MediaTrack& sourceTrack,
                                                   CMTimeRange range) const;
    // An audio track whose channels all carry LTC, when muteAudioTimecode is on.
    bool isAudioTcOnlyTrack(const MediaTrack& track) const;
    // Pads every track with a gap to the composition's duration.
    void fillUpWithEmptySegments();
    // Snaps every segment time to the timescale without letting gaps or overlaps arise.
    void quantizeToTimescale(int32_t timescale);
    // Whether material of another file lies under the segment on some track.
    bool checkSegmentForSync(const MediaSegment& segment) const;

    // One of the status words.
    virtual std::string syncInformation() const;
    std::string syncInformationWithUnderscore() const;
    bool successfullySynced() const;
    // Where picture and sound overlap (the picture alone, or the sound alone, when the other is
    // missing).
    CMTimeRange syncedTimeRange() const;

    // The key's values of the files under the tracks' segments, joined with ", " (camera sound
    // does not count); none when no file has one.
    std::optional<std::string> commonStringForMetadata(
        const std::string& key, const std::vector<std::shared_ptr<MediaTrack>>& tracks) const;
    // "Note", "Reel", "Take", "Scene" and "Angle" of the clip (string values).
    MetadataDictionary mergedMetadata() const;

    // The clip name by clipNaming, with the status appended when fileSuffixes is on.
    std::string name() const override;
    // Stores the custom name and switches clipNaming to -1.
    void setName(std::string name);
    static std::string mergedNameForVideo(const std::optional<std::string>& videoName,
                                          const std::optional<std::string>& audioName,
                                          bool viceVersa);

    // The source file of the first segment of the first track whose first segment has material.
    std::shared_ptr<MediaFile> erliestMediaFile() const;
    // That file's timecode, or none.
    std::shared_ptr<TCHelper> timecode() const override;
    bool hasTimecode() const override;
    // The timecode text (wrapped to 24 hours) at a composition time.
    std::string timeStringForCompositionTime(CMTime time) const;
    // "[timecode] name (seconds s)".
    std::string exportDescription() const;

    bool isComposition() const override { return true; }
    std::string className() const override { return "MediaComposition"; }

  protected:
    // The name when naming gives none: "no name" here.
    virtual std::string fallbackName() const;
    // The time that composition time zero stands for on the axis of timecode(): the time of the
    // earliest file's first material minus where that material lies in the composition.
    virtual CMTime timecodeDisplayOffsetAtZero() const;

  private:
    std::optional<std::string> clipNameWithoutSuffix() const;
    std::optional<std::string> firstVideoName() const;
    std::optional<std::string> firstAudioName() const;
    const MediaSegment* erliestSegment() const;
    bool matchesFormat(const MediaTrack& candidate, const MediaTrack& source) const;
    std::optional<std::string> metadataOf(const std::string& key,
                                          const std::vector<std::shared_ptr<MediaTrack>>& first,
                                          const std::vector<std::shared_ptr<MediaTrack>>& second,
                                          bool fallback) const;

    std::shared_ptr<const MediaSyncIndex> mediaPool_;
    bool multicam_;
    bool involveDate_;
    bool keepOriginalAudio_;
    bool muteAudioTimecode_;
    bool linearTimelineMode_;
    int32_t metadataHandling_;
    int32_t clipNaming_;
    bool fileSuffixes_;
    bool forPlayback_ = false;
    bool xmlMode_ = false;
    bool useAVShift_ = true;
    std::optional<std::string> customName_;
};

// The file of a segment's source track, when that is a media file.
std::shared_ptr<MediaFile> sourceMediaFileOfSegment(const MediaSegment& segment);
// A file name without its extension ("A001C002.mov" gives "A001C002").
std::string nameWithoutExtension(const std::string& name);

}  // namespace vorlane
