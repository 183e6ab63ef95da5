#include "mediagen/DemoShoot.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "mediagen/AudioFileWriter.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/FileOutput.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/MovieWriter.h"
#include "mediagen/Signals.h"

namespace vorlane::mediagen {
namespace {

constexpr int sampleRate = demoShootSampleRate;
constexpr uint32_t userBits = 0x17052400;  // the shooting date, as recorders often set them
constexpr const char* shootDate = "2024-05-17";
constexpr const char* markerText = "Vorlane demo shoot, layout 2\n";
constexpr Rate rate = demoShootRate;

int64_t firstSample(const DemoFile& file) {
    return samplesSinceMidnight(file.start, rate, sampleRate);
}

int64_t frameOf(const Timecode& label) {
    return frameNumber(label, rate).value_or(0);
}

size_t sampleCount(const DemoFile& file) {
    return size_t(file.seconds) * sampleRate;
}

// What a microphone at the set hears: music, hand claps, the room and its own hiss. All
// recordings of a moment share the music, the claps and the room, sample for sample (the room's
// sound lets the music, which repeats, be matched by sound).
Samples sceneSound(const DemoShoot& shoot, const DemoFile& file, double gainDb, uint32_t seed) {
    const int64_t first = firstSample(file);
    const size_t count = sampleCount(file);
    Samples sound = chords(count, sampleRate, -18.0 + gainDb, first);
    for (const Timecode& clap : shoot.claps) {
        const int64_t at = samplesSinceMidnight(clap, rate, sampleRate) - first;
        if (at < 0 || at >= int64_t(count)) continue;
        // A 2 ms pulse: a sharp leading edge exactly on the clap's frame.
        mixInto(sound, click(96, 0, -3.0 + gainDb, 96), size_t(at));
    }
    mixInto(sound, ambience(count, -30.0 + gainDb, first), 0);
    mixInto(sound, whiteNoise(-66.0 + gainDb, count, seed), 0);
    return sound;
}

Samples ltcFor(const DemoFile& file, std::string* error) {
    LtcOptions options;
    options.start = file.start;
    options.rate = rate;
    options.userBits = userBits;
    options.sampleRate = sampleRate;
    options.durationSeconds = file.seconds;
    options.levelDbfs = -12.0;
    const auto signal = generateLtc(options, error);
    return signal ? signal->samples : Samples();
}

std::string isoTime(const Timecode& start, const char* zone) {
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%sT%02d:%02d:%02d%s", shootDate, start.hours,
                  start.minutes, start.seconds, zone);
    return text.data();
}

std::vector<int64_t> clapFrames(const DemoShoot& shoot, const DemoFile& file) {
    std::vector<int64_t> frames;
    for (const Timecode& clap : shoot.claps) {
        const int64_t frame = frameOf(clap) - frameOf(file.start);
        if (frame >= 0 && frame < int64_t(file.seconds) * rate.nominalFrames())
            frames.push_back(frame);
    }
    return frames;
}

std::string baseName(const DemoFile& file) {
    return std::filesystem::path(file.name).stem().string();
}

class ShootWriter {
  public:
    ShootWriter(const DemoShoot& shoot, std::filesystem::path work, std::string* error)
        : shoot_(shoot), work_(std::move(work)), error_(error) {}

    bool write(const DemoFile& file, uint32_t seed) {
        switch (file.device) {
            case DemoDevice::CameraA:
                return cameraA(file, seed);
            case DemoDevice::CameraB:
                return cameraB(file, seed);
            case DemoDevice::Recorder:
            case DemoDevice::RecorderSplit:
                return recorder(file, seed);
            case DemoDevice::PhoneRecorder:
                return phone(file, seed);
            case DemoDevice::LavRecorder:
                return lav(file, seed);
        }
        return false;
    }

  private:
    std::filesystem::path target(const DemoFile& file) const { return shoot_.folder / file.name; }

    // A WAV in the work folder that ffmpeg turns into a movie's sound track or an MP3.
    std::optional<std::filesystem::path> workWav(const DemoFile& file,
                                                 std::vector<Samples> channels) {
        AudioFileOptions options;
        options.path = work_ / (baseName(file) + ".wav");
        options.format = SampleFormat::Float32;
        options.sampleRate = sampleRate;
        options.channels = std::move(channels);
        if (!writeAudioFile(options, error_)) return std::nullopt;
        return options.path;
    }

