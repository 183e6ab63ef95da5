// libsndfile as the independent writer and reader of WAV, BWF and RF64 files in the tests, and
// ffprobe's view of a file's tags.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorlane::test {

// A BWF that libsndfile writes: its own `bext` with these fields and, when given, an iXML chunk.
// The samples are a fixed pseudo-random pattern.
struct SndfileBwf {
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    int channels = 2;
    int64_t frames = 4800;
    uint64_t timeReference = 0;
    std::string originator = "libsndfile";
    std::string description = "";
    std::optional<std::string> iXML = std::nullopt;
};
// Fails the current test when libsndfile refuses.
void writeWithSndfile(const std::filesystem::path& path, const SndfileBwf& file);

// What libsndfile reads from a file.
struct SndfileView {
    int64_t frames = 0;
    int channels = 0;
    std::vector<int> samples;
    std::optional<uint64_t> timeReference;  // of the `bext` chunk
    std::string originator;
    std::optional<std::string> iXML = std::nullopt;
};
// Nothing when libsndfile cannot read the file.
std::optional<SndfileView> readWithSndfile(const std::filesystem::path& path);

// One tag of the file's format as ffprobe reports it ("time_reference" ...), without the newline.
std::string probedTag(const std::filesystem::path& path, const std::string& tag);

}  // namespace vorlane::test
