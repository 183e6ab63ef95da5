// The composition that synchronises files by timecode around one master file: every other file
// of the pool whose timecode range overlaps the master's is laid in so that equal timecodes fall
// at equal composition times (the master's picture at the start, the external sound beside it at
// its offset, exact to the sample). The same matching rule gives each file's sync status line in
// the file list.
//
// To build a synced clip:
//     auto clip = MediaSyncComposition::syncCompositionWithMasterFile(master, pool);
//     clip->setXmlMode(false); clip->setForPlayback(true);   // as the player wants it
//     clip->syncMedia();
// `pool` is a MediaSyncIndex snapshot of the media pool (MediaSyncIndex::indexWithMediaPool);
// take one snapshot for a whole round (all clips of an export, the sync information of all
// files) so the pool is sorted once. For a single clip the pool itself may be passed.
//
// Where the matching rule meets a file without timecode it rejects the pair: such a file has no
// place on the timecode axis, so it is never laid into another file's clip, never makes another
// file read "synced", and a master without timecode stays alone ("no timecode"). Ranges are
// compared on the 24-hour clock (MediaSyncIndex::syncDayShift): a take across midnight syncs
// like any other, and the file that lies on the other side of midnight is placed a day earlier
// or later relative to the master.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sync/MediaComposition.h"

namespace vorlane {

// A file's sync status for the file list: the status word and the row highlight (1 none found,
// 2 synced).
struct SyncInfo {
    std::string infoText;
    int32_t highLightColor = 0;
};

class MediaSyncComposition : public MediaComposition {
  public:
    // A composition for the master with the user's settings (or the given ones); nothing is
    // synced yet: set the flags, then call syncMedia().
    static std::shared_ptr<MediaSyncComposition> syncCompositionWithMasterFile(
        std::shared_ptr<MediaFile> masterFile, std::shared_ptr<const MediaSyncIndex> pool);
    static std::shared_ptr<MediaSyncComposition> syncCompositionWithMasterFile(
        std::shared_ptr<MediaFile> masterFile, std::shared_ptr<const MediaSyncIndex> pool,
        const CompositionSettings& settings);
    // The same over a snapshot taken of the pool now (for one clip; a round of clips shares
    // one snapshot instead).
    static std::shared_ptr<MediaSyncComposition> syncCompositionWithMasterFile(
        std::shared_ptr<MediaFile> masterFile, const MediaPool& pool);

    // Use the class operations; public for std::make_shared.
    MediaSyncComposition(std::shared_ptr<MediaFile> masterFile,
                         std::shared_ptr<const MediaSyncIndex> pool,
                         const CompositionSettings& settings);

    std::shared_ptr<MediaFile> masterFile() const { return masterFile_.lock(); }
    // The files that match the master, in the pool's sync order.
    const std::vector<std::shared_ptr<MediaFile>>& correspondingFiles() const {
        return correspondingFiles_;
    }
    // The timecode time that composition time zero stands for (on the master's side of
    // midnight); invalid before syncMedia() or without a master timecode.
    CMTime xmlSyncTime() const { return xmlSyncTime_; }

    // Builds the composition (once).
    void syncMedia();
    // Fills correspondingFiles(); true when it is not empty.
    bool findCorrespondingMediaFiles();
    // Places one track of the master or of a corresponding file at its timecode offset.
    void insertTrack(const std::shared_ptr<MediaTrack>& track);
    // Bitwise OR of the media types of the corresponding files.
    int32_t correspondingFileTypes() const;
    // "synced" with corresponding files, else "no corresponding files" or "no timecode".
    std::string syncInformation() const override;
    // One diagnostic line per corresponding file ("\tTime <timecode>: <file name>\n").
    std::string syncedFiles() const;

    // The matching rule: two different files, both with timecode, whose ranges overlap on the
    // 24-hour clock, within two hours of each other when involveDate is on, and not both
    // movies unless multicam is on. The playback argument has no effect.
    static bool isMediaFile(const MediaFile& file, const MediaFile& other, bool involveDate,
                            bool multicam, bool playback);
    // The file's status against every file of the pool snapshot.
    static SyncInfo syncInfoOfMediaFile(const MediaFile& file, const MediaSyncIndex& pool,
                                        bool involveDate, bool multicam);
    // Writes that status into the file's infoText and highLightColor.
    static void updateSyncInfoOfMediaFile(MediaFile& file, const MediaSyncIndex& pool,
                                          bool involveDate, bool multicam);

    std::string className() const override { return "MediaSyncComposition"; }

  protected:
    std::string fallbackName() const override;

  private:
    static bool passesDateAndKindRules(const MediaFile& file, const MediaFile& other,
                                       bool involveDate, bool multicam);
    // Where the file starts on the master's side of midnight; invalid without timecode.
    CMTime syncStartOfFile(const MediaFile& file) const;
    void insertWholeMaster(const MediaFile& master);
    void insertAudioTracks(const MediaFile& file);
    void insertVideoTracks(const MediaFile& file);
    void insertEmptyTimeRangeAtStart(CMTime length);
    std::shared_ptr<MediaTrack> targetTrack(const MediaFile& file, const MediaTrack& track,
                                            CMTimeRange destination);

    std::weak_ptr<MediaFile> masterFile_;
    std::vector<std::shared_ptr<MediaFile>> correspondingFiles_;
    // The day shift that moves each corresponding file next to the master, by position.
    std::vector<int32_t> correspondingDayShifts_;
    CMTime xmlSyncTime_ = kCMTimeInvalid;
};

}  // namespace vorlane
