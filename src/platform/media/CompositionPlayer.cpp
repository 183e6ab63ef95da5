#include "platform/media/CompositionPlayer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/media/CompositionVideoReader.h"

namespace vorlane {
namespace {

// Pictures decoded ahead of the clock: about half a second, to ride out a busy processor.
constexpr size_t kVideoAhead = 12;
// Sound decoded ahead of the sink, in frames per second of sound, and the block the worker mixes.
constexpr int64_t kAudioAheadDivisor = 2;
constexpr int64_t kAudioBlock = 2048;

}  // namespace

struct CompositionPlayer::State {
    std::shared_ptr<const PlayableComposition> composition;
    CompositionVideoReader video;
    CompositionAudioMixer audio;
    int64_t endFrame = 0;  // the composition's end at the sound's rate

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool playing = false;
    uint64_t generation = 0;  // counts seeks, so work of an earlier position is thrown away

    // Sink side.
    int64_t clockFrame = 0;      // the frame being heard
    int64_t deliveredFrame = 0;  // the next frame handed to the sink
    std::deque<float> sound;     // decoded from deliveredFrame on
    AudioLevels lastLevels;
    // Picture side.
    std::deque<std::shared_ptr<const CompositionFrame>> pictures;
    std::shared_ptr<const CompositionFrame> shown;
    int64_t dropped = 0;
    int64_t late = 0;
    const CompositionFrame* lateFrame = nullptr;  // the shown frame that stayed past its end
    // Worker side: where decoding continues.
    CMTime nextPictureTime = kCMTimeZero;
    int64_t nextSoundFrame = 0;

    std::thread worker;

    explicit State(std::shared_ptr<const PlayableComposition> played)
        : composition(std::move(played)), video(composition), audio(composition) {
        const CMTime end = composition ? composition->duration() : kCMTimeZero;
        endFrame =
            CMTimeConvertScale(end, audio.sampleRate(), CMTimeRoundingMethod::RoundHalfAwayFromZero)
                .value;
        worker = std::thread([this] { run(); });
    }

    ~State() {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        worker.join();
    }

    CMTime timeOfFrame(int64_t frame) const { return CMTimeMake(frame, audio.sampleRate()); }
    int64_t frameOfTime(CMTime time) const {
        return CMTimeConvertScale(time, audio.sampleRate(),
                                  CMTimeRoundingMethod::RoundTowardNegativeInfinity)
            .value;
    }
    int64_t soundFramesQueued() const {
        return audio.channelCount() ? int64_t(sound.size()) / audio.channelCount() : 0;
    }
    bool wantsPicture() const {
        return pictures.size() < kVideoAhead && nextPictureTime < video.duration();
    }
    bool wantsSound() const {
        return audio.channelCount() > 0 && nextSoundFrame < endFrame &&
               soundFramesQueued() < audio.sampleRate() / kAudioAheadDivisor;
    }

