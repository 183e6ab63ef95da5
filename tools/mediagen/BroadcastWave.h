// A production sound recorder's file: Broadcast WAV whose bext TimeReference, description lines
// (sSPEED=, sSCENE=, sTAKE=, sTAPE=, sFILENAME=) and iXML all state the same start timecode.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mediagen/AudioFileWriter.h"
#include "mediagen/Ixml.h"
#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

struct RecorderTake {
    std::filesystem::path path;
    Timecode start;  // timecode of the first sample
    Rate rate = Rate::fps25();
    int sampleRate = 48000;
    SampleFormat format = SampleFormat::Pcm24;
    AudioContainer container = AudioContainer::Wav;  // Wav, WavExtensible or Rf64
    std::vector<Samples> channels;
    std::vector<std::string> channelNames;  // iXML track names, one per channel (or none)
    int firstChannelIndex = 1;  // recorder input of the first channel (a set's second file: 2)
    std::string project;
    std::string scene;
    std::string take;
    std::string tape;
    std::string note;
    std::string originator = "Vorlane DemoRec";
    std::string originationDate = "2024-05-17";
    std::string originationTime;  // empty: the start timecode's hours, minutes and seconds
    std::string fileUid;
    uint32_t userBits = 0;
    std::optional<IxmlFileSet> fileSet;
    std::vector<std::pair<std::string, std::string>> user;  // iXML USER children
    bool withDescriptionLines = true;  // the bext description's key=value lines
    bool withIxml = true;
};

// What was written, for tests to compare with what readers find.
struct RecorderTakeFacts {
    std::filesystem::path path;
    Timecode start;
    Rate rate;
    int sampleRate = 0;
    uint64_t timeReference = 0;  // bext TimeReference, samples since midnight
    size_t sampleCount = 0;      // per channel
    std::vector<std::string> descriptionLines;
    std::string ixml;

    double startSeconds() const { return double(timeReference) / sampleRate; }
    double durationSeconds() const { return double(sampleCount) / sampleRate; }
};

std::optional<RecorderTakeFacts> writeRecorderTake(const RecorderTake& take,
                                                   std::string* error = nullptr);

}  // namespace vorlane::mediagen
