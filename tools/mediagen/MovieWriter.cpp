#include "mediagen/MovieWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "mediagen/FileOutput.h"
#include "platform/Process.h"

namespace vorlane::mediagen {
namespace {

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
}

bool runFfmpeg(std::vector<std::string> arguments, std::string* error) {
    arguments.insert(arguments.begin(),
                     {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"});
    const auto result = runProcess(arguments);
    if (!result) return fail(error, "cannot start ffmpeg (scripts/deps installs it)");
    if (result->exitStatus != 0) return fail(error, "ffmpeg failed: " + result->standardError);
    return true;
}

// A caption is drawn by ffmpeg's drawtext filter; characters that filter graphs or drawtext
// treat specially are replaced by blanks.
std::string captionText(const std::string& caption) {
    std::string text;
    for (const char c : caption) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '-' || c == '.' ||
                           c == '/' || c == '#' || c == '+';
        text += plain ? c : ' ';
    }
    return text;
}

// The drawtext form of a label: quoted for the filter graph, separators escaped for the
// filter's own option list.
std::string burnInText(const Timecode& label, const Rate& rate) {
    std::string text = "'";
    for (const char c : label.text(rate.dropFrame)) {
        if (c == ':' || c == ';') text += '\\';
        text += c;
    }
    return text + "'";
}

std::string videoFilters(const MovieOptions& options) {
    std::vector<std::string> filters;
    if (!options.flashFrames.empty()) {
        std::string frames;
        for (const int64_t frame : options.flashFrames)
            frames += (frames.empty() ? "" : "+") + ("eq(n," + std::to_string(frame) + ")");
        // Quoted, so that the filter graph does not split the expression at its commas.
        filters.push_back("drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='" + frames + "'");
    }
    const int fontSize = std::max(12, options.height / 12);
    if (options.burnIn) {
        filters.push_back("drawtext=timecode=" + burnInText(*options.burnIn, options.rate) +
                          ":rate=" + options.rate.fractionText() +
                          ":fontsize=" + std::to_string(fontSize) +
                          ":fontcolor=white:box=1:boxcolor=black@0.6:x=(w-tw)/2:y=h/12");
    }
    if (!options.caption.empty()) {
        filters.push_back("drawtext=text=" + captionText(options.caption) +
                          ":fontsize=" + std::to_string(fontSize * 2 / 3) +
                          ":fontcolor=white:box=1:boxcolor=black@0.6:x=(w-tw)/2:y=h/12+" +
                          std::to_string(fontSize * 3 / 2));
    }
    std::string chain;
    for (const std::string& filter : filters)
        chain += (chain.empty() ? "" : ",") + filter;
    return chain;
}

// The movie's length for ffmpeg's -t, which ends every stream there (-frames:v would end the
// sound with the last picture packet). Truncated to whole microseconds, so that the frame after
// the last never falls inside it.
std::string durationText(const MovieOptions& options) {
    const int64_t microseconds =
        options.frameCount * options.rate.denominator * 1000000 / options.rate.numerator;
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%lld.%06lld", (long long)(microseconds / 1000000),
                  (long long)(microseconds % 1000000));
    return text.data();
}

const char* formatName(MovieContainer container) {
    switch (container) {
        case MovieContainer::QuickTime:
            return "mov";
        case MovieContainer::Mpeg4:
            return "mp4";
        case MovieContainer::MpegTs:
            return "mpegts";
    }
    return "mov";
}

void addAudioCodec(const MovieOptions& options, std::vector<std::string>& arguments) {
    switch (options.audioCodec) {
        case MovieAudioCodec::Pcm16:
            arguments.insert(arguments.end(), {"-c:a", "pcm_s16le"});
            break;
        case MovieAudioCodec::Pcm24:
            arguments.insert(arguments.end(), {"-c:a", "pcm_s24le"});
            break;
        case MovieAudioCodec::Aac:
            arguments.insert(arguments.end(),
                             {"-c:a", "aac", "-b:a", std::to_string(options.aacBitrateKbps) + "k"});
            break;
    }
}

std::vector<std::string> movieArguments(const MovieOptions& options,
                                        const std::filesystem::path& output) {
    const std::string rate = options.rate.fractionText();
    std::vector<std::string> arguments = {"-f", "lavfi", "-i",
                                          options.pattern +
                                              "=size=" + std::to_string(options.width) + "x" +
                                              std::to_string(options.height) + ":rate=" + rate};
    for (const std::filesystem::path& track : options.audioTracks)
        arguments.insert(arguments.end(), {"-i", track.string()});
    arguments.insert(arguments.end(), {"-map", "0:v"});
    for (size_t i = 0; i < options.audioTracks.size(); ++i)
        arguments.insert(arguments.end(), {"-map", std::to_string(i + 1) + ":a"});
    const std::string filters = videoFilters(options);
    if (!filters.empty()) arguments.insert(arguments.end(), {"-vf", filters});
    // B-frames are left out so that picture time 0 is frame 0 without composition offsets.
    arguments.insert(arguments.end(),
                     {"-r", rate, "-t", durationText(options), "-c:v", "libx264", "-preset",
                      "veryfast", "-crf", "30", "-bf", "0", "-g",
                      std::to_string(options.rate.nominalFrames()), "-pix_fmt", "yuv420p"});
    if (!options.audioTracks.empty()) addAudioCodec(options, arguments);
    if (options.timecode)
        arguments.insert(arguments.end(),
                         {"-timecode", options.timecode->text(options.rate.dropFrame)});
    for (const auto& [key, value] : options.metadata)
        arguments.insert(arguments.end(), {"-metadata", key + "=" + value});
    if (!options.creationTime.empty())
        arguments.insert(arguments.end(), {"-metadata", "creation_time=" + options.creationTime});
    if (options.useMetadataTags)
        arguments.insert(arguments.end(), {"-movflags", "use_metadata_tags"});
    arguments.insert(arguments.end(), {"-f", formatName(options.container), output.string()});
    return arguments;
}

bool validMovie(const MovieOptions& options, std::string* error) {
    if (options.width <= 0 || options.height <= 0 || options.width % 2 != 0 ||
        options.height % 2 != 0)
        return fail(error, "the picture size must be positive and even");
    if (options.frameCount <= 0) return fail(error, "a movie needs at least one frame");
    if (options.rate.numerator <= 0 || options.rate.denominator <= 0)
        return fail(error, "the frame rate must be positive");
    if (options.container != MovieContainer::QuickTime && !options.audioTracks.empty() &&
        options.audioCodec != MovieAudioCodec::Aac)
        return fail(error, "MPEG-4 and transport streams carry AAC audio here, not PCM");
    if (options.container == MovieContainer::MpegTs && options.timecode)
        return fail(error, "transport streams have no timecode track");
    for (const Timecode* label : {options.timecode ? &*options.timecode : nullptr,
                                  options.burnIn ? &*options.burnIn : nullptr})
        if (label != nullptr && !frameNumber(*label, options.rate))
            return fail(error, "the timecode " + label->text(options.rate.dropFrame) +
                                   " does not exist at this frame rate");
    return true;
}

}  // namespace

bool writeMovie(const MovieOptions& options, std::string* error) {
    if (!validMovie(options, error)) return false;
    return writeThroughTemporary(
        options.path,
        [&](const std::filesystem::path& temporary) {
            return runFfmpeg(movieArguments(options, temporary), error);
        },
        error);
}

bool writeMp3(const Mp3Options& options, std::string* error) {
    std::vector<std::string> arguments = {"-i",
                                          options.source.string(),
                                          "-map",
                                          "0:a",
                                          "-c:a",
                                          "libmp3lame",
                                          "-b:a",
                                          std::to_string(options.bitrateKbps) + "k",
                                          "-id3v2_version",
                                          "3",
                                          "-write_id3v1",
                                          options.withId3v1 ? "1" : "0"};
    for (const auto& [key, value] : options.tags)
        arguments.insert(arguments.end(), {"-metadata", key + "=" + value});
    return writeThroughTemporary(
        options.path,
        [&](const std::filesystem::path& temporary) {
            std::vector<std::string> withOutput = arguments;
            withOutput.insert(withOutput.end(), {"-f", "mp3", temporary.string()});
            return runFfmpeg(withOutput, error);
        },
        error);
}

}  // namespace vorlane::mediagen
