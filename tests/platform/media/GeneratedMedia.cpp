#include "platform/media/GeneratedMedia.h"

#include <map>
#include <mutex>
#include <vector>

#include "support/TestSupport.h"

namespace vorlane::test {
namespace {

using Arguments = std::vector<std::string>;

const Arguments kPicture25 = {"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25"};
// Two different tones, so swapped or mixed channels show.
Arguments stereoTone(int rate, double seconds) {
    return {
        "-f", "lavfi", "-i",
        "aevalsrc=0.5*sin(2*PI*440*t)+0.1*sin(2*PI*3520*t)|0.4*sin(2*PI*660*t)*cos(2*PI*3*t):s=" +
            std::to_string(rate) + ":d=" + std::to_string(seconds)};
}

Arguments join(std::initializer_list<Arguments> parts) {
    Arguments all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Input and encoding arguments of every file, without the output name.
const std::map<std::string, Arguments>& recipes() {
    static const std::map<std::string, Arguments> table = {
        {"qt25.mov",
         join({kPicture25,
               stereoTone(48000, 2),
               {"-t", "2", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "pcm_s24le",
                "-timecode", "10:00:00:00", "-metadata:s:v:0", "reel_name=A001", "-metadata",
                "com.apple.quicktime.reel=REEL7", "-metadata", "creation_time=2024-05-06T07:08:09Z",
                "-movflags", "use_metadata_tags"}})},
        {"faststart.mov", join({kPicture25,
                                stereoTone(48000, 4),
                                {"-t", "4", "-c:v", "libx264", "-c:a", "pcm_s16le", "-timecode",
                                 "00:59:50:00", "-movflags", "faststart"}})},
        {"df2997.mov", join({{"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30000/1001"},
                             stereoTone(48000, 2),
                             {"-t", "2", "-c:v", "libx264", "-flags", "+ildct+ilme", "-field_order",
                              "tt", "-c:a", "aac", "-aac_pns", "0", "-timecode", "01:00:00;00"}})},
        {"m23976.mp4",
         join({{"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=24000/1001"},
               stereoTone(48000, 2),
               {"-t", "2", "-c:v", "libx264", "-c:a", "aac", "-metadata", "title=Vorlane"}})},
        {"anamorphic.mov",
         {"-f", "lavfi", "-i", "testsrc2=size=720x576:rate=25", "-t", "1", "-vf", "setsar=64/45",
          "-c:v", "mpeg4"}},
        {"dnxhd.mov",
         {"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25", "-t", "0.08", "-c:v", "dnxhd",
          "-b:v", "36M", "-pix_fmt", "yuv422p"}},
        // Long groups of pictures with B-frames, and a second picture for compositions.
        {"gop.mov", join({kPicture25,
                          stereoTone(48000, 12),
                          {"-t", "12", "-c:v", "libx264", "-g", "250", "-bf", "3", "-pix_fmt",
                           "yuv420p", "-c:a", "pcm_s24le"}})},
        {"gop265.mov", join({kPicture25,
                             {"-t", "12", "-c:v", "libx265", "-preset", "fast", "-x265-params",
                              "log-level=error:keyint=250:min-keyint=250:scenecut=0:bframes=3",
                              "-tag:v", "hvc1", "-pix_fmt", "yuv420p"}})},
        // H.264 with open groups of pictures: the pictures 97 to 99 lead the sync sample at 100.
        {"gopopen.mov", join({kPicture25,
                              {"-t", "6", "-c:v", "libx264", "-bf", "3", "-x264-params",
                               "open-gop=1:keyint=100:min-keyint=100:scenecut=0:b-adapt=0",
                               "-pix_fmt", "yuv420p"}})},
        {"other.mov",
         {"-f", "lavfi", "-i", "testsrc=size=320x180:rate=25", "-f", "lavfi", "-i",
          "aevalsrc=0.25*sin(2*PI*1000*t):s=48000:d=4", "-t", "4", "-c:v", "libx264", "-g", "50",
          "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le"}},
        // A -12 dBFS sine on the first channel, silence on the second.
        {"meter.wav",
         {"-f", "lavfi", "-i", "aevalsrc=0.251189*sin(2*PI*1000*t)|0:s=48000:d=2", "-c:a",
          "pcm_s24le"}},
        // Half a second of silence, then a 1 kHz sine from phase 0, at 44.1 kHz.
        {"onset44.wav",
         {"-f", "lavfi", "-i",
          "aevalsrc=if(gte(t\\,0.5)\\,0.5*sin(2*PI*1000*(t-0.5))\\,0):s=44100:d=2", "-c:a",
          "pcm_s24le"}},
        {"tone16.wav", join({stereoTone(48000, 3), {"-c:a", "pcm_s16le"}})},
        {"tone24.wav", join({stereoTone(48000, 3), {"-c:a", "pcm_s24le"}})},
        {"tone32.wav", join({stereoTone(48000, 3), {"-c:a", "pcm_s32le"}})},
        {"tone.aif", join({stereoTone(44100, 3), {"-c:a", "pcm_s16be"}})},
        // Without noise substitution: its random generator runs on from the decoder's start, so
        // a decode that starts elsewhere differs from a whole decode in those bands.
        {"tone.m4a", join({stereoTone(48000, 3), {"-c:a", "aac", "-aac_pns", "0"}})},
        {"tone.mp3",
         join({stereoTone(44100, 3),
               {"-c:a", "libmp3lame", "-metadata", "album=TC=01:00:00:00 FR=25 SC=12"}})},
        {"tone.ac3", join({stereoTone(48000, 3), {"-c:a", "ac3"}})},
        {"clip.ts", join({kPicture25,
                          stereoTone(48000, 2),
                          {"-t", "2", "-c:v", "libx264", "-c:a", "aac", "-f", "mpegts"}})},
    };
    return table;
}

ScratchFolder& folder() {
    static ScratchFolder scratch;
    return scratch;
}

}  // namespace

std::filesystem::path generatedMedia(const std::string& name) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    const auto recipe = recipes().find(name);
    if (recipe == recipes().end()) {
        ADD_FAILURE() << "no recipe for " << name;
        return {};
    }
    const std::filesystem::path path = folder() / name;
    if (std::filesystem::exists(path)) return path;
    Arguments arguments = {"ffmpeg", "-v", "error", "-y"};
    arguments.insert(arguments.end(), recipe->second.begin(), recipe->second.end());
    arguments.push_back(path.string());
    runTool(arguments);
    return std::filesystem::exists(path) ? path : std::filesystem::path();
}

nlohmann::json probeMedia(const std::filesystem::path& file) {
    const std::string text = runTool({"ffprobe", "-v", "error", "-print_format", "json",
                                      "-show_streams", "-show_format", file.string()});
    return nlohmann::json::parse(text, nullptr, false);
}

std::string referenceDecode(const std::filesystem::path& file, int bitDepth) {
    const std::string format = "s" + std::to_string(bitDepth) + "le";
    return runTool({"ffmpeg", "-v", "error", "-i", file.string(), "-map", "0:a:0", "-f", format,
                    "-c:a", "pcm_" + format, "-"});
}

std::vector<std::string> referencePictures(const std::filesystem::path& file) {
    const std::string raw =
        runTool({"ffmpeg", "-v", "error", "-i", file.string(), "-map", "0:v:0", "-fps_mode",
                 "passthrough", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"});
    std::vector<std::string> pictures;
    for (size_t offset = 0; offset + kPictureBytes <= raw.size(); offset += kPictureBytes)
        pictures.push_back(raw.substr(offset, kPictureBytes));
    return pictures;
}

}  // namespace vorlane::test
