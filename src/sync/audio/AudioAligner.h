// Finding where a camera's sound lies in a recorder's, by cross-correlating the two waveforms
// (band-limited, spectrally flattened and normalised, computed with FFTs) and refining the peak
// between samples. Either signal may have any sample rate; level differences, room tone, a
// low-passed, delayed and reverberant camera microphone are expected.
//
// A narrow lag range (the sync check: a little around the offset the timecode gives; up to a
// minute wide) is searched on the waveforms directly, with the camera's most active 6 s. A wide
// one (a file without timecode against a recording, or against a day of them) is first
// searched on the loudness contours (AudioEnvelope.h), and the best places are then compared on
// the waveforms with the camera's most active 30 s.
//
// Plain C++ over sample buffers: the caller reads the sound (one channel, as floats, at the
// file's rate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "sync/audio/AudioAlignment.h"
#include "sync/audio/AudioEnvelope.h"
#include "sync/audio/AudioExcerpt.h"

namespace vorlane {

// Why one side's sound cannot be compared at all, if it cannot: none, silent, shorter than one
// second, or a sample rate outside 1 kHz … 768 kHz.
std::optional<AudioSyncProblem> excerptProblem(const AudioExcerpt& excerpt, bool camera);

// Where in `recorder` the camera's sound lies, among the lags of `range`.
AudioAlignment alignAudio(const AudioExcerpt& camera, const AudioExcerpt& recorder, LagRange range);

// `count` samples of recording `recording` from sample `firstSample` on (which may lie before
// its start), silence outside the recording.
using RecordingReader =
    std::function<std::vector<float>(size_t recording, int64_t firstSample, size_t count)>;

struct AudioPlacement {
    size_t recording = 0;      // index into the envelopes
    AudioAlignment alignment;  // lag from the start of that recording
};

// Where a clip without timecode sounds among a day's recordings, given each recording's
// envelope (built once while the recordings are read) and a reader for short stretches of
// them.
AudioPlacement placeAudio(const AudioExcerpt& clip, std::span<const AudioEnvelope> recordings,
                          const RecordingReader& read);

// For the drift measurement: the waveform match of the camera window [startSeconds,
// startSeconds + seconds) read at `clockRatio` (AnalysisSignal.h), among recorder times
// [minimumSeconds, maximumSeconds) of the window's first sample. `lagSeconds` of the answer is
// that recorder time.
AudioAlignment alignAudioWindow(const AudioExcerpt& camera, double startSeconds, double seconds,
                                double clockRatio, const AudioExcerpt& recorder,
                                LagRange windowRange);

}  // namespace vorlane
