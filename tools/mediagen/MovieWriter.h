// Movies and compressed audio made by the ffmpeg command-line program: QuickTime and MPEG-4 with
// an optional timecode track ('tmcd'), MPEG transport streams, and MP3 files with ID3 tags.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

enum class MovieContainer { QuickTime, Mpeg4, MpegTs };
// MPEG-4 and transport streams carry AAC only; QuickTime carries all three.
enum class MovieAudioCodec { Pcm16, Pcm24, Aac };

using MetadataItems = std::vector<std::pair<std::string, std::string>>;

struct MovieOptions {
    std::filesystem::path path;
    MovieContainer container = MovieContainer::QuickTime;
    Rate rate = Rate::fps25();  // picture rate; 24000/1001 and 30000/1001 as fractions
    int width = 640;
    int height = 360;
    int64_t frameCount = 250;
    std::string pattern = "testsrc2";  // an ffmpeg picture source: testsrc2, smptebars, ...
    std::optional<Timecode> timecode;  // written as the timecode track (not in transport streams)
    std::optional<Timecode> burnIn;    // label of frame 0, drawn into the picture as it runs
    std::string caption;               // a line of text drawn below the timecode
    std::vector<int64_t> flashFrames;  // frames drawn all white (a visual slate)
    std::vector<std::filesystem::path> audioTracks;  // one audio track per file, in order
    MovieAudioCodec audioCodec = MovieAudioCodec::Pcm16;
    int aacBitrateKbps = 128;
    MetadataItems metadata;        // -metadata key=value, in order
    bool useMetadataTags = false;  // QuickTime/MPEG-4: keep every key as a metadata key
    std::string creationTime;      // "2024-05-17T10:00:02Z": the movie's creation time

    double durationSeconds() const {
        return double(frameCount) * rate.denominator / rate.numerator;
    }
};

struct Mp3Options {
    std::filesystem::path path;
    std::filesystem::path source;  // any audio file ffmpeg reads
    int bitrateKbps = 128;
    // ID3v2 frames: title (TIT2), artist (TPE1), album (TALB), comment (COMM); any other key
    // becomes a TXXX frame with that description.
    MetadataItems tags;
    bool withId3v1 = false;  // also an ID3v1 tag at the end (title, artist, album, comment)
};

// Both write under a temporary name and rename into place; false with a message on failure.
bool writeMovie(const MovieOptions& options, std::string* error = nullptr);
bool writeMp3(const Mp3Options& options, std::string* error = nullptr);

}  // namespace vorlane::mediagen