    MovieOptions movie(const DemoFile& file, const std::string& camera) const {
        MovieOptions options;
        options.path = target(file);
        options.rate = rate;
        options.frameCount = int64_t(file.seconds) * rate.nominalFrames();
        options.burnIn = file.start;
        options.caption =
            "CAM " + camera + "  " + baseName(file) + "  SC " + file.scene + " TK " + file.take;
        options.flashFrames = clapFrames(shoot_, file);
        options.metadata = {{"com.apple.quicktime.make", "Vorlane"},
                            {"com.apple.quicktime.model", "Demo Camera " + camera},
                            {"com.apple.quicktime.creationdate", isoTime(file.start, "+0000")},
                            {"com.apple.proapps.reel", camera + "001"},
                            {"com.apple.proapps.scene", file.scene},
                            {"com.apple.proapps.shot", file.take}};
        options.useMetadataTags = true;
        options.creationTime = isoTime(file.start, "Z");
        return options;
    }

    bool cameraA(const DemoFile& file, uint32_t seed) {
        const auto sound = workWav(file, {sceneSound(shoot_, file, -6.0, seed)});
        if (!sound) return false;
        MovieOptions options = movie(file, "A");
        options.container = MovieContainer::QuickTime;
        options.timecode = file.start;
        options.audioTracks = {*sound};
        options.audioCodec = MovieAudioCodec::Pcm16;
        return writeMovie(options, error_);
    }

    bool cameraB(const DemoFile& file, uint32_t seed) {
        Samples ltc = ltcFor(file, error_);
        if (ltc.empty()) return false;
        const auto sound = workWav(file, {sceneSound(shoot_, file, -3.0, seed), std::move(ltc)});
        if (!sound) return false;
        MovieOptions options = movie(file, "B");
        options.container = MovieContainer::Mpeg4;
        options.pattern = "smptehdbars";
        options.audioTracks = {*sound};
        options.audioCodec = MovieAudioCodec::Aac;
        return writeMovie(options, error_);
    }

    bool recorder(const DemoFile& file, uint32_t seed) {
        RecorderTake take;
        take.path = target(file);
        take.start = file.start;
        take.rate = rate;
        take.sampleRate = sampleRate;
        take.format = SampleFormat::Pcm24;
        take.project = "Vorlane Demo";
        take.scene = file.scene;
        take.take = file.take;
        take.tape = "DAY01";
        take.originator = "Vorlane DemoRec 8";
        take.originationDate = shootDate;
        take.fileUid = "VORLANE-DEMO-" + baseName(file);
        take.userBits = userBits;
        take.user = {{"AUDIO_RECORDER_MODEL", "DemoRec 8"},
                     {"AUDIO_RECORDER_SERIAL_NUMBER", "DR8-0042"},
                     {"AUDIO_RECORDER_FIRMWARE", "1.00"}};
        static const std::array<const char*, 3> inputs = {"Boom", "Lav", "Plant"};
        if (file.device == DemoDevice::Recorder) {
            take.channels = {sceneSound(shoot_, file, 0.0, seed),
                             sceneSound(shoot_, file, -4.0, seed + 100)};
            take.channelNames = {inputs[0], inputs[1]};
        } else {
            const size_t input = size_t(std::clamp(file.splitIndex, 1, 3)) - 1;
            const std::string family = baseName(file).substr(0, baseName(file).size() - 2);
            take.channels = {sceneSound(shoot_, file, -2.0 * double(input), seed)};
            take.channelNames = {inputs[input]};
            take.firstChannelIndex = int(input) + 1;
            take.fileSet =
                IxmlFileSet{3, "VORLANE-DEMO-" + family, family, std::string(1, char('A' + input))};
        }
        return writeRecorderTake(take, error_).has_value();
    }

    bool phone(const DemoFile& file, uint32_t seed) {
        const auto sound = workWav(file, {sceneSound(shoot_, file, -8.0, seed)});
        if (!sound) return false;
        const std::string timecode = file.start.text();
        Mp3Options options;
        options.path = target(file);
        options.source = *sound;
        options.tags = {{"album", "TC=" + timecode + " FR=25"},
                        {"artist", "Vorlane demo phone"},
                        {"title", baseName(file) + " SC=" + file.scene + " TK=" + file.take},
                        {"comment", "TC=" + timecode + " FR=25"},
                        {"TIMECODE", timecode}};
        options.withId3v1 = true;
        return writeMp3(options, error_);
    }

    bool lav(const DemoFile& file, uint32_t seed) {
        Samples ltc = ltcFor(file, error_);
        if (ltc.empty()) return false;
        AudioFileOptions options;
        options.path = target(file);
        options.container = AudioContainer::Aiff;
        options.format = SampleFormat::Pcm16;
        options.sampleRate = sampleRate;
        options.channels = {sceneSound(shoot_, file, -5.0, seed), std::move(ltc)};
        return writeAudioFile(options, error_);
    }

    const DemoShoot& shoot_;
    std::filesystem::path work_;
    std::string* error_;
};

bool complete(const std::filesystem::path& folder) {
    std::ifstream marker(folder / demoShootMarker, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(marker),
                           std::istreambuf_iterator<char>()};
    return text == markerText;
}

bool writeText(const std::filesystem::path& path, const std::string& text, std::string* error) {
    return writeThroughTemporary(
        path,
        [&](const std::filesystem::path& temporary) {
            std::ofstream out(temporary, std::ios::binary);
            out << text;
            out.close();
            if (!out && error != nullptr) *error = "cannot write " + path.string();
            return bool(out);
        },
        error);
}

}  // namespace

