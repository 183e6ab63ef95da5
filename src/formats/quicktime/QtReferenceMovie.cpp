#include "formats/quicktime/QtReferenceMovie.h"

#include <algorithm>
#include <limits>

#include "formats/quicktime/QtAtomWriter.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

constexpr uint32_t kFixedOne = 0x00010000;        // 1.0 in 16.16
constexpr uint32_t kAliasKindFile = 0;            // alias record of a file, not a folder
constexpr uint16_t kAliasAbsolutePath = 2;        // extra alias field: the full path
constexpr uint16_t kAliasUnknownLevels = 0xFFFF;  // folder levels to a common parent: unknown
constexpr uint32_t kSelfContained = 1;  // data reference flag: the samples lie in the movie

bool fitsIn32(uint64_t value) {
    return value <= std::numeric_limits<uint32_t>::max();
}

// The identity transformation of track and movie headers.
void writeMatrix(QtAtomWriter& writer) {
    const uint32_t matrix[9] = {kFixedOne, 0, 0, 0, kFixedOne, 0, 0, 0, 0x40000000};
    for (uint32_t value : matrix)
        writer.appendBE32(value);
}

// Creation and modification time (zero: unknown), then a time scale where one is given, then a
// duration: 32-bit fields in version 0 atoms, 64-bit ones in version 1.
void writeTimes(QtAtomWriter& writer, bool wide) {
    if (wide) {
        writer.appendBE64(0);
        writer.appendBE64(0);
    } else {
        writer.appendBE32(0);
        writer.appendBE32(0);
    }
}

void writeDuration(QtAtomWriter& writer, bool wide, uint64_t duration) {
    if (wide)
        writer.appendBE64(duration);
    else
        writer.appendBE32(uint32_t(duration));
}

void writeFixedDouble(QtAtomWriter& writer, double value) {
    writer.appendBE32(uint32_t(std::clamp(value, 0.0, 65535.0) * 65536.0));
}

const char* handlerSubtype(QtMediaKind kind) {
    switch (kind) {
        case QtMediaKind::Video:
            return "vide";
        case QtMediaKind::Sound:
            return "soun";
        case QtMediaKind::Timecode:
            return "tmcd";
    }
    return "vide";
}

// A QuickTime handler reference: component type, subtype and a Pascal-string name.
void writeHandler(QtAtomWriter& writer, const char* componentType, const char* subtype,
                  const std::string& name) {
    writer.beginFullAtom("hdlr", 0, 0);
    writer.appendType(componentType);
    writer.appendType(subtype);
    writer.appendZeros(12);  // manufacturer, flags, flags mask
    writer.appendPascalString(name, name.size() + 1);
    writer.endAtom();
}

// A classic alias record naming the file by its absolute path.
void writeAlias(QtAtomWriter& writer, const std::filesystem::path& file) {
    const std::string path = file.string();
    const std::string name = file.filename().string();
    QtAtomWriter record;
    record.appendZeros(4);  // application
    record.appendBE16(0);   // record size, set below
    record.appendBE16(2);   // version
    record.appendBE16(kAliasKindFile);
    record.appendPascalString("", 28);  // volume name
    record.appendZeros(12);             // volume date, file system, disk type, parent folder
    record.appendPascalString(name, 64);
    record.appendZeros(16);  // file number, date, type, creator
    record.appendBE16(kAliasUnknownLevels);
    record.appendBE16(kAliasUnknownLevels);
    record.appendZeros(16);  // volume attributes, file system ID, reserved
    record.appendBE16(kAliasAbsolutePath);
    record.appendBE16(uint16_t(path.size()));
    record.appendBytes(path);
    if (path.size() % 2 != 0) record.appendBE8(0);
    record.appendBE16(0xFFFF);  // end of the extra fields
    record.appendBE16(0);
    std::vector<uint8_t> bytes = record.bytes();
    bytes[4] = uint8_t(bytes.size() >> 8);
    bytes[5] = uint8_t(bytes.size());
    writer.beginFullAtom("alis", 0, 0);
    writer.appendBytes(bytes);
    writer.endAtom();
}

void writeDataInformation(QtAtomWriter& writer, const QtReferenceTrack& track) {
    writer.beginAtom("dinf");
    writer.beginFullAtom("dref", 0, 0);
    writer.appendBE32(1);
    if (track.dataFile.empty()) {
        writer.beginFullAtom("alis", 0, kSelfContained);
        writer.endAtom();
    } else {
        writeAlias(writer, track.dataFile);
    }
    writer.endAtom();
    writer.endAtom();
}

