// The essence of one picture or sound track of an MXF file, edit unit by edit unit. The output
// opens the file a second time, reads only its partitions, header metadata and index segments,
// and finds each edit unit's element through the index: a constant edit-unit byte count or the
// entry's stream offset, the delta entry of the track's element within a frame-wrapped edit unit,
// and the slice offset. A clip-wrapped track is one element whose value is cut into edit units:
// sound by the 48 kHz cadence of the file's frame rate (29.97 alternates 1602 and 1601 samples),
// pictures by the index. Essence bytes are read only when a sample is asked for; a reference
// output hands out the byte range alone.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "formats/mxf/MXFFileStructure.h"
#include "platform/CMTime.h"

namespace vorlane {

class FileReader;
class MediaTrack;

// One edit unit of a track: where its bytes lie in the MXF file and, unless the output hands out
// references, the bytes themselves.
struct MXFEssenceSample {
    uint64_t editUnit = 0;
    CMTime presentationTime = kCMTimeInvalid;
    CMTime decodeTime = kCMTimeInvalid;
    CMTime duration = kCMTimeInvalid;
    uint64_t fileOffset = 0;
    uint64_t size = 0;
    // Sample frames of a sound unit; 1 for a picture.
    uint64_t sampleCount = 1;
    // The index entry's "Flags" (bit 7: random access) and "TemporalOffset"; 0 without entries.
    uint8_t flags = 0;
    int8_t temporalOffset = 0;
    std::vector<uint8_t> data;
};

class MXFTrackOutput {
  public:
    // Samples per 48 kHz frame for five frames in a row at a frame rate; nothing for rates the
    // table does not know.
    using AudioCadence = std::array<uint32_t, 5>;
    static std::optional<AudioCadence> audioCadenceForFrameRate(double frameRate);

    // An output on a picture or sound track of an analysed MXFFile; nullptr (with the reason
    // logged) when the track belongs to no MXFFile or its essence cannot be found.
    static std::unique_ptr<MXFTrackOutput> outputWithMediaTrack(const MediaTrack& track,
                                                                bool referenceOutput);
    // The same over an open reader of the file's bytes (buffers when fuzzing).
    static std::unique_ptr<MXFTrackOutput> outputWithMediaTrack(const MediaTrack& track,
                                                                bool referenceOutput,
                                                                std::unique_ptr<FileReader> reader);

    // The next edit unit; nothing once the track has ended (or failed).
    std::optional<MXFEssenceSample> nextSampleBuffer();
    bool finished() const { return finished_; }
    bool failed() const { return failed_; }
    bool clipWrapped() const { return clipWrapped_; }
    // The element's position among the delta entries; -1 when the index has none for it.
    int32_t deltaIndex() const { return deltaIndex_; }

    // The first segment holding an edit unit, else the first open-ended one; nullptr for none.
    const MXFIndexTable* indexTableForSampleIndex(uint64_t sampleIndex) const;
    // File offset of an edit unit's element (of the edit unit's start for a delta index of -1).
    std::optional<uint64_t> totalOffsetOfSampleIndex(uint64_t sampleIndex,
                                                     const MXFIndexTable& table,
                                                     int32_t deltaIndex);
    // Value length of the frame-wrapped element of this track at an edit unit; 0 when there is
    // none.
    uint64_t getEssenceElementSizeAtSampleIndex(uint64_t sampleIndex);
    // Bytes read from the file by this output (structure and essence).
    uint64_t bytesRead() const { return raw_->bytesRead(); }

  private:
    struct TrackFacts {
        uint32_t trackNumber = 0;
        bool sound = false;
        uint32_t bytesPerSampleFrame = 0;
        double frameRate = 0.0;
    };
    // The value of the essence element of this track at an offset (skipping one filler).
    struct ElementValue {
        uint64_t offset = 0;
        uint64_t length = 0;
    };

    MXFTrackOutput(std::shared_ptr<MXFRawAccess> raw, TrackFacts facts, bool referenceOutput);
    bool setUp();
    bool findFrameWrappedElement(const MXFIndexTable& first);
    bool findClipWrappedElement(uint64_t start);
    // Clip wrapping (and the sound cadence) when the element found at edit unit 0 reaches past
    // the start of edit unit 1.
    void decideWrapping(const ElementValue& element);
    std::optional<ElementValue> elementAt(uint64_t offset, bool skipFiller);
    std::optional<uint64_t> streamOffsetOfSampleIndex(uint64_t sampleIndex,
                                                      const MXFIndexTable& table,
                                                      int32_t deltaIndex) const;
    // Byte range of an edit unit within the clip-wrapped element's value.
    std::optional<ElementValue> clipWrappedUnit(uint64_t sampleIndex);
    std::optional<ElementValue> frameWrappedUnit(uint64_t sampleIndex);
    uint64_t cadenceSamplesBefore(uint64_t sampleIndex) const;
    bool pastEssence(uint64_t offset) const;
    void finish() { finished_ = true; }

    std::shared_ptr<MXFRawAccess> raw_;
    MXFFileStructure structure_;
    TrackFacts facts_;
    bool referenceSamples_ = false;
    int32_t deltaIndex_ = -1;
    bool clipWrapped_ = false;
    ElementValue clipElement_;
    std::optional<AudioCadence> cadence_;
    CMTime frameDuration_ = kCMTimeInvalid;
    uint64_t sampleIndex_ = 0;
    uint64_t samplesBefore_ = 0;
    bool finished_ = false;
    bool failed_ = false;
};

}  // namespace vorlane
