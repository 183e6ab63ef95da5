// Atoms written byte by byte for the QuickTime tests, and small edits of real movie files:
// appending atoms to the end of a file or to its movie atom, and setting the major brand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorlane::test {

std::string be16(uint16_t value);
std::string be32(uint32_t value);
std::string be64(uint64_t value);
// An atom of the type with the payload (32-bit size).
std::string atom(const std::string& type, const std::string& payload);
// An ISO full box: version 0 and flags 0 before the payload.
std::string fullBox(const std::string& type, const std::string& payload);
// A QuickTime user-data text: length, language code, text.
std::string userDataText(const std::string& text, uint16_t language = 0);
// A `meta` atom with handler 'mdta', keys and one item per key; each value is (type, bytes).
struct MetadataKeyValue {
    std::string key;
    uint32_t type = 1;  // UTF-8
    std::string value;
};
std::string metadataKeysAtom(const std::vector<MetadataKeyValue>& values, bool fullBoxStyle);
// A top-level `meta` full box holding a handler and an `xml ` box with the document.
std::string xmlMetaBox(const std::string& document, const std::string& handler = "nrtm");

// Appends bytes to the end of a file.
void appendToFile(const std::filesystem::path& file, const std::string& bytes);
// Appends child atoms to the movie atom, which must be the file's last top-level atom (as ffmpeg
// writes MPEG-4 and QuickTime files without fast start); no sample offset moves.
void appendToMovieAtom(const std::filesystem::path& file, const std::string& children);
// Overwrites the major brand of the file-type atom at the start of the file.
void setMajorBrand(const std::filesystem::path& file, const std::string& brand);

}  // namespace vorlane::test
