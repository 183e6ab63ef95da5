#include "formats/asset/MediaTools.h"

#include <fstream>
#include <iterator>

#include "mediagen/AudioFileWriter.h"
#include "support/TestSupport.h"

namespace vorlane::test {

std::string ffprobeTimecode(const std::filesystem::path& file) {
    const std::string text = runTool(
        {"ffprobe", "-v", "error", "-print_format", "json", "-show_streams", file.string()});
    const auto probe = nlohmann::json::parse(text, nullptr, false);
    if (probe.is_discarded()) return {};
    for (const auto& stream : probe["streams"]) {
        if (stream.value("codec_tag_string", "") != "tmcd") continue;
        if (stream.contains("tags") && stream["tags"].contains("timecode"))
            return stream["tags"]["timecode"];
    }
    return {};
}

std::string mediainfoTimecode(const std::filesystem::path& file) {
    const std::string text = runTool({"mediainfo", "--Output=JSON", file.string()});
    const auto info = nlohmann::json::parse(text, nullptr, false);
    if (info.is_discarded() || !info.contains("media")) return {};
    for (const auto& track : info["media"]["track"]) {
        if (track.value("@type", "") == "Other" && track.contains("TimeCode_FirstFrame"))
            return track["TimeCode_FirstFrame"];
    }
    return {};
}

nlohmann::json exiftoolFacts(const std::filesystem::path& file, bool numbers) {
    std::vector<std::string> command = {"exiftool", "-j", "-G1", "-a", file.string()};
    if (numbers) command.insert(command.begin() + 1, "-n");
    const std::string text = runTool(command);
    const auto facts = nlohmann::json::parse(text, nullptr, false);
    if (facts.is_discarded() || !facts.is_array() || facts.empty()) return nlohmann::json::object();
    return facts[0];
}

std::filesystem::path writeStereoTone(const std::filesystem::path& path, double seconds) {
    const int rate = 48000;
    const auto count = size_t(seconds * rate);
    mediagen::AudioFileOptions options;
    options.path = path;
    options.format = mediagen::SampleFormat::Pcm16;
    options.sampleRate = rate;
    options.channels = {mediagen::sine(440, -12, count, rate),
                        mediagen::sine(660, -12, count, rate)};
    std::string error;
    EXPECT_TRUE(mediagen::writeAudioFile(options, &error)) << error;
    return path;
}

void copyPrefix(const std::filesystem::path& from, const std::filesystem::path& to, size_t length) {
    const std::string bytes = readFile(from);
    writeFile(to, bytes.substr(0, std::min(length, bytes.size())));
}

}  // namespace vorlane::test
