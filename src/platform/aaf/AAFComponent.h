// The components of a mob slot: sequences of components, source clips (a reference into another
// mob's slot, or the end of a chain), fillers and timecode. Each carries a data definition
// (picture, sound, timecode) and a length in edit units of its slot.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/aaf/AAFDictionary.h"

namespace vorlane::aaf {

class AAFComponent : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Component;
    using AAFObject::AAFObject;

    AAFResult setDataDef(const AAFDataDef& dataDef);
    AAFResult setLength(int64_t length);
    // The length set, or 0.
    int64_t length() const { return length_; }

  private:
    int64_t length_ = 0;
};

class AAFSegment : public AAFComponent {
  public:
    static constexpr AUID kClassID = ClassID::Segment;
    using AAFComponent::AAFComponent;
};

class AAFSequence : public AAFSegment {
  public:
    static constexpr AUID kClassID = ClassID::Sequence;
    explicit AAFSequence(std::shared_ptr<AAFClassDef> definition);

    // An empty sequence of the data definition.
    AAFResult initialize(const AAFDataDef& dataDef);
    // Appends the component; the sequence becomes as long as its components together.
    AAFResult appendComponent(const std::shared_ptr<AAFComponent>& component);
};

// Where a source clip's material is: a mob, one of its slots, and a position in edit units of
// that slot. All zero ends a chain of mobs.
struct SourceRef {
    MobID sourceID;
    uint32_t sourceSlotID = 0;
    int64_t startTime = 0;
};

class AAFSourceClip : public AAFSegment {
  public:
    static constexpr AUID kClassID = ClassID::SourceClip;
    using AAFSegment::AAFSegment;
    AAFResult initialize(const AAFDataDef& dataDef, int64_t length, const SourceRef& reference);
};

class AAFFiller : public AAFSegment {
  public:
    static constexpr AUID kClassID = ClassID::Filler;
    using AAFSegment::AAFSegment;
    AAFResult initialize(const AAFDataDef& dataDef, int64_t length);
};

// A timecode: its first frame as a frame count since 00:00:00:00, the whole frames per second of
// its labels and whether they drop frames.
struct TimecodeValue {
    int64_t startFrame = 0;
    bool drop = false;
    uint16_t fps = 0;
};

class AAFTimecode : public AAFSegment {
  public:
    static constexpr AUID kClassID = ClassID::Timecode;
    using AAFSegment::AAFSegment;
    // `dataDef` is the file's timecode data definition.
    AAFResult initialize(const AAFDataDef& dataDef, int64_t length, const TimecodeValue& value);
};

}  // namespace vorlane::aaf
