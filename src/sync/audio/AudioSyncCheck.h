// The sync check: whether a synced clip's camera sound agrees with the sound recorder's at the
// offset the timecodes give. The camera's scratch sound (one channel, 20 s from the middle of
// its overlap with the sound file) is aligned with the recorder's mix or boom around
// the timecode's offset; the two offsets are compared. A take longer than two minutes can also
// have its clock drift measured.
//
//     const AudioSyncCheck check = checkAudioSyncOfFile(camera, index, settings);
//     if (check.checked()) file.setInfoText("synced, " + check.text());
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sync/MediaComposition.h"
#include "sync/audio/AudioDrift.h"

namespace vorlane {

class MediaFile;
class MediaSyncComposition;

struct AudioSyncCheckOptions {
    // Camera sound read from the middle of the overlap; the alignment compares its most active
    // 6 s. A check with 60 s costs 1.6 times as much as with 20 s (bench_audio_check).
    double excerptSeconds = 20.0;
    double searchSeconds = 1.0;  // lags looked at on either side of the timecode's
    bool measureDrift = false;   // also the drift, for takes longer than two minutes
};

struct AudioSyncCheck {
    enum class Verdict { NotChecked, Agrees, Disagrees, CannotConfirm };

    Verdict verdict = Verdict::NotChecked;  // not checked: no sound file overlaps the picture
    std::string reason;                     // why the sound cannot confirm
    std::shared_ptr<MediaFile> recorder;    // the sound file compared
    double frameRate = 0.0;                 // of the camera's timecode
    int32_t recorderSampleRate = 0;
    // The recorder's file time at the camera's file time zero: by the timecodes (unknown while
    // the camera has no sound to place), and by the sound.
    std::optional<double> timecodeOffsetSeconds;
    double audioOffsetSeconds = 0.0;
    double confidence = 0.0;
    double takeSeconds = 0.0;  // the overlap of picture and sound file
    std::optional<AudioDrift> drift;

    bool checked() const { return verdict != Verdict::NotChecked; }
    bool hasAudioOffset() const {
        return verdict == Verdict::Agrees || verdict == Verdict::Disagrees;
    }
    // How much later the timecode places the picture against the sound than the sound itself
    // does: +3 frames when the camera's timecode runs three frames ahead of the recorder's.
    double differenceSeconds() const {
        return timecodeOffsetSeconds.value_or(audioOffsetSeconds) - audioOffsetSeconds;
    }
    double differenceFrames() const { return differenceSeconds() * frameRate; }
    // "sound agrees (±N samples)", "sound disagrees: +3 frames 2 ms (confidence 0.94)" or
    // "sound cannot confirm: REASON"; empty when not checked.
    std::string text() const;
    // "+3 frames 2 ms": whole frames and the milliseconds beyond them.
    std::string differenceText() const;
};

// Sound this far from the timecode's offset still agrees: half a frame. A camera hears the set
// about 3 ms per metre later than the boom, so distance alone stays well inside it.
double audioSyncAgreementSeconds(double frameRate);

// Checks a synced clip built with the camera's sound kept (keepOriginalAudio): its master's
// sound against the sound file that overlaps it longest (one whose iXML names a mix or boom
// channel first).
AudioSyncCheck checkAudioSync(const MediaSyncComposition& clip,
                              const AudioSyncCheckOptions& options = {});

// Builds that clip for `file` over the pool snapshot with the settings (camera sound kept),
// then checks it. Not checked for files without picture or without timecode.
AudioSyncCheck checkAudioSyncOfFile(const std::shared_ptr<MediaFile>& file,
                                    std::shared_ptr<const MediaSyncIndex> pool,
                                    CompositionSettings settings,
                                    const AudioSyncCheckOptions& options = {});

}  // namespace vorlane
