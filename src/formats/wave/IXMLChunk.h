// The iXML chunk of Broadcast Wave files: what a field recorder's document says about the take
// (timecode rate and drop frame, user bits, scene, take, tape, file set, channel names, recorder)
// and the document written into exported WAV files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/MetadataValue.h"

namespace vorlane {

class TCHelper;

// What a recorder's metadata (the iXML document, or the key lines of the `bext` description)
// says about its take.
struct RecorderMetadata {
    double frameRate = 0.0;  // 0 when none is given
    bool dropFrame = false;
    uint32_t userBits = 0;
    // Values under the file's metadata keys ("Scene", "Take", "Reel", ...); empty texts are left
    // out.
    MetadataDictionary fileMetaData;
    // One dictionary per listed channel (the "AudioChannelList" of the audio track).
    std::optional<MetadataList> channelList;
};

namespace IXMLChunk {

// Nothing when the bytes hold no document (damage after the root element is repaired); a
// document whose root element is not BWFXML gives empty values.
std::optional<RecorderMetadata> read(std::span<const uint8_t> bytes);

// The document written into an exported file: version, the timecode's rate and drop frame and
// its user bits (when there is a timecode with a frame rate), then tape, scene and take when
// known.
std::string build(const TCHelper* timecode, const std::optional<std::string>& tape,
                  const std::optional<std::string>& scene, const std::optional<std::string>& take);

}  // namespace IXMLChunk

// A decimal number at the start of a text (blanks and a sign allowed); 0 when there is none.
double leadingNumber(std::string_view text);
// A frame rate read from text made exact: a standard rate near it (23.976 becomes 24000/1001),
// else the rate itself; 0 for a rate that is not positive and finite.
double exactFrameRate(double rate);

}  // namespace vorlane
