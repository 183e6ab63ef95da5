// The pictures of a playable composition's first video track at composition times, exact to the
// frame: the frame shown at time t is the source frame with the latest presentation time at or
// before t's source time, also in long groups of pictures (decoding runs from the sync sample at
// or before it, and frames before it are dropped). Reading forwards continues decoding where it
// stands; a step back or a jump seeks. Gaps and unreadable stretches are black. One thread at a
// time.
#pragma once

#include <memory>

#include "platform/CMTime.h"
#include "platform/media/CompositionFrame.h"
#include "platform/media/PlayableComposition.h"

namespace vorlane {

class CompositionVideoReader {
  public:
    explicit CompositionVideoReader(std::shared_ptr<const PlayableComposition> composition);
    ~CompositionVideoReader();
    CompositionVideoReader(const CompositionVideoReader&) = delete;
    CompositionVideoReader& operator=(const CompositionVideoReader&) = delete;

    // The first picture source's frame duration; 1/25 s without one.
    CMTime frameDuration() const;
    // The end of the video track; zero without one.
    CMTime duration() const;

    // The frame shown at the time; nullptr before zero and from the track's end on.
    std::shared_ptr<const CompositionFrame> frameAtTime(CMTime time);
    // The frames after and before a frame this reader answered.
    std::shared_ptr<const CompositionFrame> frameAfter(const CompositionFrame& frame);
    std::shared_ptr<const CompositionFrame> frameBefore(const CompositionFrame& frame);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorlane
