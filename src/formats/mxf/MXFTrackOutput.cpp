#include "formats/mxf/MXFTrackOutput.h"

#include <cmath>

#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFFile.h"
#include "media/MediaTrack.h"
#include "platform/FileReader.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

constexpr CMTimeScale kCadenceSampleRate = 48000;

struct CadenceRow {
    double frameRate;
    MXFTrackOutput::AudioCadence samples;
};

constexpr CadenceRow kCadenceTable[] = {
    {24000.0 / 1001.0, {2002, 2002, 2002, 2002, 2002}},
    {24.0, {2000, 2000, 2000, 2000, 2000}},
    {25.0, {1920, 1920, 1920, 1920, 1920}},
    {30000.0 / 1001.0, {1602, 1601, 1602, 1601, 1602}},
    {30.0, {1600, 1600, 1600, 1600, 1600}},
    {50.0, {960, 960, 960, 960, 960}},
    {60000.0 / 1001.0, {801, 801, 801, 801, 800}},
    {60.0, {800, 800, 800, 800, 800}},
};

std::optional<uint64_t> checkedProduct(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

std::optional<uint64_t> checkedSum(uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

// The file a track belongs to when it is an analysed MXF file.
std::shared_ptr<MXFFile> mxfFileOfTrack(const MediaTrack& track) {
    return std::dynamic_pointer_cast<MXFFile>(track.mediaObject());
}

}  // namespace

std::optional<MXFTrackOutput::AudioCadence> MXFTrackOutput::audioCadenceForFrameRate(
    double frameRate) {
    for (const CadenceRow& row : kCadenceTable)
        if (std::abs(row.frameRate - frameRate) < 0.001) return row.samples;
    return std::nullopt;
}

std::unique_ptr<MXFTrackOutput> MXFTrackOutput::outputWithMediaTrack(const MediaTrack& track,
                                                                     bool referenceOutput) {
    const std::shared_ptr<MXFFile> file = mxfFileOfTrack(track);
    std::unique_ptr<FileReader> reader = file ? FileReader::open(file->sourceURLPath()) : nullptr;
    if (file && !reader) {
        Log::writef("MXFTrackOutput: Cannot open %s", file->sourceURLPath().c_str());
        return nullptr;
    }
    return outputWithMediaTrack(track, referenceOutput, std::move(reader));
}

std::unique_ptr<MXFTrackOutput> MXFTrackOutput::outputWithMediaTrack(
    const MediaTrack& track, bool referenceOutput, std::unique_ptr<FileReader> reader) {
    const std::shared_ptr<MXFFile> file = mxfFileOfTrack(track);
    if (!file) {
        Log::write("MXFTrackOutput: MediaObject is not an MXFFile!");
        return nullptr;
    }
    if (!reader) return nullptr;
    TrackFacts facts;
    const auto number = track.metaData().find(kMXFTrackNumber);
    if (number != track.metaData().end())
        facts.trackNumber = uint32_t(number->second.integer().value_or(0));
    facts.sound = track.type() == MediaTrackTypeAudio;
    facts.bytesPerSampleFrame = track.audioBytesPerFrame();
    facts.frameRate = file->frameRate();
    std::unique_ptr<MXFTrackOutput> output(new MXFTrackOutput(
        std::make_shared<MXFRawAccess>(std::move(reader)), facts, referenceOutput));
    if (!output->setUp()) return nullptr;
    return output;
}

MXFTrackOutput::MXFTrackOutput(std::shared_ptr<MXFRawAccess> raw, TrackFacts facts,
                               bool referenceOutput)
    : raw_(raw), structure_(std::move(raw)), facts_(facts), referenceSamples_(referenceOutput) {}

bool MXFTrackOutput::setUp() {
    try {
        if (!structure_.loadPartitions() || !structure_.loadHeaderMetadata()) return false;
        structure_.loadIndexTables();
        const auto& tables = structure_.indexTables();
        if (!tables.empty()) {
            const MXFIndexTable& first = *tables.front();
            const MXFRational rate = first.indexEditRate();
            if (rate.numerator > 0 && rate.denominator > 0)
                frameDuration_ = CMTimeMake(rate.denominator, rate.numerator);
            if (!first.deltaEntryArray().empty()) return findFrameWrappedElement(first);
            if (const auto start = totalOffsetOfSampleIndex(0, first, -1))
                return findClipWrappedElement(*start);
        }
        const auto& essence = structure_.firstPartitionContainingEssence();
        const auto start =
            essence ? structure_.fileOffsetOfEssence(essence->bodySID(), 0) : std::nullopt;
        return start && findClipWrappedElement(*start);
    } catch (const MXFError& error) {
        Log::writef("MXFTrackOutput: %s", error.what());
        return false;
    }
}

bool MXFTrackOutput::findFrameWrappedElement(const MXFIndexTable& first) {
    const int32_t count = int32_t(first.deltaEntryArray().size());
    for (int32_t index = 0; index < count; ++index) {
        const auto offset = totalOffsetOfSampleIndex(0, first, index);
        if (!offset) continue;
        if (const std::optional<ElementValue> element = elementAt(*offset, false)) {
            deltaIndex_ = index;
            decideWrapping(*element);
            return true;
        }
    }
    Log::write("MXFTrackOutput: Essence of Frame-Wrapped MXF Track not found!");
    return false;
}

bool MXFTrackOutput::findClipWrappedElement(uint64_t start) {
    const std::optional<ElementValue> element = elementAt(start, true);
    if (!element) {
        Log::write("MXFTrackOutput: Essence of Clip-Wrapped MXF Track not found!");
        return false;
    }
    decideWrapping(*element);
    return true;
}

void MXFTrackOutput::decideWrapping(const ElementValue& element) {
    // One element per edit unit unless its value reaches past the start of the next edit unit.
    const MXFIndexTable* table = indexTableForSampleIndex(1);
    const auto next = table ? totalOffsetOfSampleIndex(1, *table, deltaIndex_) : std::nullopt;
    clipWrapped_ = !table || (next && *next < element.offset + element.length);
    clipElement_ = element;
    if (facts_.sound && clipWrapped_) {
        cadence_ = audioCadenceForFrameRate(facts_.frameRate);
        if (!cadence_) {
            // Rates the table lacks: the whole number of samples nearest one frame, else 1920.
            const double rate = facts_.frameRate > 0.0 ? facts_.frameRate : 25.0;
            const auto samples = uint32_t(std::max(1.0, std::round(kCadenceSampleRate / rate)));
            cadence_ = AudioCadence{samples, samples, samples, samples, samples};
        }
    }
}

std::optional<MXFTrackOutput::ElementValue> MXFTrackOutput::elementAt(uint64_t offset,
                                                                      bool skipFiller) {
    std::shared_ptr<MXFKeyLengthValue> item = raw_->klvHeaderAtFileOffset(offset);
    if (item && skipFiller && MXFFiller::conformsToIdentifier(item->identifier()))
        item = raw_->klvHeaderAtFileOffset(raw_->position());
    if (!item || !MXFEssenceElement::conformsToIdentifier(item->identifier())) return std::nullopt;
    if (MXFEssenceElement(item->identifier(), item->klvLength()).trackNumber() !=
        facts_.trackNumber)
        return std::nullopt;
    const uint64_t valueOffset = item->filePosition() + item->fileDataOffset();
    if (valueOffset > raw_->fileSize() || item->klvLength() > raw_->fileSize() - valueOffset)
        return std::nullopt;
    return ElementValue{valueOffset, item->klvLength()};
}

const MXFIndexTable* MXFTrackOutput::indexTableForSampleIndex(uint64_t sampleIndex) const {
    for (const auto& table : structure_.indexTables()) {
        const auto start = uint64_t(std::max<int64_t>(table->indexStartPosition(), 0));
        const auto duration = uint64_t(std::max<int64_t>(table->indexDuration(), 0));
        if (sampleIndex >= start && sampleIndex - start < duration) return table.get();
    }
    for (const auto& table : structure_.indexTables())
        if (table->indexDuration() == 0) return table.get();
    return nullptr;
}

std::optional<uint64_t> MXFTrackOutput::streamOffsetOfSampleIndex(uint64_t sampleIndex,
                                                                  const MXFIndexTable& table,
                                                                  int32_t deltaIndex) const {
    uint32_t elementDelta = 0;
    uint8_t slice = 0;
    const auto& deltas = table.deltaEntryArray();
    if (deltaIndex >= 0 && size_t(deltaIndex) < deltas.size()) {
        elementDelta = deltas[size_t(deltaIndex)].elementDelta;
        slice = deltas[size_t(deltaIndex)].slice;
    }
    if (table.editUnitByteCount() > 0) {
        const auto start = checkedProduct(table.editUnitByteCount(), sampleIndex);
        return start ? checkedSum(*start, elementDelta) : std::nullopt;
    }
    const auto first = uint64_t(std::max<int64_t>(table.indexStartPosition(), 0));
    const auto& entries = table.indexEntryArray();
    if (sampleIndex < first || sampleIndex - first >= entries.size()) return std::nullopt;
    const MXFIndexEntry& entry = entries[sampleIndex - first];
    uint64_t sliceOffset = 0;
    if (slice > 0 && table.sliceCount() > 0 && slice <= entry.sliceOffsetTable.size())
        sliceOffset = entry.sliceOffsetTable[slice - 1];
    const auto start = checkedSum(entry.streamOffset, elementDelta);
    return start ? checkedSum(*start, sliceOffset) : std::nullopt;
}

std::optional<uint64_t> MXFTrackOutput::totalOffsetOfSampleIndex(uint64_t sampleIndex,
                                                                 const MXFIndexTable& table,
                                                                 int32_t deltaIndex) {
    const auto streamOffset = streamOffsetOfSampleIndex(sampleIndex, table, deltaIndex);
    if (!streamOffset) return std::nullopt;
    // The partition holding that byte of the stream; files whose partitions do not name the
    // stream count from the segment's own partition offset.
    if (const auto offset = structure_.fileOffsetOfEssence(table.bodySID(), *streamOffset))
        return offset;
    return checkedSum(table.partitionOffset(), *streamOffset);
}

uint64_t MXFTrackOutput::getEssenceElementSizeAtSampleIndex(uint64_t sampleIndex) {
    const std::optional<ElementValue> unit = frameWrappedUnit(sampleIndex);
    return unit ? unit->length : 0;
}

bool MXFTrackOutput::pastEssence(uint64_t offset) const {
    const auto& footer = structure_.footerPartition();
    if (footer && footer != structure_.headerPartition() && offset >= footer->filePosition())
        return true;
    return offset >= raw_->fileSize();
}

std::optional<MXFTrackOutput::ElementValue> MXFTrackOutput::frameWrappedUnit(uint64_t sampleIndex) {
    const MXFIndexTable* table = indexTableForSampleIndex(sampleIndex);
    if (!table) return std::nullopt;
    const auto offset = totalOffsetOfSampleIndex(sampleIndex, *table, deltaIndex_);
    if (!offset || pastEssence(*offset)) return std::nullopt;
    return elementAt(*offset, deltaIndex_ < 0);
}

uint64_t MXFTrackOutput::cadenceSamplesBefore(uint64_t sampleIndex) const {
    uint64_t cycle = 0;
    for (uint32_t samples : *cadence_)
        cycle += samples;
    uint64_t samples = sampleIndex / cadence_->size() * cycle;
    for (size_t i = 0; i < sampleIndex % cadence_->size(); ++i)
        samples += (*cadence_)[i];
    return samples;
}

std::optional<MXFTrackOutput::ElementValue> MXFTrackOutput::clipWrappedUnit(uint64_t sampleIndex) {
    uint64_t start = 0;
    uint64_t length = 0;
    if (cadence_ && facts_.bytesPerSampleFrame > 0) {
        const auto before =
            checkedProduct(cadenceSamplesBefore(sampleIndex), facts_.bytesPerSampleFrame);
        if (!before) return std::nullopt;
        start = *before;
        length = uint64_t((*cadence_)[sampleIndex % cadence_->size()]) * facts_.bytesPerSampleFrame;
    } else {
        // Pictures: the index's stream offsets, counted from that of the first edit unit.
        const MXFIndexTable* first = indexTableForSampleIndex(0);
        const MXFIndexTable* table = indexTableForSampleIndex(sampleIndex);
        const MXFIndexTable* following = indexTableForSampleIndex(sampleIndex + 1);
        const auto origin = first ? streamOffsetOfSampleIndex(0, *first, -1) : std::nullopt;
        const auto here = table ? streamOffsetOfSampleIndex(sampleIndex, *table, -1) : std::nullopt;
        if (!origin || !here || *here < *origin) {
            if (sampleIndex > 0) return std::nullopt;
            return clipElement_;  // no index: the whole element is one unit
        }
        const auto next =
            following ? streamOffsetOfSampleIndex(sampleIndex + 1, *following, -1) : std::nullopt;
        start = *here - *origin;
        length = next && *next > *here ? *next - *here : clipElement_.length;
    }
    if (start >= clipElement_.length) return std::nullopt;
    return ElementValue{clipElement_.offset + start, std::min(length, clipElement_.length - start)};
}

std::optional<MXFEssenceSample> MXFTrackOutput::nextSampleBuffer() {
    if (finished_ || failed_) return std::nullopt;
    std::optional<ElementValue> unit;
    try {
        unit = clipWrapped_ ? clipWrappedUnit(sampleIndex_) : frameWrappedUnit(sampleIndex_);
    } catch (const MXFError& error) {
        Log::writef("MXFTrackOutput: %s", error.what());
    }
    if (!unit) {
        finish();
        return std::nullopt;
    }
    MXFEssenceSample sample;
    sample.editUnit = sampleIndex_;
    sample.fileOffset = unit->offset;
    sample.size = unit->length;
    if (!referenceSamples_) {
        auto bytes = raw_->readDataAtOffset(unit->offset, unit->length);
        if (!bytes) {
            failed_ = true;
            return std::nullopt;
        }
        sample.data = std::move(*bytes);
    }
    if (facts_.sound && facts_.bytesPerSampleFrame > 0) {
        sample.sampleCount = unit->length / facts_.bytesPerSampleFrame;
        sample.presentationTime = CMTimeMake(CMTimeValue(samplesBefore_), kCadenceSampleRate);
        sample.duration = CMTimeMake(CMTimeValue(sample.sampleCount), kCadenceSampleRate);
        samplesBefore_ += sample.sampleCount;
    } else if (frameDuration_.isValid()) {
        sample.decodeTime =
            CMTimeMake(CMTimeValue(sampleIndex_) * frameDuration_.value, frameDuration_.timescale);
        sample.duration = frameDuration_;
        if (const MXFIndexTable* table = indexTableForSampleIndex(sampleIndex_)) {
            const auto first = uint64_t(std::max<int64_t>(table->indexStartPosition(), 0));
            const auto& entries = table->indexEntryArray();
            if (sampleIndex_ >= first && sampleIndex_ - first < entries.size()) {
                sample.flags = entries[sampleIndex_ - first].flags;
                sample.temporalOffset = entries[sampleIndex_ - first].temporalOffset;
            }
        }
        sample.presentationTime = sample.decodeTime;
    }
    if (facts_.sound) sample.decodeTime = sample.presentationTime;
    ++sampleIndex_;
    return sample;
}

}  // namespace vorlane
