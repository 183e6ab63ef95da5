// ID3 tags of MP3 files: the ID3v2 tag at the start of the file (versions 2.2, 2.3 and 2.4,
// with unsynchronisation, extended headers and per-frame flags) and the fixed 128-byte ID3v1
// tag at its end. Only text frames are decoded, to UTF-8; they carry what recorders write for
// timecode, scene, take and tape.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

namespace vorlane {

class FileReader;

struct ID3v2Tag {
    uint8_t majorVersion = 0;  // 2, 3 or 4
    uint64_t size = 0;         // header and body, in bytes
    // Text frames ('T' frames but TXXX) by their ID3v2.3/2.4 identifier; version 2.2 identifiers
    // ("TT2") are given their later names ("TIT2"). The first frame of an identifier counts; a
    // frame holding several values gives the first.
    std::map<std::string, std::string> textFrames;

    // The text of a frame, or nothing.
    std::optional<std::string> text(const std::string& frameID) const;
};

struct ID3v1Tag {
    std::string title;
    std::string artist;
    std::string album;
};

// Whether ten bytes open an ID3v2 tag: "ID3", a version byte below 0xFF, a revision byte below
// 0xFF and four size bytes below 0x80.
bool isID3v2Header(std::span<const uint8_t> header);

// The tag at offset 0; nothing when there is none or its header is damaged. Frames that run past
// the tag or the file end the frame list; what was read before stays.
std::optional<ID3v2Tag> readID3v2Tag(FileReader& reader);

// The tag in the last 128 bytes; nothing when they do not begin with "TAG".
std::optional<ID3v1Tag> readID3v1Tag(FileReader& reader);

}  // namespace vorlane
