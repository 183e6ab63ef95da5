#include "app/PreviewPlayerController.h"

#include <algorithm>
#include <iterator>

#include "platform/media/CompositionPlayer.h"
#include "sync/MediaComposition.h"
#include "sync/MediaMapping.h"

namespace vorlane {

namespace {

// The timeline's positions are converted at this time scale.
constexpr CMTimeScale kTrackViewTimescale = 90000;
// The mute fades in and out over this time, short enough to go unnoticed, long enough not to
// click.
constexpr double kGainRampSeconds = 0.02;
// The J/K/L ladder of rates, slowest reverse to fastest forward.
constexpr double kShuttleRates[] = {-8, -4, -2, -1, 1, 2, 4, 8};

std::unique_ptr<PlaybackEngine> compositionPlayer(
    std::shared_ptr<const PlayableComposition> composition) {
    return std::make_unique<CompositionPlayer>(std::move(composition));
}

}  // namespace

PreviewPlayerController::PreviewPlayerController(EngineFactory factory)
    : factory_(factory ? std::move(factory) : EngineFactory(compositionPlayer)),
      engine_(factory_(nullptr)) {}

PreviewPlayerController::~PreviewPlayerController() = default;

std::shared_ptr<const PlayableComposition> PreviewPlayerController::playableCompositionOf(
    const std::shared_ptr<MediaComposition>& composition) {
    if (!composition) return nullptr;
    auto mapped = MediaMapping::avCompositionForMediaObject(composition, MediaMappingPlayback);
    const auto firstVideo = composition->firstVideoTrack();
    if (!mapped || !firstVideo) return mapped;
    const PlayableCompositionTrack* enabled = mapped->trackWithTrackID(firstVideo->mediaTrackID());
    if (!enabled || enabled->mediaType() != AssetMediaType::Video) {
        const auto& tracks = mapped->tracks();
        const auto video = std::find_if(tracks.begin(), tracks.end(), [](const auto& track) {
            return track.mediaType() == AssetMediaType::Video;
        });
        enabled = video == tracks.end() ? nullptr : &*video;
    }
    auto shown = std::make_shared<PlayableComposition>();
    for (const PlayableCompositionTrack& track : mapped->tracks()) {
        if (track.mediaType() == AssetMediaType::Video && &track != enabled) continue;
        shown->addMutableTrackWithMediaType(track.mediaType(), track.trackID())
            ->setSegments(track.segments());
    }
    return shown;
}

// Set-up

void PreviewPlayerController::setupPlayerWithComposition(
    const std::shared_ptr<MediaComposition>& composition, bool startPlaying) {
    composition_ = composition;
    const auto playable = playableCompositionOf(composition);
    playable_ = playable || !composition;
    std::unique_ptr<PlaybackEngine> engine = factory_(playable);
    {
        const std::lock_guard lock(engineMutex_);
        engine_.swap(engine);
        gain_ = 0;
    }
    engine.reset();  // the previous engine stops outside the lock
    rate_ = 0;
    rateBeforeSeeking_ = 0;
    scrubbing_ = false;
    seekInFlight_ = false;
    pendingSeek_.reset();
    lastSeek_ = kCMTimeZero;
    restartMuteCountdown();
    showTime(kCMTimeZero);
    if (startPlaying) setRate(1);
}

// The time observer

void PreviewPlayerController::timeObserverTick() {
    settleSeek();
    if (rate_ == 1 && !engine_->isPlaying()) rate_ = 0;  // played to the end
    if (rate_ != 0 && rate_ != 1) advanceShuttle();
    showTime(engine_->currentTime());
    if (rate_ == 0)
        restartMuteCountdown();
    else if (muted_ && --unmuteCountdown_ <= 0)
        muted_ = false;
}

void PreviewPlayerController::showTime(CMTime time) {
    if (!view_) return;
    if (!scrubbing_) view_->setPlayHead(CMTimeGetSeconds(time));
    view_->setTimecodeText(composition_ ? composition_->timeStringForCompositionTime(time) : "");
}

void PreviewPlayerController::restartMuteCountdown() {
    muted_ = true;
    unmuteCountdown_ = kUnmuteTicks;
}

// Transport

CMTime PreviewPlayerController::currentTime() const {
    return engine_->currentTime();
}

CMTime PreviewPlayerController::duration() const {
    return engine_->duration();
}

void PreviewPlayerController::setRate(double rate) {
    rate_ = rate;
    if (rate != 1) {
        engine_->pause();
        shuttleTime_ = engine_->currentTime();
        return;
    }
    engine_->play();
    if (!engine_->isPlaying() && engine_->duration() > kCMTimeZero) {
        // At the end: play again from the start.
        startSeek(kCMTimeZero);
        engine_->play();
    }
}

void PreviewPlayerController::play() {
    setRate(1);
}

void PreviewPlayerController::pause() {
    setRate(0);
    showTime(engine_->currentTime());
}

void PreviewPlayerController::playPause() {
    if (rate_ != 0)
        pause();
    else
        play();
}

void PreviewPlayerController::shuttleForward() {
    const auto faster = std::find_if(std::begin(kShuttleRates), std::end(kShuttleRates),
                                     [this](double rate) { return rate > rate_; });
    if (rate_ == 0)
        setRate(1);
    else if (faster != std::end(kShuttleRates))
        setRate(*faster);
}

void PreviewPlayerController::shuttleBackward() {
    const auto slower = std::find_if(std::rbegin(kShuttleRates), std::rend(kShuttleRates),
                                     [this](double rate) { return rate < rate_; });
    if (rate_ == 0)
        setRate(-1);
    else if (slower != std::rend(kShuttleRates))
        setRate(*slower);
}

void PreviewPlayerController::advanceShuttle() {
    const CMTime end = engine_->duration();
    CMTime next = shuttleTime_ + CMTimeMakeWithSeconds(rate_ * CMTimeGetSeconds(kObserverInterval),
                                                       kTrackViewTimescale);
    if (next <= kCMTimeZero || next >= end) {
        next = std::clamp(next, kCMTimeZero, end);
        rate_ = 0;
    }
    shuttleTime_ = next;
    if (seekInFlight_)
        pendingSeek_ = next;
    else
        startSeek(next);
}

void PreviewPlayerController::stepByFrames(int direction) {
    rate_ = 0;
    engine_->stepByFrames(direction);
    seekInFlight_ = true;
    pendingSeek_.reset();
    lastSeek_ = engine_->currentTime();
    restartMuteCountdown();
    showTime(lastSeek_);
}

void PreviewPlayerController::seekToTime(CMTime time) {
    startSeek(time);
}

void PreviewPlayerController::startSeek(CMTime time) {
    engine_->seekToTime(time);
    seekInFlight_ = true;
    pendingSeek_.reset();
    lastSeek_ = time;
    restartMuteCountdown();
    showTime(engine_->currentTime());
}

void PreviewPlayerController::settleSeek() {
    if (!seekInFlight_ || !engine_->seekCompleted()) return;
    seekInFlight_ = false;
    if (pendingSeek_) startSeek(*pendingSeek_);
}

// Scrubbing

void PreviewPlayerController::trackViewPosition(double seconds, int dragType) {
    const CMTime time = CMTimeMakeWithSeconds(seconds, kTrackViewTimescale);
    if (view_) view_->setPlayHead(seconds);
    settleSeek();
    switch (TrackViewDrag(dragType)) {
        case TrackViewDrag::Start:
            rateBeforeSeeking_ = rate_;
            setRate(0);
            scrubbing_ = true;
            startSeek(time);
            break;
        case TrackViewDrag::Move:
            if (seekInFlight_)
                pendingSeek_ = time;
            else
                startSeek(time);
            break;
        case TrackViewDrag::End:
            scrubbing_ = false;
            // The picture lands where the mouse was released, also when the last move was held
            // back by a seek in flight.
            if (seekInFlight_)
                pendingSeek_ = time;
            else if (time != lastSeek_)
                startSeek(time);
            setRate(rateBeforeSeeking_);
            break;
    }
}

// The sink's side

int32_t PreviewPlayerController::sampleRate() const {
    const std::lock_guard lock(engineMutex_);
    return engine_->sampleRate();
}

int PreviewPlayerController::channelCount() const {
    const std::lock_guard lock(engineMutex_);
    return engine_->channelCount();
}

void PreviewPlayerController::readAudio(float* samples, int64_t frameCount, int channels) {
    const std::lock_guard lock(engineMutex_);
    if (channels != engine_->channelCount()) {
        // The sink still runs at the previous composition's layout.
        std::fill(samples, samples + frameCount * channels, 0.0f);
        return;
    }
    engine_->readAudio(samples, frameCount);
    applyGain(samples, frameCount, channels);
}

void PreviewPlayerController::applyGain(float* samples, int64_t frameCount, int channels) {
    const float target = muted_ ? 0.0f : 1.0f;
    if (gain_ == target) {
        if (target == 0.0f) std::fill(samples, samples + frameCount * channels, 0.0f);
        return;
    }
    const float step = float(1.0 / (kGainRampSeconds * engine_->sampleRate()));
    for (int64_t frame = 0; frame < frameCount; ++frame) {
        gain_ = gain_ < target ? std::min(gain_ + step, target) : std::max(gain_ - step, target);
        float* first = samples + frame * channels;
        std::transform(first, first + channels, first,
                       [this](float value) { return value * gain_; });
    }
}

void PreviewPlayerController::audioFramesPlayed(int64_t frameCount) {
    const std::lock_guard lock(engineMutex_);
    engine_->audioFramesPlayed(frameCount);
}

AudioLevels PreviewPlayerController::levels() const {
    const std::lock_guard lock(engineMutex_);
    return engine_->levels();
}

std::shared_ptr<const CompositionFrame> PreviewPlayerController::frameDue() {
    settleSeek();
    return engine_->frameDue();
}

}  // namespace vorlane
