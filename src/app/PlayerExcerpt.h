// Stills and sound excerpts of what the player shows for a master file: its synced composition
// as a double click builds it (laid out by the playback mapping), at composition timecodes as the
// player's timecode text reads them. The command line's `still` and `listen`.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/CMTime.h"
#include "platform/media/PlayableComposition.h"
#include "sync/MediaSyncComposition.h"

namespace vorlane {

// The four fields of a timecode as people type it: "10:00:05:00", with ';' or '.' before the
// frames for drop frame ("01:00:00;02"), or eight digits "10000500". Each field has one to two
// digits (frames up to three, for high rates).
struct TimecodeFields {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    bool operator==(const TimecodeFields&) const = default;
};

// Nothing for text that is not a timecode.
std::optional<TimecodeFields> timecodeFieldsOfText(const std::string& text);

struct ExcerptResult {
    bool written = false;
    std::string message;  // what was written, or why nothing was
};

class PlayerExcerpt {
  public:
    // The master's synced composition as the player plays it.
    PlayerExcerpt(const std::shared_ptr<MediaFile>& master, MediaPool& pool);

    const MediaSyncComposition& composition() const { return *clip_; }
    // The player's timecode text at a composition time.
    std::string timecodeText(CMTime time) const;
    // The composition time of the first frame at which the player's timecode text reads the
    // fields; with `endIncluded` the composition's end (where a range may end) counts too.
    // Nothing when the player never shows it.
    std::optional<CMTime> timeOfTimecode(const TimecodeFields& fields, bool endIncluded) const;
    // The span of timecodes the player shows, as "first to last" text.
    std::string timecodeSpanText() const;

    // The picture shown at the time as a PNG file of the picture's own size (black in gaps).
    ExcerptResult writeStill(CMTime time, const std::filesystem::path& destination) const;
    // The sound played from `from` up to `to`, every channel side by side, as a 32-bit float
    // WAVE file at the composition's sample rate.
    ExcerptResult writeSound(CMTime from, CMTime to,
                             const std::filesystem::path& destination) const;

  private:
    CMTime frameDuration() const;

    std::shared_ptr<MediaSyncComposition> clip_;
    std::shared_ptr<const PlayableComposition> playable_;
};

}  // namespace vorlane
