// Reads a media file's audio timecode: walks the chosen windows of the file (reading-window
// settings 0-4) and the chosen audio tracks and channels, feeds their sound through an
// AudioBufferReader to the LTC decoder (timecode/ltc/LtcDecoder.h), and attaches the timecode
// each channel gives as the file's audio timecode, with its index and a readable source. A
// track's windows are tried in order until one gives a timecode on any channel.
//
// One reader serves one request: create it, set the parameters, call findAudioTimecode() once.
#pragma once

#include <cstdint>
#include <memory>

#include "media/MediaFile.h"

namespace vorlane {

class LtcReader {
  public:
    // Nothing when the file is missing or has no audio. The video rate is the first video
    // track's, the timescale of the start times the file's best one.
    static std::unique_ptr<LtcReader> initWithMediaFile(std::shared_ptr<MediaFile> mediaFile);

    // The request's parameters, set before findAudioTimecode(): frame rate (0 detects), track
    // and channel (−1: all), offset in frames, reading windows and edge setting.
    void setRequest(const AudioTimecodeRequest& request) { request_ = request; }

    // The whole pass over the file: replaces its audio timecodes with those found and sets the
    // channel mask of every examined audio track (bit n: channel n carries LTC). Answers the
    // file's hasAudioTimecode(), or false when the pass is abandoned (track index out of range,
    // reading-window setting outside 0-4, an unusable frame rate).
    bool findAudioTimecode();

    // What the last findAudioTimecode() read: sample frames decoded over all windows and bytes
    // read from the file.
    int64_t samplesDecoded() const { return samplesDecoded_; }
    uint64_t bytesRead() const { return bytesRead_; }

  private:
    explicit LtcReader(std::shared_ptr<MediaFile> mediaFile);

    std::shared_ptr<MediaFile> mediaFile_;
    AudioTimecodeRequest request_;
    double videoFrameRate_ = 0.0;
    int32_t preferredTimescale_ = 0;
    int64_t samplesDecoded_ = 0;
    uint64_t bytesRead_ = 0;
};

}  // namespace vorlane
