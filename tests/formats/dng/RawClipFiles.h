// Camera raw material made by independent writers for the tests: DNG frames written by libtiff
// (with the CinemaDNG timecode and frame-rate tags), CinemaDNG clip folders, and the Broadcast
// WAV that a camera records beside them, written by libsndfile.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mediagen/Timecode.h"

namespace vorlane::test {

struct DNGFrame {
    uint32_t width = 64;
    uint32_t height = 32;
    std::optional<mediagen::Timecode> timecode;  // the SMPTE time address, frames first
    bool dropFrame = false;
    std::optional<double> frameRate;  // written as a signed rational by libtiff
    std::optional<std::pair<float, float>> cropSize;
    std::string make = "Blackmagic Design";
    std::string uniqueCameraModel = "Pocket Cinema Camera";
    std::string serialNumber = "BM0042";
};

// One DNG image of 16-bit sensor data.
void writeDNGFrame(const std::filesystem::path& path, const DNGFrame& frame);

// A clip folder of `count` frames named <prefix>000001.dng ... whose time addresses count up
// from `start` (none: no timecode tags) at `rate`, which is also the frame-rate tag.
void writeCinemaDNGClip(const std::filesystem::path& folder, const std::string& prefix, int count,
                        std::optional<mediagen::Timecode> start, const mediagen::Rate& rate);

// A stereo 48 kHz 24-bit BWF of `seconds` starting at `start`: the bext TimeReference of that
// label at `rate` and the recorder's speed line in the description.
void writeCameraWave(const std::filesystem::path& path, const mediagen::Timecode& start,
                     const mediagen::Rate& rate, double seconds, const std::string& scene = "",
                     const std::string& take = "");

// A TIFF structure written by libtiff whose only directory holds the text tags given (tag
// number and text), as Canon raw clips embed them.
std::string tiffBlockWithTexts(const std::vector<std::pair<uint16_t, std::string>>& texts);

struct CanonRawClip {
    std::string timecode = "01:00:00:00";
    int frames = 3;
    std::string make = "Canon";
    std::string model = "EOS C70";
    std::string date = "2024:05:17 10:11:12";
    std::string lens = "RF24-70mm F2.8 L IS USM";
    std::string serial = "023021000123";
};

// A Canon Cinema RAW Light clip as the reader sees one: a 1920 x 1080 QuickTime movie at 23.976
// with 48 kHz 24-bit stereo sound and a timecode track, written by ffmpeg, whose picture sample
// entries are renamed `CRAW` and whose movie atom gains Canon's `uuid` atom with the `CMT1` and
// `CMT2` TIFF blocks.
void writeCanonRawClip(const std::filesystem::path& path, const CanonRawClip& clip);

}  // namespace vorlane::test