void writeMediaInformationHeader(QtAtomWriter& writer, QtMediaKind kind) {
    switch (kind) {
        case QtMediaKind::Video:
            writer.beginFullAtom("vmhd", 0, 1);
            writer.appendBE16(0x40);  // dither copy
            writer.appendZeros(6);    // opcolor
            writer.endAtom();
            return;
        case QtMediaKind::Sound:
            writer.beginFullAtom("smhd", 0, 0);
            writer.appendZeros(4);  // balance, reserved
            writer.endAtom();
            return;
        case QtMediaKind::Timecode:
            writer.beginAtom("gmhd");
            writer.beginFullAtom("gmin", 0, 0);
            writer.appendBE16(0x40);
            writer.appendBE16(0x8000);
            writer.appendBE16(0x8000);
            writer.appendBE16(0x8000);
            writer.appendZeros(4);  // balance, reserved
            writer.endAtom();
            writer.beginAtom("tmcd");
            writer.beginFullAtom("tcmi", 0, 0);
            writer.appendBE16(0);   // font
            writer.appendBE16(0);   // face
            writer.appendBE16(12);  // size
            writer.appendBE16(0);   // reserved
            writer.appendZeros(6);  // text colour: black
            writer.appendZeros(6);  // background
            writer.appendPascalString("", 1);
            writer.endAtom();
            writer.endAtom();
            writer.endAtom();
            return;
    }
}

void writeTimeToSample(QtAtomWriter& writer, const QtReferenceTrack& track) {
    writer.beginFullAtom("stts", 0, 0);
    const uint64_t count = track.sampleCount();
    writer.appendBE32(count > 0 ? 1 : 0);
    if (count > 0) {
        writer.appendBE32(uint32_t(count));
        writer.appendBE32(track.sampleDuration);
    }
    writer.endAtom();
}

void writeCompositionOffsets(QtAtomWriter& writer, const std::vector<int32_t>& offsets,
                             int64_t shift) {
    // Runs of equal offsets.
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (int32_t offset : offsets) {
        const auto shifted = uint32_t(offset + shift);
        if (!runs.empty() && runs.back().second == shifted)
            ++runs.back().first;
        else
            runs.emplace_back(1, shifted);
    }
    writer.beginFullAtom("ctts", 0, 0);
    writer.appendBE32(uint32_t(runs.size()));
    for (const auto& [count, offset] : runs) {
        writer.appendBE32(count);
        writer.appendBE32(offset);
    }
    writer.endAtom();
}

void writeSyncSamples(QtAtomWriter& writer, const std::vector<uint32_t>& samples) {
    writer.beginFullAtom("stss", 0, 0);
    writer.appendBE32(uint32_t(samples.size()));
    for (uint32_t sample : samples)
        writer.appendBE32(sample);
    writer.endAtom();
}

void writeSampleToChunk(QtAtomWriter& writer, const QtReferenceTrack& track) {
    // A new entry wherever the number of samples per chunk changes.
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // first chunk, samples per chunk
    uint32_t chunkNumber = 0;
    for (const QtReferenceTrack::Chunk& chunk : track.chunks) {
        ++chunkNumber;
        if (runs.empty() || runs.back().second != chunk.sampleCount)
            runs.emplace_back(chunkNumber, chunk.sampleCount);
    }
    writer.beginFullAtom("stsc", 0, 0);
    writer.appendBE32(uint32_t(runs.size()));
    for (const auto& [first, samples] : runs) {
        writer.appendBE32(first);
        writer.appendBE32(samples);
        writer.appendBE32(1);  // sample description
    }
    writer.endAtom();
}

void writeSampleSizes(QtAtomWriter& writer, const QtReferenceTrack& track) {
    writer.beginFullAtom("stsz", 0, 0);
    writer.appendBE32(track.constantSampleSize);
    writer.appendBE32(uint32_t(track.sampleCount()));
    if (track.constantSampleSize == 0)
        for (uint32_t size : track.sampleSizes)
            writer.appendBE32(size);
    writer.endAtom();
}

void writeChunkOffsets(QtAtomWriter& writer, const QtReferenceTrack& track, uint64_t base) {
    const bool wide = std::any_of(track.chunks.begin(), track.chunks.end(), [&](const auto& chunk) {
        return !fitsIn32(chunk.offset + base);
    });
    writer.beginFullAtom(wide ? "co64" : "stco", 0, 0);
    writer.appendBE32(uint32_t(track.chunks.size()));
    for (const QtReferenceTrack::Chunk& chunk : track.chunks) {
        if (wide)
            writer.appendBE64(chunk.offset + base);
        else
            writer.appendBE32(uint32_t(chunk.offset + base));
    }
    writer.endAtom();
}

uint64_t rescale(uint64_t value, uint32_t from, uint32_t to) {
    if (from == 0) return 0;
    __extension__ typedef unsigned __int128 UInt128;
    const UInt128 result = (UInt128(value) * to + from / 2) / from;
    return result > std::numeric_limits<uint64_t>::max() ? std::numeric_limits<uint64_t>::max()
                                                         : uint64_t(result);
}

}  // namespace

