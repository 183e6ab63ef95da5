// Mobs and their timeline slots. A mob (composition, master or source) has a unique mob ID, a
// name, creation and modification times and its slots; a source mob also its essence
// descriptor. A timeline slot holds one segment at an edit rate, with a slot ID unique in its
// mob, an optional name and a physical track number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/aaf/AAFComponent.h"
#include "platform/aaf/AAFEssenceDescriptor.h"

namespace vorlane::aaf {

class AAFTimelineMobSlot : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::TimelineMobSlot;
    explicit AAFTimelineMobSlot(std::shared_ptr<AAFClassDef> definition);

    AAFResult setEditRate(const Rational& rate);
    AAFResult setOrigin(int64_t origin);
    AAFResult setSegment(const std::shared_ptr<AAFSegment>& segment);
    AAFResult setSlotID(uint32_t slotID);
    AAFResult setName(const std::string& name);
    AAFResult setPhysicalNum(uint32_t number);
    // The slot ID set, or 0.
    uint32_t slotID() const { return slotID_; }

  private:
    uint32_t slotID_ = 0;
};

class AAFMob : public AAFObject {
  public:
    static constexpr AUID kClassID = ClassID::Mob;
    // A mob with a new mob ID, made and last changed now, without slots.
    explicit AAFMob(std::shared_ptr<AAFClassDef> definition);

    const MobID& mobID() const { return mobID_; }
    AAFResult setMobID(const MobID& id);
    AAFResult setName(const std::string& name);
    // Appends the slot; its slot ID must be set and not yet used in this mob.
    AAFResult appendSlot(const std::shared_ptr<AAFTimelineMobSlot>& slot);
    AAFResult setUsageCode(const AUID& usage);
    // Source mobs only.
    AAFResult setEssenceDescriptor(const std::shared_ptr<AAFEssenceDescriptor>& descriptor);

  private:
    MobID mobID_;
    std::vector<uint32_t> slotIDs_;
};

}  // namespace vorlane::aaf
