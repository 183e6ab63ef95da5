// The main window's preview player without a toolkit: the composition it plays, the time
// observer that moves the timeline's play head and the timecode text, muting around starts and
// seeks, scrubbing from the timeline, and the transport (play/pause, frame steps, J/K/L).
//
// The window drives it: it calls timeObserverTick() every 1/12 s and shows what it is told
// through PreviewPlayerView, its picture timer asks for frameDue(), and its sound output pulls
// readAudio() and reports audioFramesPlayed() (from any thread). Without a sound device the
// window reports elapsed wall-clock time as played frames; the engine's clock follows either.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/CMTime.h"
#include "platform/media/PlayableComposition.h"
#include "platform/media/PlaybackEngine.h"

namespace vorlane {

class MediaComposition;

// What the player shows outside the engine's picture. Called on the main thread.
class PreviewPlayerView {
  public:
    virtual ~PreviewPlayerView() = default;
    // The timeline's play head, in seconds of composition time.
    virtual void setPlayHead(double seconds) = 0;
    // The composition's timecode at the player's time.
    virtual void setTimecodeText(const std::string& text) = 0;
};

// What the timeline reports while the user clicks and drags in it.
enum class TrackViewDrag : int { Start = 1, End = 2, Move = 6 };

class PreviewPlayerController {
  public:
    using EngineFactory = std::function<std::unique_ptr<PlaybackEngine>(
        std::shared_ptr<const PlayableComposition> composition)>;

    // Observer ticks after a start or seek before the sound is heard again.
    static constexpr int kUnmuteTicks = 10;
    // The time observer's period.
    static constexpr CMTime kObserverInterval = {1, 12, kCMTimeFlags_Valid, 0};

    // Without a factory the composition player of the media layer plays.
    explicit PreviewPlayerController(EngineFactory factory = {});
    ~PreviewPlayerController();
    PreviewPlayerController(const PreviewPlayerController&) = delete;
    PreviewPlayerController& operator=(const PreviewPlayerController&) = delete;

    void setView(PreviewPlayerView* view) { view_ = view; }

    // A new engine on the composition's playback mapping (nothing plays when the mapping is
    // rejected), only the picture of its first video track, muted, at zero; then playing or
    // paused.
    void setupPlayerWithComposition(const std::shared_ptr<MediaComposition>& composition,
                                    bool startPlaying);
    const std::shared_ptr<MediaComposition>& composition() const { return composition_; }
    // False when the playback mapping rejected the composition.
    bool playable() const { return playable_; }

    // Every 1/12 s: the play head follows the player unless the user scrubs, the timecode text
    // shows the player's time, and the sound is muted while paused and unmuted
    // kUnmuteTicks ticks after a start or seek.
    void timeObserverTick();

    // The player's rate: 0 paused, 1 playing, other values shuttle (J/K/L) through seeks,
    // without sound.
    double rate() const { return rate_; }
    void play();
    void pause();
    void playPause();
    // L: playing forwards, each press faster (and out of reverse one step at a time).
    void shuttleForward();
    // J: reverse, each press faster backwards (and out of fast forward one step at a time).
    void shuttleBackward();
    // Pauses on the next or previous frame.
    void stepByFrames(int direction);
    void seekToTime(CMTime time);
    CMTime currentTime() const;
    CMTime duration() const;

    // Scrubbing: the timeline's position in seconds with the drag type (TrackViewDrag). A drag
    // pauses the player, seeks while it moves (a move is held back while a seek is in flight,
    // and the latest one follows when it completes), lands on the release position and
    // restores the rate it had.
    void trackViewPosition(double seconds, int dragType);
    bool scrubbing() const { return scrubbing_; }
    bool seekInFlight() const { return seekInFlight_; }

    bool muted() const { return muted_; }

    // The sound sink's side, from any thread: the composition's sound with the mute applied
    // as a short ramp (no clicks). `channels` is the sink's layout; silence while it is not the
    // playing composition's.
    int32_t sampleRate() const;
    int channelCount() const;
    void readAudio(float* samples, int64_t frameCount, int channels);
    void audioFramesPlayed(int64_t frameCount);
    // Peak and RMS per channel of the sound last handed to the sink.
    AudioLevels levels() const;

    // The picture due at the clock (the window's picture timer); nullptr until one is decoded.
    std::shared_ptr<const CompositionFrame> frameDue();

    // The composition's playback mapping with only the picture of the video track whose ID is
    // the composition's first video track's ID (the first video track when none has it).
    static std::shared_ptr<const PlayableComposition> playableCompositionOf(
        const std::shared_ptr<MediaComposition>& composition);

  private:
    void setRate(double rate);
    void startSeek(CMTime time);
    void settleSeek();
    void advanceShuttle();
    void showTime(CMTime time);
    void restartMuteCountdown();
    void applyGain(float* samples, int64_t frameCount, int channels);

    EngineFactory factory_;
    PreviewPlayerView* view_ = nullptr;
    std::shared_ptr<MediaComposition> composition_;
    bool playable_ = true;

    // The sink's thread reads through the engine while the main thread may replace it.
    mutable std::mutex engineMutex_;
    std::unique_ptr<PlaybackEngine> engine_;

    double rate_ = 0;
    double rateBeforeSeeking_ = 0;
    CMTime shuttleTime_ = kCMTimeZero;
    bool scrubbing_ = false;
    bool seekInFlight_ = false;
    std::optional<CMTime> pendingSeek_;
    CMTime lastSeek_ = kCMTimeInvalid;

    std::atomic<bool> muted_{true};
    int unmuteCountdown_ = kUnmuteTicks;
    float gain_ = 0;  // the sink's thread only
};

}  // namespace vorlane
