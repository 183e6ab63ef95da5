// MXF files written by ffmpeg for the tests, each made once per test program when first asked for
// and removed when the program ends: OP1a MPEG-2 4:2:2 with sound at 25 fps, DNxHD at 29.97 drop
// frame, and OP-Atom picture and sound files.
#pragma once

#include <filesystem>
#include <string>

namespace vorlane::test {

// "op1a_mpeg2.mxf", "dnxhd_2997.mxf", "atom_video.mxf" or "atom_audio.mxf". The caller makes
// sure ffmpeg is installed.
std::filesystem::path ffmpegMXFFile(const std::string& name);

}  // namespace vorlane::test
