// Media files made with ffmpeg for the media layer's tests, each made once per run in one
// scratch folder, and ffprobe's description of them as independent truth.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vorlane::test {

// The path of a generated file by name ("qt25.mov", "tone24.wav", ...); fails the test and
// answers an empty path for an unknown name or when ffmpeg fails.
std::filesystem::path generatedMedia(const std::string& name);

// `ffprobe -show_streams -show_format` as JSON.
nlohmann::json probeMedia(const std::filesystem::path& file);

// The file's first audio stream decoded by ffmpeg to raw little-endian integers of the given
// bit depth (16, 24 or 32), all channels interleaved.
std::string referenceDecode(const std::filesystem::path& file, int bitDepth);

// The bytes of a yuv420p picture of the generated 320x180 clips.
constexpr size_t kPictureBytes = 320 * 180 * 3 / 2;

// ffmpeg's own decode of every picture of the file's first video stream to yuv420p, in
// presentation order.
std::vector<std::string> referencePictures(const std::filesystem::path& file);

}  // namespace vorlane::test

// Skips a test when ffmpeg or ffprobe is missing.
#define VORLANE_REQUIRE_FFMPEG()    \
    VORLANE_REQUIRE_TOOL("ffmpeg"); \
    VORLANE_REQUIRE_TOOL("ffprobe")
