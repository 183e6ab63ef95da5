// What independent tools say about a media file, and small generated inputs, for the tests of
// the platform-read files.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace vorlane::test {

// ffprobe's start timecode of the file's timecode track ("" when it reports none).
std::string ffprobeTimecode(const std::filesystem::path& file);
// mediainfo's timecode of the first frame ("" when it reports none).
std::string mediainfoTimecode(const std::filesystem::path& file);
// exiftool's facts about the file grouped by location (-G1), as numbers where it has them (-n)
// or as the texts it prints.
nlohmann::json exiftoolFacts(const std::filesystem::path& file, bool numbers = true);

// A stereo 48 kHz 16-bit WAV tone of the given length, made by the generator.
std::filesystem::path writeStereoTone(const std::filesystem::path& path, double seconds);

// The first `length` bytes of a file copied to another.
void copyPrefix(const std::filesystem::path& from, const std::filesystem::path& to, size_t length);

}  // namespace vorlane::test