Timecode DemoFile::end() const {
    return addFrames(start, int64_t(seconds) * rate.nominalFrames(), rate);
}

std::string DemoFile::timecodeSource() const {
    switch (device) {
        case DemoDevice::CameraA:
            return "QuickTime timecode track (tmcd)";
        case DemoDevice::CameraB:
            return "LTC on audio channel 2 (no tmcd)";
        case DemoDevice::Recorder:
        case DemoDevice::RecorderSplit:
            return "bext TimeReference + iXML";
        case DemoDevice::PhoneRecorder:
            return "ID3v2 album text TC= FR=";
        case DemoDevice::LavRecorder:
            return "LTC on channel 2";
    }
    return {};
}

DemoShoot demoShootPlan(const std::filesystem::path& folder) {
    DemoShoot shoot;
    shoot.folder = folder;
    const auto split = [](const char* name, int index) {
        return DemoFile{name, DemoDevice::RecorderSplit, {10, 2, 28, 0}, 12, "14", "1", index};
    };
    shoot.files = {
        {"SC12_T01.WAV", DemoDevice::Recorder, {10, 0, 0, 0}, 12, "12", "1"},
        {"A001_C001.mov", DemoDevice::CameraA, {10, 0, 2, 0}, 10, "12", "1"},
        {"B_0001.mp4", DemoDevice::CameraB, {10, 0, 3, 10}, 10, "12", "1"},
        {"SC12_T02.WAV", DemoDevice::Recorder, {10, 1, 3, 0}, 12, "12", "2"},
        {"A001_C002.mov", DemoDevice::CameraA, {10, 1, 5, 12}, 10, "12", "2"},
        {"B_0002.mp4", DemoDevice::CameraB, {10, 1, 4, 0}, 10, "12", "2"},
        {"HANDY_0001.mp3", DemoDevice::PhoneRecorder, {10, 1, 6, 0}, 10, "12", "2"},
        split("SC14_T01_1.WAV", 1),
        split("SC14_T01_2.WAV", 2),
        split("SC14_T01_3.WAV", 3),
        {"A001_C003.mov", DemoDevice::CameraA, {10, 2, 30, 0}, 10, "14", "1"},
        {"LAV_0001.aif", DemoDevice::LavRecorder, {10, 2, 29, 0}, 10, "14", "1"},
    };
    shoot.claps = {{10, 0, 5, 0}, {10, 1, 8, 0}, {10, 2, 32, 0}};
    return shoot;
}

namespace {

// Holds an exclusive lock on "<folder>.lock" while alive: processes that make the same shoot side
// by side (test processes) take turns, and the later ones find it complete.
class ShootLock {
  public:
    explicit ShootLock(const std::filesystem::path& folder) {
        std::error_code error;
        std::filesystem::create_directories(folder.parent_path(), error);
        descriptor_ = ::open((folder.string() + ".lock").c_str(), O_CREAT | O_RDWR, 0644);
        if (descriptor_ >= 0) ::flock(descriptor_, LOCK_EX);
    }
    ~ShootLock() {
        if (descriptor_ < 0) return;
        ::flock(descriptor_, LOCK_UN);
        ::close(descriptor_);
    }
    ShootLock(const ShootLock&) = delete;
    ShootLock& operator=(const ShootLock&) = delete;

  private:
    int descriptor_ = -1;
};

}  // namespace

std::optional<DemoShoot> makeDemoShoot(const std::filesystem::path& folder, std::string* error) {
    const ShootLock lock(folder);
    DemoShoot shoot = demoShootPlan(folder);
    if (complete(folder)) return shoot;
    std::error_code fileError;
    std::filesystem::create_directories(folder, fileError);
    const std::filesystem::path work = folder / ".work";
    std::filesystem::remove_all(work, fileError);
    std::filesystem::remove(folder / demoShootMarker, fileError);
    if (!std::filesystem::create_directories(work, fileError)) {
        if (error != nullptr) *error = "cannot create " + work.string();
        return std::nullopt;
    }
    ShootWriter writer(shoot, work, error);
    bool written = true;
    for (size_t i = 0; i < shoot.files.size() && written; ++i)
        written = writer.write(shoot.files[i], uint32_t(i + 1));
    std::filesystem::remove_all(work, fileError);
    if (!written || !writeText(folder / "README.txt", demoShootReadme(shoot), error) ||
        !writeText(folder / demoShootMarker, markerText, error))
        return std::nullopt;
    shoot.made = true;
    return shoot;
}

}  // namespace vorlane::mediagen
