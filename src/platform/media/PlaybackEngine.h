// What a front end drives to play a composition: transport, the sound sink's side, the picture
// due at the clock and the meters' levels. CompositionPlayer is the engine; tests of the front
// ends' logic put a stand-in in its place.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/CMTime.h"
#include "platform/media/CompositionAudioMixer.h"
#include "platform/media/CompositionFrame.h"

namespace vorlane {

class PlaybackEngine {
  public:
    virtual ~PlaybackEngine() = default;

    virtual int32_t sampleRate() const = 0;
    virtual int channelCount() const = 0;
    virtual CMTime duration() const = 0;
    virtual CMTime frameDuration() const = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    virtual void seekToTime(CMTime time) = 0;
    // Whether the picture at the position of the last seek or step is decoded (or there is
    // none to show there): the seek has completed.
    virtual bool seekCompleted() const = 0;
    virtual void stepByFrames(int direction) = 0;

    virtual void readAudio(float* samples, int64_t frameCount) = 0;
    virtual void audioFramesPlayed(int64_t frameCount) = 0;

    virtual CMTime currentTime() const = 0;
    virtual std::shared_ptr<const CompositionFrame> frameDue() = 0;
    virtual AudioLevels levels() const = 0;
};

}  // namespace vorlane
