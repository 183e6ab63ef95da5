// iXML documents as production sound recorders write them into Broadcast WAV files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

struct IxmlTrack {
    int channelIndex = 1;     // the recorder's input
    int interleaveIndex = 1;  // the channel's position in this file
    std::string name;
    std::string function;
};

// The members of one recording that was written as several files (one mono file per input).
struct IxmlFileSet {
    int totalFiles = 1;
    std::string familyUid;
    std::string familyName;
    std::string index;  // "A", "B", ... this file's place in the set
};

// Empty texts and absent values leave their element out.
struct IxmlFields {
    std::string project;
    std::string scene;
    std::string take;
    std::string tape;
    std::string note;
    std::string fileUid;
    std::optional<uint32_t> userBits;  // UBITS, eight hexadecimal digits
    // SPEED: MASTER_SPEED, CURRENT_SPEED and TIMECODE_RATE as "n/d", TIMECODE_FLAG "DF"/"NDF".
    std::optional<Rate> speed;
    int sampleRate = 0;  // FILE_SAMPLE_RATE and TIMESTAMP_SAMPLE_RATE when above 0
    int bitDepth = 0;    // AUDIO_BIT_DEPTH when above 0
    std::optional<uint64_t> samplesSinceMidnight;  // TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI/_LO
    std::string originalFilename;                  // HISTORY/ORIGINAL_FILENAME
    std::optional<IxmlFileSet> fileSet;
    std::vector<IxmlTrack> tracks;                          // TRACK_LIST
    std::vector<std::pair<std::string, std::string>> user;  // children of USER, in order
};

// The document text, with an XML declaration, elements in the order of the iXML standard.
std::string ixmlDocument(const IxmlFields& fields);

// Text with the five XML special characters escaped.
std::string escapeXml(const std::string& text);

}  // namespace vorlane::mediagen
