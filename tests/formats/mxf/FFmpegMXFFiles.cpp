#include "formats/mxf/FFmpegMXFFiles.h"

#include <map>
#include <memory>
#include <vector>

#include "support/TestSupport.h"

namespace vorlane::test {

std::filesystem::path ffmpegMXFFile(const std::string& name) {
    static const std::map<std::string, std::vector<std::string>> kRecipes = {
        {"op1a_mpeg2.mxf",
         {"-f",       "lavfi",     "-i",        "testsrc=size=720x576:rate=25",
          "-f",       "lavfi",     "-i",        "sine=frequency=1000:sample_rate=48000",
          "-t",       "12",        "-c:v",      "mpeg2video",
          "-pix_fmt", "yuv422p",   "-g",        "12",
          "-c:a",     "pcm_s16le", "-timecode", "10:00:00:00",
          "-f",       "mxf"}},
        {"op1a_longgop.mxf",
         {"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25", "-t", "4", "-c:v", "mpeg2video",
          "-pix_fmt", "yuv422p", "-g", "12", "-bf", "2", "-timecode", "10:00:00:00", "-f", "mxf"}},
        {"d10.mxf",
         {"-f",
          "lavfi",
          "-i",
          "testsrc=size=720x608:rate=25",
          "-f",
          "lavfi",
          "-i",
          "sine=sample_rate=48000",
          "-t",
          "1",
          "-c:v",
          "mpeg2video",
          "-pix_fmt",
          "yuv422p",
          "-b:v",
          "50M",
          "-minrate",
          "50M",
          "-maxrate",
          "50M",
          "-bufsize",
          "2000000",
          "-rc_init_occupancy",
          "2000000",
          "-intra_vlc",
          "1",
          "-g",
          "1",
          "-flags",
          "+ildct+low_delay",
          "-dc",
          "10",
          "-ps",
          "1",
          "-qmin",
          "1",
          "-qmax",
          "3",
          "-top",
          "1",
          "-c:a",
          "pcm_s16le",
          "-f",
          "mxf_d10"}},
        {"dnxhd_2997.mxf",
         {"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=30000/1001", "-t", "0.5", "-c:v",
          "dnxhd", "-b:v", "145M", "-pix_fmt", "yuv422p", "-timecode", "01:00:00;00", "-f", "mxf"}},
        {"atom_video.mxf",
         {"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=25", "-t", "0.5", "-c:v", "dnxhd",
          "-b:v", "120M", "-pix_fmt", "yuv422p", "-timecode", "12:34:56:07", "-f", "mxf_opatom"}},
        {"op1a_2997.mxf",
         {"-f",       "lavfi",   "-i",        "testsrc=size=720x576:rate=30000/1001",
          "-f",       "lavfi",   "-i",        "sine=sample_rate=48000",
          "-t",       "1",       "-c:v",      "mpeg2video",
          "-pix_fmt", "yuv422p", "-c:a",      "pcm_s24le",
          "-ac",      "2",       "-timecode", "01:00:00;00",
          "-f",       "mxf"}},
        {"atom_audio_2997.mxf",
         {"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-ac", "1", "-c:a", "pcm_s24le",
          "-mxf_audio_edit_rate", "30000/1001", "-f", "mxf_opatom"}},
        {"atom_audio.mxf",
         {"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "1", "-ac", "1", "-c:a", "pcm_s24le",
          "-f", "mxf_opatom"}},
    };
    // Lives until the test program ends, then removes the files.
    static const auto folder = std::make_unique<ScratchFolder>();
    const std::filesystem::path file = *folder / name;
    if (!std::filesystem::exists(file)) {
        std::vector<std::string> arguments = {"ffmpeg", "-v", "error", "-y"};
        const auto& recipe = kRecipes.at(name);
        arguments.insert(arguments.end(), recipe.begin(), recipe.end());
        arguments.push_back(file.string());
        runTool(arguments);
    }
    return file;
}

}  // namespace vorlane::test