uint64_t QtReferenceTrack::sampleCount() const {
    uint64_t count = 0;
    for (const Chunk& chunk : chunks)
        count += chunk.sampleCount;
    return count;
}

void QtReferenceMovie::addMetadataItem(std::string key, std::string value) {
    metadata_.push_back({std::move(key), std::move(value)});
}

std::optional<std::string> QtReferenceMovie::problem() const {
    if (tracks_.empty()) return "the movie has no tracks";
    if (timeScale_ == 0) return "the movie has no time scale";
    for (const QtReferenceTrack& track : tracks_) {
        const uint64_t samples = track.sampleCount();
        if (track.timeScale == 0 || track.sampleDuration == 0)
            return "a track has no time scale or sample duration";
        if (track.sampleEntry.size() < 4) return "a track has no sample description";
        if (samples == 0) return "a track has no samples";
        if (!fitsIn32(samples) || !fitsIn32(track.chunks.size()))
            return "a track has more samples than a movie can count";
        if (track.constantSampleSize == 0 && track.sampleSizes.size() != samples)
            return "a track's sample sizes do not match its samples";
        if (!track.compositionOffsets.empty() && track.compositionOffsets.size() != samples)
            return "a track's composition offsets do not match its samples";
        if (!track.dataFile.empty()) {
            const std::string path = track.dataFile.string();
            if (!track.dataFile.is_absolute()) return "a data file is not named by absolute path";
            if (path.find(':') != std::string::npos)
                return "the path " + path + " holds ':', which alias records read as a separator";
            if (path.size() > 0x7FFF) return "the path of a data file is too long";
        }
    }
    return std::nullopt;
}

int64_t QtReferenceMovie::compositionShift(const QtReferenceTrack& track) {
    int64_t lowest = 0;
    for (int32_t offset : track.compositionOffsets)
        lowest = std::min<int64_t>(lowest, offset);
    return -lowest;
}

uint64_t QtReferenceMovie::movieDuration(const QtReferenceTrack& track) const {
    return rescale(track.mediaDuration(), track.timeScale, timeScale_);
}

void QtReferenceMovie::writeMovieHeader(QtAtomWriter& writer, uint32_t nextTrackID) const {
    uint64_t duration = 0;
    for (const QtReferenceTrack& track : tracks_)
        duration = std::max(duration, movieDuration(track));
    const bool wide = !fitsIn32(duration);
    writer.beginFullAtom("mvhd", wide ? 1 : 0, 0);
    writeTimes(writer, wide);
    writer.appendBE32(timeScale_);
    writeDuration(writer, wide, duration);
    writer.appendBE32(kFixedOne);  // rate
    writer.appendBE16(0x0100);     // volume
    writer.appendZeros(10);
    writeMatrix(writer);
    writer.appendZeros(24);  // preview, poster, selection and current time
    writer.appendBE32(nextTrackID);
    writer.endAtom();
}

void QtReferenceMovie::writeTrack(QtAtomWriter& writer, const QtReferenceTrack& track,
                                  uint32_t trackID, uint64_t ownDataOffset,
                                  uint32_t timecodeTrackID) const {
    const uint64_t duration = movieDuration(track);
    const uint64_t mediaDuration = track.mediaDuration();
    const int64_t shift = compositionShift(track);
    writer.beginAtom("trak");

    const bool wide = !fitsIn32(duration);
    writer.beginFullAtom("tkhd", wide ? 1 : 0, 0x7);  // enabled, in movie, in preview
    writeTimes(writer, wide);
    writer.appendBE32(trackID);
    writer.appendZeros(4);
    writeDuration(writer, wide, duration);
    writer.appendZeros(8);
    writer.appendBE16(0);  // layer
    writer.appendBE16(0);  // alternate group
    writer.appendBE16(track.kind == QtMediaKind::Sound ? 0x0100 : 0);
    writer.appendZeros(2);
    writeMatrix(writer);
    writeFixedDouble(writer, track.width);
    writeFixedDouble(writer, track.height);
    writer.endAtom();

    if (track.kind == QtMediaKind::Video && timecodeTrackID != 0) {
        writer.beginAtom("tref");
        writer.beginAtom("tmcd");
        writer.appendBE32(timecodeTrackID);
        writer.endAtom();
        writer.endAtom();
    }

    // One edit: the whole media, from the first presented sample.
    const bool wideEdit = wide || !fitsIn32(uint64_t(shift));
    writer.beginAtom("edts");
    writer.beginFullAtom("elst", wideEdit ? 1 : 0, 0);
    writer.appendBE32(1);
    writeDuration(writer, wideEdit, duration);
    writeDuration(writer, wideEdit, uint64_t(shift));
    writer.appendBE32(kFixedOne);
    writer.endAtom();
    writer.endAtom();

    writer.beginAtom("mdia");
    const bool wideMedia = !fitsIn32(mediaDuration);
    writer.beginFullAtom("mdhd", wideMedia ? 1 : 0, 0);
    writeTimes(writer, wideMedia);
    writer.appendBE32(track.timeScale);
    writeDuration(writer, wideMedia, mediaDuration);
    writer.appendBE16(0);  // language
    writer.appendBE16(0);  // quality
    writer.endAtom();
    writeHandler(writer, "mhlr", handlerSubtype(track.kind), "");

    writer.beginAtom("minf");
    writeMediaInformationHeader(writer, track.kind);
    writeHandler(writer, "dhlr", "alis", "");
    writeDataInformation(writer, track);
    writer.beginAtom("stbl");
    writer.beginFullAtom("stsd", 0, 0);
    writer.appendBE32(1);
    writer.appendBE32(uint32_t(track.sampleEntry.size() + 4));
    writer.appendBytes(track.sampleEntry);
    writer.endAtom();
    writeTimeToSample(writer, track);
    if (!track.compositionOffsets.empty())
        writeCompositionOffsets(writer, track.compositionOffsets, shift);
    if (!track.syncSamples.empty()) writeSyncSamples(writer, track.syncSamples);
    writeSampleToChunk(writer, track);
    writeSampleSizes(writer, track);
    writeChunkOffsets(writer, track, track.dataFile.empty() ? ownDataOffset : 0);
    writer.endAtom();  // stbl
    writer.endAtom();  // minf
    writer.endAtom();  // mdia
    writer.endAtom();  // trak
}

