#include "mediagen/BroadcastWave.h"

#include <array>
#include <cstdio>

namespace vorlane::mediagen {
namespace {

std::vector<std::string> descriptionLines(const RecorderTake& take) {
    std::vector<std::string> lines;
    if (!take.withDescriptionLines) return lines;
    lines.push_back("sSPEED=" + take.rate.speedText());
    if (!take.scene.empty()) lines.push_back("sSCENE=" + take.scene);
    if (!take.take.empty()) lines.push_back("sTAKE=" + take.take);
    if (!take.tape.empty()) lines.push_back("sTAPE=" + take.tape);
    lines.push_back("sFILENAME=" + take.path.filename().string());
    if (!take.note.empty()) lines.push_back("sNOTE=" + take.note);
    return lines;
}

std::string timeOfDay(const Timecode& start) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d", start.hours, start.minutes,
                  start.seconds);
    return text.data();
}

IxmlFields ixmlFields(const RecorderTake& take, uint64_t timeReference) {
    IxmlFields fields;
    fields.project = take.project;
    fields.scene = take.scene;
    fields.take = take.take;
    fields.tape = take.tape;
    fields.note = take.note;
    fields.fileUid = take.fileUid;
    fields.userBits = take.userBits;
    fields.speed = take.rate;
    fields.sampleRate = take.sampleRate;
    fields.bitDepth = bitsPerSample(take.format);
    fields.samplesSinceMidnight = timeReference;
    fields.originalFilename = take.path.filename().string();
    fields.fileSet = take.fileSet;
    for (size_t i = 0; i < take.channels.size(); ++i) {
        IxmlTrack track;
        track.channelIndex = take.firstChannelIndex + int(i);
        track.interleaveIndex = int(i) + 1;
        if (i < take.channelNames.size()) track.name = take.channelNames[i];
        fields.tracks.push_back(track);
    }
    fields.user = take.user;
    return fields;
}

}  // namespace

std::optional<RecorderTakeFacts> writeRecorderTake(const RecorderTake& take, std::string* error) {
    if (!frameNumber(take.start, take.rate)) {
        if (error != nullptr) *error = "the start timecode does not exist at this frame rate";
        return std::nullopt;
    }
    RecorderTakeFacts facts;
    facts.path = take.path;
    facts.start = take.start;
    facts.rate = take.rate;
    facts.sampleRate = take.sampleRate;
    facts.timeReference = uint64_t(samplesSinceMidnight(take.start, take.rate, take.sampleRate));
    facts.sampleCount = take.channels.empty() ? 0 : take.channels.front().size();
    facts.descriptionLines = descriptionLines(take);
    if (take.withIxml) facts.ixml = ixmlDocument(ixmlFields(take, facts.timeReference));

    AudioFileOptions options;
    options.path = take.path;
    options.container = take.container;
    options.format = take.format;
    options.sampleRate = take.sampleRate;
    options.channels = take.channels;
    BextFields bext;
    bext.descriptionLines = facts.descriptionLines;
    bext.originator = take.originator;
    bext.originatorReference = take.fileUid;
    bext.originationDate = take.originationDate;
    bext.originationTime =
        take.originationTime.empty() ? timeOfDay(take.start) : take.originationTime;
    bext.timeReference = facts.timeReference;
    options.bext = bext;
    options.ixml = facts.ixml;
    if (!writeAudioFile(options, error)) return std::nullopt;
    return facts;
}

}  // namespace vorlane::mediagen
