#include "sync/audio/SpeechCorpus.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>

#include "mediagen/AudioFileWriter.h"
#include "platform/Process.h"

namespace vorlane::test {
namespace {

constexpr int32_t kSceneRate = 48000;
// Passages 0 to 11 make the scenes; the rest are spoken only to cameras of unrelated pairs.
constexpr int kScenePassages = 12;
constexpr int kPassages = 16;
constexpr double kSpeechDbfs = -26.0;
constexpr double kBoomNoiseBelowSpeechDb = 40.0;
constexpr double kNoisePoolSeconds = 120.0;

const char* const kSentences[] = {
    "Scene twelve, take three. Camera A rolling, sound speed.",
    "The rain in the valley stopped before the trucks arrived.",
    "Nobody on the crew wanted to move the lights again.",
    "Look at the map, we are three miles north of where we should be.",
    "I told you the bridge would not hold another winter.",
    "Her brother kept the letters in a tin box under the stairs.",
    "If you open that door, the whole house will hear you.",
    "We need one more take with the dog walking through frame.",
    "The station clock was seven minutes fast, as it always was.",
    "Bring the blue van around to the back of the hotel.",
    "Everything he owned fitted into two suitcases and a guitar.",
    "Quiet please, we are going for picture, rolling, and action.",
    "The fisherman said the storm would reach the harbour by noon.",
    "Do you remember the summer we painted the boat yellow?",
    "Three coffees, one without sugar, and a glass of water.",
    "The lawyer read the will twice and then folded his glasses.",
    "Turn left at the church and follow the river to the mill.",
    "My grandmother never trusted anyone who whistled indoors.",
    "There is a light on in the lighthouse, but nobody lives there.",
    "Check the gate, we had a hair in the last shot.",
    "The train to the coast leaves at a quarter past six.",
    "He laughed so hard that the waiter dropped a plate.",
    "Keep your voice down, the baby has only just fallen asleep.",
    "The orchard behind the school is full of wasps in August.",
    "Please remember to sign the release form before you leave.",
    "She sold the piano to pay for the journey to Lisbon.",
    "Nobody has climbed that side of the mountain in winter.",
    "The radio said there would be fog on the motorway tonight.",
    "That is a wrap on the kitchen, moving to the garden.",
    "Every Tuesday the market fills the square with noise.",
    "The captain counted the crates twice and found one missing.",
    "I think the parrot understands more than it lets on.",
    "Hold the roll, there is a plane going over.",
    "Their wedding photographs were taken in a thunderstorm.",
    "The old cinema on the corner is becoming a supermarket.",
    "Pass me the torch, the fuse box is behind the freezer.",
    "We drove all night and reached the border at dawn.",
    "A single red balloon drifted over the football match.",
    "The museum closes early on the first Monday of the month.",
    "Thank you everyone, that was lovely, let us go again from the top.",
    "His handwriting was so small that nobody could read the recipe.",
    "The ferry was cancelled, so we slept in the car by the pier.",
    "Someone has eaten the last of the birthday cake.",
    "Wind the clock on Sunday evenings, never in the morning.",
    "The neighbours complained about the drums again.",
    "Snow fell on the vineyard two weeks before the harvest.",
    "Lock the studio when you leave and give the key to Martin.",
    "The lighthouse keeper wrote a letter to the king every year.",
};
const char* const kVoices[] = {"en-us",         "en-gb+f3", "en-gb-scotland+m2", "en-029+f2",
                               "en-gb-x-rp+m4", "en-us+f4", "en-gb-x-gbclan",    "en-us+m3"};

struct Sound {
    std::vector<float> samples;
    int32_t rate = 0;
};

Sound readSound(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::vector<float> interleaved(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    Sound sound{std::vector<float>(size_t(info.frames)), info.samplerate};
    for (size_t n = 0; n < sound.samples.size(); ++n)
        sound.samples[n] = interleaved[n * size_t(info.channels)];
    return sound;
}

void writeSound(const std::filesystem::path& path, std::span<const float> samples, int32_t rate) {
    mediagen::AudioFileOptions options;
    options.path = path;
    options.format = mediagen::SampleFormat::Float32;
    options.sampleRate = rate;
    options.channels = {mediagen::Samples(samples.begin(), samples.end())};
    std::string error;
    EXPECT_TRUE(mediagen::writeAudioFile(options, &error)) << error;
}

double rms(std::span<const float> samples) {
    double sum = 0.0;
    for (const float sample : samples)
        sum += double(sample) * sample;
    return samples.empty() ? 0.0 : std::sqrt(sum / double(samples.size()));
}

void scaleTo(std::vector<float>& samples, double dbfs) {
    const double gain = std::pow(10.0, dbfs / 20.0) / rms(samples);
    for (float& sample : samples)
        sample = float(sample * gain);
}

// Adds `pool` from a seeded offset (wrapping round) at `gain`.
void mixPool(std::vector<float>& samples, const std::vector<float>& pool, double gain,
             uint32_t seed) {
    std::mt19937 random(seed);
    size_t at = std::uniform_int_distribution<size_t>(0, pool.size() - 1)(random);
    for (float& sample : samples) {
        sample = float(sample + gain * pool[at]);
        if (++at == pool.size()) at = 0;
    }
}

}  // namespace

SpeechCorpus* SpeechCorpus::shared() {
    if (!programExists("espeak-ng") || !programExists("sox")) return nullptr;
    static SpeechCorpus corpus;
    return &corpus;
}

SpeechCorpus::SpeechCorpus() {
    constexpr size_t kSentenceCount = std::size(kSentences);
    for (int p = 0; p < kPassages; ++p) {
        std::string text;
        for (int s = 0; s < 3; ++s)
            text += std::string(kSentences[size_t(p * 3 + s) % kSentenceCount]) + " ";
        const auto spoken = folder_ / ("passage" + std::to_string(p) + ".wav");
        const auto resampled = folder_ / ("passage" + std::to_string(p) + "-48k.wav");
        runTool({"espeak-ng", "-w", spoken.string(), "-v", kVoices[p % std::size(kVoices)], "-s",
                 std::to_string(140 + (p * 7) % 50), "-p", std::to_string(30 + (p * 13) % 50),
                 text});
        runTool({"sox", spoken.string(), "-r", "48000", resampled.string()});
        Sound passage = readSound(resampled);
        scaleTo(passage.samples, kSpeechDbfs);
        passages_.push_back(std::move(passage.samples));
    }
    // One run of pink noise, cut into pools that share no part of sox's random sequence.
    const auto noise = folder_ / "noise.wav";
    runTool({"sox", "-R", "-n", "-r", "48000", "-c", "1", "-b", "32", "-e", "floating-point",
             noise.string(), "synth", std::to_string(3 * kNoisePoolSeconds + 10), "pinknoise",
             "highpass", "40"});
    const auto pool = [&](int index) {
        const Sound all = readSound(noise);
        const auto length = size_t(kNoisePoolSeconds * kSceneRate);
        const auto first = all.samples.begin() + ptrdiff_t(size_t(index) * length);
        return std::vector<float>(first, first + ptrdiff_t(length));
    };
    roomNoise48_ = pool(0);
    boomNoise_ = pool(1);
    roomNoise44_ = resampledBySox(pool(2), kSceneRate, 44100);
}

std::vector<float> SpeechCorpus::resampledBySox(const std::vector<float>& samples, int32_t fromRate,
                                                int32_t toRate) {
    const auto in = folder_ / ("convert" + std::to_string(fileCounter_++) + ".wav");
    const auto out = folder_ / ("converted" + std::to_string(fileCounter_++) + ".wav");
    writeSound(in, samples, fromRate);
    runTool({"sox", in.string(), out.string(), "rate", std::to_string(toRate)});
    std::vector<float> converted = readSound(out).samples;
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return converted;
}

std::vector<float> SpeechCorpus::scene(std::vector<int> passages, uint32_t seed) const {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> gap(0.3, 1.5);
    std::vector<float> samples(
        size_t(std::uniform_real_distribution<double>(1.0, 3.0)(random) * kSceneRate), 0.0f);
    for (const int passage : passages) {
        const auto& speech = passages_[size_t(passage)];
        samples.insert(samples.end(), speech.begin(), speech.end());
        samples.resize(samples.size() + size_t(gap(random) * kSceneRate), 0.0f);
    }
    samples.resize(samples.size() + kSceneRate, 0.0f);
    return samples;
}

std::vector<float> SpeechCorpus::cameraFromScene(const std::vector<float>& scene,
                                                 int64_t firstSample, int64_t sampleCount,
                                                 int32_t rate, const std::string& speed) {
    // Two seconds before the cut let the reverberation build up.
    const int64_t from = std::max<int64_t>(0, firstSample - 2 * kSceneRate);
    const int64_t to =
        std::min<int64_t>(int64_t(scene.size()),
                          firstSample + (sampleCount * kSceneRate / rate) * 11 / 10 + kSceneRate);
    const auto in = folder_ / ("scene" + std::to_string(fileCounter_++) + ".wav");
    const auto out = folder_ / ("camera" + std::to_string(fileCounter_++) + ".wav");
    writeSound(in, std::span<const float>(scene).subspan(size_t(from), size_t(to - from)),
               kSceneRate);
    std::vector<std::string> command = {"sox", in.string(), out.string(), "trim",
                                        std::to_string(firstSample - from) + "s"};
    if (!speed.empty()) command.insert(command.end(), {"speed", speed});
    command.insert(command.end(),
                   {"reverb", "50", "50", "80", "lowpass", "4000", "gain", "-15", "rate",
                    std::to_string(rate), "trim", "0", std::to_string(sampleCount) + "s"});
    runTool(command);
    std::vector<float> camera = readSound(out).samples;
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return camera;
}

void SpeechCorpus::addNoise(std::vector<float>& samples, int32_t rate, double snrDb,
                            uint32_t seed) const {
    const auto& pool = rate == 44100 ? roomNoise44_ : roomNoise48_;
    mixPool(samples, pool, rms(samples) / rms(pool) * std::pow(10.0, -snrDb / 20.0), seed);
}

SoundPair SpeechCorpus::pair(uint32_t seed, double snrDb, const PairOptions& options) {
    std::mt19937 random(seed * 7919u + 17u);
    std::vector<int> order(kScenePassages);
    for (int p = 0; p < kScenePassages; ++p)
        order[size_t(p)] = p;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<float> boomScene =
        scene(options.passages.empty() ? std::vector<int>(order.begin(), order.begin() + 5)
                                       : options.passages,
              seed);
    const bool related = options.related;
    double clipSeconds = options.clipSeconds;

    SoundPair pair;
    pair.recorderRate = seed % 2 == 0 ? 48000 : 44100;
    pair.cameraRate = seed % 2 == 0 ? 44100 : 48000;
    const std::vector<float> otherScene =
        related ? std::vector<float>{} : scene({12, 13, 14, 15}, seed + 1);
    const auto& cameraScene = related ? boomScene : otherScene;
    const double randomSeconds = std::uniform_real_distribution<double>(6.0, 20.0)(random);
    if (clipSeconds <= 0.0) clipSeconds = randomSeconds;
    const auto clipSamples = int64_t(clipSeconds * kSceneRate);
    const int64_t firstSample = std::uniform_int_distribution<int64_t>(
        kSceneRate / 2, int64_t(cameraScene.size()) - clipSamples - kSceneRate / 2)(random);
    pair.camera = cameraFromScene(cameraScene, firstSample, int64_t(clipSeconds * pair.cameraRate),
                                  pair.cameraRate);
    addNoise(pair.camera, pair.cameraRate, snrDb, seed);
    pair.truthSeconds = double(firstSample) / kSceneRate;
    pair.timecodeSeconds =
        pair.truthSeconds + std::uniform_real_distribution<double>(-0.3, 0.3)(random);

    mixPool(boomScene, boomNoise_,
            std::pow(10.0, (kSpeechDbfs - kBoomNoiseBelowSpeechDb) / 20.0) / rms(boomNoise_), seed);
    pair.recorder = pair.recorderRate == kSceneRate
                        ? std::move(boomScene)
                        : resampledBySox(boomScene, kSceneRate, pair.recorderRate);
    return pair;
}

SoundPair SpeechCorpus::driftingTake(double minutes, double ppm) {
    std::mt19937 random(4242u);
    std::vector<int> order;
    std::vector<float> takeScene;
    // Passages in shuffled rounds until the scene outlasts the take by half a minute.
    while (double(takeScene.size()) < (minutes * 60.0 + 30.0) * kSceneRate) {
        std::vector<int> round(kScenePassages);
        for (int p = 0; p < kScenePassages; ++p)
            round[size_t(p)] = p;
        std::shuffle(round.begin(), round.end(), random);
        order.insert(order.end(), round.begin(), round.end());
        takeScene = scene(order, 4242u);
    }
    SoundPair take;
    take.recorderRate = 48000;
    take.cameraRate = 44100;
    const int64_t firstSample = 5 * kSceneRate + 123;
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.9f", 1.0 + ppm * 1e-6);
    take.camera = cameraFromScene(takeScene, firstSample, int64_t(minutes * 60.0 * take.cameraRate),
                                  take.cameraRate, speed);
    addNoise(take.camera, take.cameraRate, 10.0, 4243u);
    take.truthSeconds = double(firstSample) / kSceneRate;
    take.timecodeSeconds = take.truthSeconds + 0.1;
    mixPool(takeScene, boomNoise_,
            std::pow(10.0, (kSpeechDbfs - kBoomNoiseBelowSpeechDb) / 20.0) / rms(boomNoise_),
            4244u);
    take.recorder = std::move(takeScene);
    return take;
}

}  // namespace vorlane::test
