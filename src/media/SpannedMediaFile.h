// One recording that a camera or recorder split into several files (MXF clips of a card, RED
// clip segments, the numbered sound files of one take): the pool's single entry for the parts.
// Its tracks are the parts' tracks laid end to end (each segment shows a part's own track), its
// file timecode is the first part's, and the audio timecode decoded over the joined recording is
// handed back to every part with the time at which that part starts in it. The parts stay real
// files, analysed through this one (the pool keeps them among its source files).
//
// A part is placed where the previous one ends, or later, where its own file timecode says it
// begins, when that lies more than a frame after the previous end: a missing or unreadable part
// then leaves a gap of its length instead of pulling the later parts early. A part that cannot
// be read contributes nothing; gaps and unreadable parts are listed in the file's information.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/MediaFile.h"

namespace vorlane {

class SpannedMediaFile : public MediaFile {
  public:
    // With two or more files a new spanned file whose parts are sorted by creation date, then
    // name; with one file that file itself; none for an empty list (initWithMediaFiles:).
    static std::shared_ptr<MediaFile> initWithMediaFiles(
        std::vector<std::shared_ptr<MediaFile>> mediaFiles);

    const std::vector<std::shared_ptr<MediaFile>>& referencedMediaFiles() const { return parts_; }
    int32_t referencedFilesCount() const override { return int32_t(parts_.size()); }
    // Where each part starts in the joined recording; empty before analysis, one entry per part
    // after it (an unreadable part starts where the next one does).
    std::vector<CMTime> partStartTimes() const;
    // The parts' problems found by the last analysis ("… could not be read", "… missing
    // between …"); empty when the recording is whole.
    std::vector<std::string> missingParts() const;

    std::string name() const override;
    std::string className() const override { return "SpannedMediaFile"; }

    // Analyses the parts (the first with the options, marked as a sync operation; the others
    // without any) and joins their tracks; "ReadAudioTc" then reads LTC over the join.
    void analyzeWithOptions(const MetadataDictionary& options) override;
    // LTC over the joined recording; the channel masks found go to the parts' tracks too.
    void readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) override;
    // An audio timecode is also given to every part, moved to where that part starts.
    std::shared_ptr<MediaTrack> addTimecodeTrackWithTCHelper(
        std::shared_ptr<TCHelper> tcHelper) override;
    void removeAllAudioTimecodeTracks() override;
    void copyAudioTimecodeUserBitsToMetadata() override;
    // The parts and their places, then the first part's own description.
    std::string extendedMetaDescription(int32_t level) const override;

  private:
    explicit SpannedMediaFile(std::vector<std::shared_ptr<MediaFile>> parts);

    void analyzeParts(const MetadataDictionary& options);
    void copyTracksOfFirstPart();
    void copyFactsOfFirstPart();
    void joinParts();
    // Where the part goes when the joined tracks end at `end`.
    CMTime startOfPart(const MediaFile& part, CMTime end);
    void appendPart(const MediaFile& part, CMTime start);

    const std::vector<std::shared_ptr<MediaFile>> parts_;
    std::vector<CMTime> partStarts_;    // guarded by mutex()
    std::vector<std::string> missing_;  // guarded by mutex()
};

}  // namespace vorlane
