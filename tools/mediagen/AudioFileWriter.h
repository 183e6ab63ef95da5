// Audio files written by libsndfile: WAV (plain or extensible), RF64 and AIFF with any channel
// count and PCM depth, optionally with a Broadcast WAV `bext` chunk and an iXML chunk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mediagen/Signals.h"

namespace vorlane::mediagen {

enum class AudioContainer { Wav, WavExtensible, Rf64, Aiff };
enum class SampleFormat { Pcm16, Pcm24, Pcm32, Float32 };

int bitsPerSample(SampleFormat format);

// The fields of the `bext` chunk that recorders fill. Texts longer than their fixed field are cut.
struct BextFields {
    std::vector<std::string> descriptionLines;  // joined with "\r\n", each line ended by it
    std::string originator;
    std::string originatorReference;
    std::string originationDate;  // "yyyy-mm-dd"
    std::string originationTime;  // "hh:mm:ss"
    uint64_t timeReference = 0;   // samples since midnight of the first sample
    std::string codingHistory;    // empty: libsndfile writes its own line
};

struct AudioFileOptions {
    std::filesystem::path path;
    AudioContainer container = AudioContainer::Wav;
    SampleFormat format = SampleFormat::Pcm24;
    int sampleRate = 48000;
    std::vector<Samples> channels;   // one list per channel, all of one length
    std::optional<BextFields> bext;  // WAV and RF64 only
    std::string ixml;                // the iXML document; empty: no iXML chunk
};

// Writes the file under a temporary name in its folder and renames it into place, so a failed
// run leaves no half-written file. False with a message in `error` on failure.
bool writeAudioFile(const AudioFileOptions& options, std::string* error = nullptr);

}  // namespace vorlane::mediagen