void QtReferenceMovie::writeMetadata(QtAtomWriter& writer) const {
    if (metadata_.empty()) return;
    writer.beginAtom("meta");
    writeHandler(writer, "mhlr", "mdta", "");
    writer.beginFullAtom("keys", 0, 0);
    writer.appendBE32(uint32_t(metadata_.size()));
    for (const MetadataItem& item : metadata_) {
        writer.beginAtom("mdta");
        writer.appendBytes(item.key);
        writer.endAtom();
    }
    writer.endAtom();
    writer.beginAtom("ilst");
    uint32_t index = 0;
    for (const MetadataItem& item : metadata_) {
        writer.appendBE32(uint32_t(item.value.size() + 24));
        writer.appendBE32(++index);
        writer.beginAtom("data");
        writer.appendBE32(1);  // UTF-8
        writer.appendBE32(0);  // locale
        writer.appendBytes(item.value);
        writer.endAtom();
    }
    writer.endAtom();
    writer.endAtom();
}

std::optional<std::vector<uint8_t>> QtReferenceMovie::movieBytes() const {
    if (problem()) return std::nullopt;
    QtAtomWriter writer;
    writer.beginAtom("ftyp");
    writer.appendType("qt  ");
    writer.appendBE32(0x00000200);
    writer.appendType("qt  ");
    writer.endAtom();

    // The samples kept in the movie itself, track after track.
    std::vector<uint64_t> ownDataOffsets;
    writer.beginAtom("mdat");
    for (const QtReferenceTrack& track : tracks_) {
        ownDataOffsets.push_back(writer.size());
        writer.appendBytes(track.ownData);
    }
    writer.endAtom();

    uint32_t timecodeTrackID = 0;
    for (size_t i = 0; i < tracks_.size() && timecodeTrackID == 0; ++i)
        if (tracks_[i].kind == QtMediaKind::Timecode) timecodeTrackID = uint32_t(i + 1);

    writer.beginAtom("moov");
    writeMovieHeader(writer, uint32_t(tracks_.size() + 1));
    for (size_t i = 0; i < tracks_.size(); ++i)
        writeTrack(writer, tracks_[i], uint32_t(i + 1), ownDataOffsets[i], timecodeTrackID);
    writeMetadata(writer);
    writer.endAtom();
    if (!writer.complete()) return std::nullopt;
    return writer.bytes();
}

bool QtReferenceMovie::writeToURL(const std::filesystem::path& destination) const {
    if (const auto reason = problem()) {
        Log::writef("QtReferenceMovie: %s not written: %s", destination.c_str(), reason->c_str());
        return false;
    }
    const std::optional<std::vector<uint8_t>> bytes = movieBytes();
    if (!bytes) {
        Log::writef("QtReferenceMovie: %s not written: the movie atom is too large",
                    destination.c_str());
        return false;
    }
    std::unique_ptr<AtomicFileWriter> file = AtomicFileWriter::create(destination);
    if (!file || !file->write(*bytes) || !file->commit()) {
        Log::writef("QtReferenceMovie: %s not written: %s", destination.c_str(),
                    AtomicFileWriter::lastFailure().c_str());
        return false;
    }
    return true;
}

}  // namespace vorlane