    void run() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (!wantsPicture() && !wantsSound()) {
                wake.wait(lock);
                continue;
            }
            if (wantsPicture()) decodePicture(lock);
            if (wantsSound()) mixSound(lock);
        }
    }

    void decodePicture(std::unique_lock<std::mutex>& lock) {
        const uint64_t started = generation;
        const CMTime time = nextPictureTime;
        lock.unlock();
        auto frame = video.frameAtTime(time);
        lock.lock();
        if (generation != started) return;
        if (!frame) {
            nextPictureTime = video.duration();
            return;
        }
        const CMTime end = frame->time + frame->duration;
        nextPictureTime = end > time ? end : time + video.frameDuration();
        pictures.push_back(std::move(frame));
    }

    void mixSound(std::unique_lock<std::mutex>& lock) {
        const uint64_t started = generation;
        const int64_t first = nextSoundFrame;
        const int64_t count = std::min(kAudioBlock, endFrame - first);
        std::vector<float> block;
        lock.unlock();
        audio.mix(first, count, block);
        lock.lock();
        if (generation != started) return;
        sound.insert(sound.end(), block.begin(), block.end());
        nextSoundFrame = first + count;
    }

    void seek(CMTime time) {
        {
            const std::lock_guard lock(mutex);
            ++generation;
            const CMTime clamped =
                std::clamp(time, kCMTimeZero, composition ? composition->duration() : kCMTimeZero);
            clockFrame = deliveredFrame = nextSoundFrame = frameOfTime(clamped);
            nextPictureTime = clamped;
            sound.clear();
            pictures.clear();
            shown.reset();
        }
        wake.notify_all();
    }

    void read(float* samples, int64_t frameCount) {
        const int channels = audio.channelCount();
        std::fill(samples, samples + frameCount * channels, 0.0f);
        {
            const std::lock_guard lock(mutex);
            if (playing) {
                // Without sound tracks the sink hands out time alone.
                const int64_t available = channels ? soundFramesQueued() : frameCount;
                const int64_t taken = std::min(
                    {frameCount, available, std::max<int64_t>(endFrame - deliveredFrame, 0)});
                const auto end = sound.begin() + std::ptrdiff_t(taken * channels);
                std::copy(sound.begin(), end, samples);
                sound.erase(sound.begin(), end);
                deliveredFrame += taken;
            }
            lastLevels = measureLevels(samples, frameCount, channels);
        }
        wake.notify_all();
    }

    void played(int64_t frameCount) {
        const std::lock_guard lock(mutex);
        clockFrame = std::min(clockFrame + std::max<int64_t>(frameCount, 0), deliveredFrame);
        if (clockFrame >= endFrame) playing = false;
    }

    std::shared_ptr<const CompositionFrame> due() {
        bool taken = false;
        std::shared_ptr<const CompositionFrame> frame;
        {
            const std::lock_guard lock(mutex);
            const CMTime now = timeOfFrame(clockFrame);
            while (!pictures.empty() && pictures.front()->time <= now) {
                if (taken) ++dropped;  // replaced before anyone saw it
                shown = std::move(pictures.front());
                pictures.pop_front();
                taken = true;
            }
            const bool overdue =
                shown && shown->time + shown->duration <= now && nextPictureTime < video.duration();
            if (overdue && pictures.empty() && lateFrame != shown.get()) {
                ++late;
                lateFrame = shown.get();
            }
            frame = shown;
        }
        if (taken) wake.notify_all();
        return frame;
    }
};

CompositionPlayer::CompositionPlayer(std::shared_ptr<const PlayableComposition> composition)
    : state_(std::make_unique<State>(std::move(composition))) {}

CompositionPlayer::~CompositionPlayer() = default;

int32_t CompositionPlayer::sampleRate() const {
    return state_->audio.sampleRate();
}

int CompositionPlayer::channelCount() const {
    return state_->audio.channelCount();
}

CMTime CompositionPlayer::duration() const {
    return state_->composition ? state_->composition->duration() : kCMTimeZero;
}

CMTime CompositionPlayer::frameDuration() const {
    return state_->video.frameDuration();
}

void CompositionPlayer::play() {
    const std::lock_guard lock(state_->mutex);
    state_->playing = state_->clockFrame < state_->endFrame;
}

void CompositionPlayer::pause() {
    const std::lock_guard lock(state_->mutex);
    state_->playing = false;
}

bool CompositionPlayer::isPlaying() const {
    const std::lock_guard lock(state_->mutex);
    return state_->playing;
}

void CompositionPlayer::seekToTime(CMTime time) {
    state_->seek(time);
}

bool CompositionPlayer::seekCompleted() const {
    const std::lock_guard lock(state_->mutex);
    return state_->shown || !state_->pictures.empty() ||
           state_->nextPictureTime >= state_->video.duration();
}

void CompositionPlayer::stepByFrames(int direction) {
    pause();
    const auto shown = frameDue();
    CMTime target = currentTime();
    if (shown && direction > 0) target = shown->time + shown->duration;
    if (shown && direction < 0) target = shown->time - CMTimeMake(1, 1000000);
    if (!shown) target = target + CMTimeMultiply(frameDuration(), direction);
    seekToTime(target);
}

void CompositionPlayer::readAudio(float* samples, int64_t frameCount) {
    state_->read(samples, frameCount);
}

void CompositionPlayer::audioFramesPlayed(int64_t frameCount) {
    state_->played(frameCount);
}

CMTime CompositionPlayer::currentTime() const {
    const std::lock_guard lock(state_->mutex);
    return state_->timeOfFrame(state_->clockFrame);
}

std::shared_ptr<const CompositionFrame> CompositionPlayer::frameDue() {
    return state_->due();
}

int64_t CompositionPlayer::droppedFrameCount() const {
    const std::lock_guard lock(state_->mutex);
    return state_->dropped;
}

int64_t CompositionPlayer::lateFrameCount() const {
    const std::lock_guard lock(state_->mutex);
    return state_->late;
}

AudioLevels CompositionPlayer::levels() const {
    const std::lock_guard lock(state_->mutex);
    return state_->lastLevels;
}

}  // namespace vorlane
