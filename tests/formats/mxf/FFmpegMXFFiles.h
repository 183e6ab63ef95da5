// MXF files written by ffmpeg for the tests, each made once per test program when first asked for
// and removed when the program ends: OP1a MPEG-2 4:2:2 with sound at 25 and 29.97 fps, D-10, DNxHD
// at 29.97 drop frame, and OP-Atom picture and sound files (sound at 25 and 29.97 edit units).
#pragma once

#include <filesystem>
#include <string>

namespace vorlane::test {

// "op1a_mpeg2.mxf", "op1a_longgop.mxf" (B-pictures), "d10.mxf" (IMX), "op1a_2997.mxf",
// "dnxhd_2997.mxf", "atom_video.mxf", "atom_audio.mxf" or "atom_audio_2997.mxf". The caller makes
// sure ffmpeg is installed.
std::filesystem::path ffmpegMXFFile(const std::string& name);

}  // namespace vorlane::test
