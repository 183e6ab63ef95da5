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

std::string videoFilters(const MovieSpec& spec) {
    std::vector<std::string> filters;
    if (!spec.flashFrames.empty()) {
        std::string frames;
        for (const int64_t frame : spec.flashFrames)
            frames += (frames.empty() ? "" : "+") + ("eq(n," + std::to_string(frame) + ")");
        // Quoted, so that the filter graph does not split the expression at its commas.
        filters.push_back("drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='" + frames + "'");
    }
    const int fontSize = std::max(12, spec.height / 12);
    if (spec.burnIn) {
        filters.push_back("drawtext=timecode=" + burnInText(*spec.burnIn, spec.rate) + ":rate=" +
                          spec.rate.fractionText() + ":fontsize=" + std::to_string(fontSize) +
                          ":fontcolor=white:box=1:boxcolor=black@0.6:x=(w-tw)/2:y=h/12");
    }
    if (!spec.caption.empty()) {
        filters.push_back("drawtext=text=" + captionText(spec.caption) +
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
std::string durationText(const MovieSpec& spec) {
    const int64_t microseconds =
        spec.frameCount * spec.rate.denominator * 1000000 / spec.rate.numerator;
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

void addAudioCodec(const MovieSpec& spec, std::vector<std::string>& arguments) {
    switch (spec.audioCodec) {
        case MovieAudioCodec::Pcm16:
            arguments.insert(arguments.end(), {"-c:a", "pcm_s16le"});
            break;
        case MovieAudioCodec::Pcm24:
            arguments.insert(arguments.end(), {"-c:a", "pcm_s24le"});
            break;
        case MovieAudioCodec::Aac:
            arguments.insert(arguments.end(),
                             {"-c:a", "aac", "-b:a", std::to_string(spec.aacBitrateKbps) + "k"});
            break;
    }
}

std::vector<std::string> movieArguments(const MovieSpec& spec,
                                        const std::filesystem::path& output) {
    const std::string rate = spec.rate.fractionText();
    std::vector<std::string> arguments = {"-f", "lavfi", "-i",
                                          spec.pattern + "=size=" + std::to_string(spec.width) +
                                              "x" + std::to_string(spec.height) + ":rate=" + rate};
    for (const std::filesystem::path& track : spec.audioTracks)
        arguments.insert(arguments.end(), {"-i", track.string()});
    arguments.insert(arguments.end(), {"-map", "0:v"});
    for (size_t i = 0; i < spec.audioTracks.size(); ++i)
        arguments.insert(arguments.end(), {"-map", std::to_string(i + 1) + ":a"});
    const std::string filters = videoFilters(spec);
    if (!filters.empty()) arguments.insert(arguments.end(), {"-vf", filters});
    // B-frames are left out so that picture time 0 is frame 0 without composition offsets.
    arguments.insert(
        arguments.end(),
        {"-r", rate, "-t", durationText(spec), "-c:v", "libx264", "-preset", "veryfast", "-crf",
         "30", "-bf", "0", "-g", std::to_string(spec.rate.nominalFrames()), "-pix_fmt", "yuv420p"});
    if (!spec.audioTracks.empty()) addAudioCodec(spec, arguments);
    if (spec.timecode)
        arguments.insert(arguments.end(), {"-timecode", spec.timecode->text(spec.rate.dropFrame)});
    for (const auto& [key, value] : spec.metadata)
        arguments.insert(arguments.end(), {"-metadata", key + "=" + value});
    if (!spec.creationTime.empty())
        arguments.insert(arguments.end(), {"-metadata", "creation_time=" + spec.creationTime});
    if (spec.useMetadataTags) arguments.insert(arguments.end(), {"-movflags", "use_metadata_tags"});
    arguments.insert(arguments.end(), {"-f", formatName(spec.container), output.string()});
    return arguments;
}

bool validMovie(const MovieSpec& spec, std::string* error) {
    if (spec.width <= 0 || spec.height <= 0 || spec.width % 2 != 0 || spec.height % 2 != 0)
        return fail(error, "the picture size must be positive and even");
    if (spec.frameCount <= 0) return fail(error, "a movie needs at least one frame");
    if (spec.rate.numerator <= 0 || spec.rate.denominator <= 0)
        return fail(error, "the frame rate must be positive");
    if (spec.container != MovieContainer::QuickTime && !spec.audioTracks.empty() &&
        spec.audioCodec != MovieAudioCodec::Aac)
        return fail(error, "MPEG-4 and transport streams carry AAC audio here, not PCM");
    if (spec.container == MovieContainer::MpegTs && spec.timecode)
        return fail(error, "transport streams have no timecode track");
    for (const Timecode* label :
         {spec.timecode ? &*spec.timecode : nullptr, spec.burnIn ? &*spec.burnIn : nullptr})
        if (label != nullptr && !frameNumber(*label, spec.rate))
            return fail(error, "the timecode " + label->text(spec.rate.dropFrame) +
                                   " does not exist at this frame rate");
    return true;
}

}  // namespace

bool writeMovie(const MovieSpec& spec, std::string* error) {
    if (!validMovie(spec, error)) return false;
    return writeThroughTemporary(
        spec.path,
        [&](const std::filesystem::path& temporary) {
            return runFfmpeg(movieArguments(spec, temporary), error);
        },
        error);
}

bool writeMp3(const Mp3Spec& spec, std::string* error) {
    std::vector<std::string> arguments = {"-i",
                                          spec.source.string(),
                                          "-map",
                                          "0:a",
                                          "-c:a",
                                          "libmp3lame",
                                          "-b:a",
                                          std::to_string(spec.bitrateKbps) + "k",
                                          "-id3v2_version",
                                          "3",
                                          "-write_id3v1",
                                          spec.withId3v1 ? "1" : "0"};
    for (const auto& [key, value] : spec.tags)
        arguments.insert(arguments.end(), {"-metadata", key + "=" + value});
    return writeThroughTemporary(
        spec.path,
        [&](const std::filesystem::path& temporary) {
            std::vector<std::string> withOutput = arguments;
            withOutput.insert(withOutput.end(), {"-f", "mp3", temporary.string()});
            return runFfmpeg(withOutput, error);
        },
        error);
}

}  // namespace vorlane::mediagen
