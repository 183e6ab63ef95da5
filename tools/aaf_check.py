#!/usr/bin/env python3
"""Reads AAF files written by Vorlane with pyaaf2, an AAF reader of its own, prints what it finds
and checks it against the rules of the AAF export.

    PYTHONPATH=/path/to/pyaaf2/src python3 tools/aaf_check.py FILE_OR_FOLDER... [--dump]

Checked for every file:
  - every class definition in the meta-dictionary equals pyaaf2's built-in model of that class
    (identifier, parent, concreteness, and each property's identifier, local ID, type, optional
    and unique flags); the Avid extensions are registered as the export defines them;
  - the header names the AAF Edit Protocol;
  - every source file has one chain: a physical source mob (import or tape descriptor, network
    locator, timecode slot "TC1" with physical number 1, optionally "AuxTC1" with 3), a file
    source mob "<name>.PHYS" (CDCI, PCM or multiple descriptor with locators) and a master mob
    "<name>"; picture slots are "V1", sound slots "A<n>" with physical number n; master slots
    refer to the file source's slot of the same ID, file source slots to the physical source,
    whose clips end the chain; all slots of a chain share edit rate and length;
  - timecode slots appear only in physical sources and as slot 1 "TC1" of compositions, whose
    other slots have empty names; every source clip of a composition refers to an existing slot
    of a master mob carrying the same kind of data; the composition's timecode is one second
    (rounded frames per second) longer than its longest sequence, within a frame;
  - composition mobs carry the usage of a synced clip or of the sync map.
Exit status 0 when every file passes.
"""
import os
import sys

import aaf2
from aaf2.auid import AUID
from aaf2.model import classdefs as model

EDIT_PROTOCOL = AUID("0d011201-0100-0000-060e-2b3404010105")
USAGE_SYNCED_CLIP = AUID("0d010102-0101-0500-060e-2b3404010101")
USAGE_SYNC_MAP = AUID("0d010102-0101-0700-060e-2b3404010101")
NULL_MOB_ID = "urn:smpte:umid:" + ".".join(["00000000"] * 8)

AVID_CLASS = ("Avid MC Mob Reference", AUID("6619f8e0-fe77-11d3-a084-006094eb75cb"))
AVID_TYPE = ("AvidStrongReference", AUID("f9a74d0a-7b30-11d3-a044-006094eb75cb"))
AVID_PROPERTIES = {
    # owner, name: identifier, type
    ("Mob", "MobAttributeList"): ("60958183-47b1-11d4-a01c-0004ac969f50", "05060800-0000-0000-060e-2b3401040101"),
    ("Component", "ComponentAttributeList"): ("60958184-47b1-11d4-a01c-0004ac969f50", "05060800-0000-0000-060e-2b3401040101"),
    ("TaggedValue", "TaggedValueAttributeList"): ("60958185-47b1-11d4-a01c-0004ac969f50", "05060800-0000-0000-060e-2b3401040101"),
    ("TaggedValue", "PortableObject"): ("b6bb5f4e-7b37-11d3-a044-006094eb75cb", "f9a74d0a-7b30-11d3-a044-006094eb75cb"),
    ("TaggedValue", "PortableObjectClassID"): ("08835f4f-7b28-11d3-a044-006094eb75cb", "01010300-0000-0000-060e-2b3401040101"),
    ("Mob", "AppCode"): ("96c46992-4f62-11d3-a022-006094eb75cb", "01010700-0000-0000-060e-2b3401040101"),
    ("EssenceDescriptor", "MediaContainerGUID"): ("92790417-0131-4a05-898d-167691e11ca1", "01030100-0000-0000-060e-2b3401040101"),
    ("DigitalImageDescriptor", "ResolutionID"): ("ce2aca4d-51ab-11d3-a024-006094eb75cb", "01010700-0000-0000-060e-2b3401040101"),
    ("Avid MC Mob Reference", "Mob Reference MobID"): ("81110e9f-fe7c-11d3-a084-006094eb75cb", "01030200-0000-0000-060e-2b3401040101"),
    ("Avid MC Mob Reference", "Mob Reference Position"): ("81110ea0-fe7c-11d3-a084-006094eb75cb", "01010800-0000-0000-060e-2b3401040101"),
}


class Checker:
    def __init__(self, path, dump):
        self.path = path
        self.dump = dump
        self.problems = []

    def fail(self, text):
        self.problems.append(text)

    def say(self, text):
        if self.dump:
            print(text)

    # ---- meta-dictionary ----------------------------------------------------------------
    def check_model(self, f):
        builtin = dict(model.classdefs)
        extension_names = {name for (_, name) in AVID_PROPERTIES}
        for classdef in f.metadict["ClassDefinitions"].values():
            name = classdef.class_name
            properties = {p.property_name: p for p in classdef["Properties"].values()}
            if name == AVID_CLASS[0]:
                if classdef.auid != AVID_CLASS[1] or classdef.parent.class_name != "InterchangeObject":
                    self.fail("class %s is not registered as defined" % name)
            elif name not in builtin:
                self.fail("unknown class %s" % name)
                continue
            else:
                auid, parent, concrete, baseline = builtin[name]
                parent_auid = classdef.parent.auid if classdef.parent else None
                if classdef.auid != AUID(auid) or bool(concrete) != classdef.concrete or \
                        (AUID(parent) if parent else None) != parent_auid:
                    self.fail("class %s differs from the model" % name)
                for pname, (pauid, pid, ptype, optional, unique) in baseline.items():
                    if pid is None:
                        continue  # dynamic local IDs are the file's own choice
                    p = properties.pop(pname, None)
                    if p is None:
                        self.fail("class %s lacks %s" % (name, pname))
                    elif (p.auid, p.pid, p.typedef_id, p.optional, p.unique) != \
                            (AUID(pauid), pid, AUID(ptype), optional, unique):
                        self.fail("property %s.%s differs from the model" % (name, pname))
            for pname, p in properties.items():
                expected = AVID_PROPERTIES.get((name, pname))
                if pname not in extension_names or expected is None:
                    self.fail("unexpected property %s.%s" % (name, pname))
                elif (p.auid, p.typedef_id, p.optional) != (AUID(expected[0]), AUID(expected[1]), True) \
                        or p.pid < 0x8000:
                    self.fail("extension %s.%s is not registered as defined" % (name, pname))
                else:
                    AVID_FOUND.add((name, pname))
        types = {t.type_name: t for t in f.metadict["TypeDefinitions"].values()}
        avid_type = types.get(AVID_TYPE[0])
        if avid_type is None or avid_type.auid != AVID_TYPE[1] or \
                avid_type.ref_classdef.class_name != "InterchangeObject":
            self.fail("type AvidStrongReference is not registered as defined")

    # ---- mobs -------------------------------------------------------------------------------
    def describe(self, segment, indent):
        kind = type(segment).__name__
        text = "%s%s %s length %s" % (indent, kind, segment.media_kind, segment.length)
        if isinstance(segment, aaf2.components.SourceClip):
            mob = self.mobs.get(str(segment["SourceID"].value))
            text += " -> %s slot %d at %d" % (
                ("%s %r" % (type(mob).__name__, mob.name)) if mob else "end",
                segment["SourceMobSlotID"].value, segment["StartTime"].value)
        elif isinstance(segment, aaf2.components.Timecode):
            text += " start %d fps %d drop %s" % (segment.start, segment.fps, segment.drop)
        self.say(text)
        if isinstance(segment, aaf2.components.Sequence):
            for component in segment.components:
                self.describe(component, indent + "  ")

    def descriptor_text(self, descriptor):
        text = type(descriptor).__name__
        urls = [l["URLString"].value for l in descriptor["Locator"].value] \
            if "Locator" in descriptor else []
        if urls:
            text += " " + ", ".join(urls)
        if isinstance(descriptor, aaf2.essence.MultipleDescriptor):
            text += " [" + "; ".join(self.descriptor_text(d)
                                     for d in descriptor["FileDescriptors"].value) + "]"
        return text

    def clips(self, segment):
        if isinstance(segment, aaf2.components.Sequence):
            return [c for c in segment.components if isinstance(c, aaf2.components.SourceClip)]
        return [segment] if isinstance(segment, aaf2.components.SourceClip) else []

    def check_chain(self, master):
        name = master.name
        # Files of one name in different folders each have their chain: follow the references.
        sources = {str(slot.segment["SourceID"].value) for slot in master.slots}
        source = self.mobs.get(sources.pop()) if len(sources) == 1 else None
        if not isinstance(source, aaf2.mobs.SourceMob) or source.name != name + ".PHYS":
            self.fail("master %r does not refer to one file source %r" % (name, name + ".PHYS"))
            return
        physical = None
        for slot in master.slots:
            if slot.name != ("V1" if slot.media_kind == "Picture" else "A%d" % slot["PhysicalTrackNumber"].value):
                self.fail("master %r slot %d named %r" % (name, slot.slot_id, slot.name))
            clip = slot.segment
            if str(clip["SourceID"].value) != str(source.mob_id) or clip["SourceMobSlotID"].value != slot.slot_id:
                self.fail("master %r slot %d does not refer to its file source's slot" % (name, slot.slot_id))
        rates = set()
        lengths = set()
        for slot in source.slots:
            clip = slot.segment
            physical = self.mobs.get(str(clip["SourceID"].value))
            targets = [s for s in physical.slots if s.slot_id == clip["SourceMobSlotID"].value] \
                if physical is not None else []
            if len(targets) != 1:
                self.fail("file source %r slot %d refers nowhere" % (source.name, slot.slot_id))
            rates.add(float(slot.edit_rate))
            lengths.add(slot.segment.length)
        if physical is None:
            return
        if type(source.descriptor).__name__ not in ("CDCIDescriptor", "PCMDescriptor", "MultipleDescriptor"):
            self.fail("file source %r described by %s" % (source.name, type(source.descriptor).__name__))
        if type(physical.descriptor).__name__ not in ("ImportDescriptor", "TapeDescriptor"):
            self.fail("physical source %r described by %s" % (physical.name, type(physical.descriptor).__name__))
        for descriptor in (physical.descriptor, source.descriptor):
            for item in [descriptor] + (list(descriptor["FileDescriptors"].value)
                                        if "FileDescriptors" in descriptor else []):
                if item is descriptor and type(item).__name__ == "MultipleDescriptor":
                    continue
                urls = [l["URLString"].value for l in item["Locator"].value] if "Locator" in item else []
                if len(urls) != 1 or not urls[0].startswith("file:///"):
                    self.fail("descriptor of %r has locators %r" % (name, urls))
        tc = [s for s in physical.slots if s.media_kind == "Timecode"]
        names = [(s.slot_id, s.name, s["PhysicalTrackNumber"].value) for s in tc]
        if names not in ([(1, "TC1", 1)], [(1, "TC1", 1), (2, "AuxTC1", 3)]):
            self.fail("physical source %r timecode slots %r" % (physical.name, names))
        for slot in physical.slots:
            rates.add(float(slot.edit_rate))
            lengths.add(slot.segment.length)
            if slot.media_kind != "Timecode" and str(slot.segment["SourceID"].value) != NULL_MOB_ID:
                self.fail("physical source %r slot %d does not end the chain" % (physical.name, slot.slot_id))
        for slot in master.slots:
            rates.add(float(slot.edit_rate))
            lengths.add(slot.segment.length)
        if len(rates) != 1 or len(lengths) != 1:
            self.fail("chain of %r has edit rates %r and lengths %r" % (name, rates, lengths))

    def check_composition(self, mob):
        if mob.usage not in ("Usage_SubClip", "Usage_TopLevel"):
            self.fail("composition %r usage %r" % (mob.name, mob.usage))
        first = mob.slots[0] if len(mob.slots) else None
        if first is None or first.slot_id != 1 or first.name != "TC1" or first.media_kind != "Timecode":
            self.fail("composition %r does not start with TC1" % mob.name)
            return
        longest = 0
        for slot in list(mob.slots)[1:]:
            if slot.media_kind == "Timecode" or slot.name not in ("", None):
                self.fail("composition %r slot %d is %s %r" % (mob.name, slot.slot_id, slot.media_kind, slot.name))
            longest = max(longest, slot.segment.length)
            for clip in self.clips(slot.segment):
                target = self.mobs.get(str(clip["SourceID"].value))
                if not isinstance(target, aaf2.mobs.MasterMob):
                    self.fail("composition %r refers to %r" % (mob.name, target))
                    continue
                target_slot = [s for s in target.slots if s.slot_id == clip["SourceMobSlotID"].value]
                if len(target_slot) != 1 or target_slot[0].media_kind != clip.media_kind:
                    self.fail("composition %r refers to slot %d of %r" % (mob.name, clip["SourceMobSlotID"].value, target.name))
        fps = first.segment.fps
        if len(mob.slots) > 1 and abs(first.segment.length - (longest + fps)) > 1:
            self.fail("composition %r timecode %d, longest sequence %d" % (mob.name, first.segment.length, longest))

    def run(self):
        with aaf2.open(self.path, "r") as f:
            if f.header["OperationalPattern"].value != EDIT_PROTOCOL:
                self.fail("not the Edit Protocol")
            self.mobs = {str(m.mob_id): m for m in f.content.mobs}
            for mob in f.content.mobs:
                self.say("%s %r%s" % (type(mob).__name__, mob.name,
                                       " usage " + str(mob.usage) if mob.usage else ""))
                if isinstance(mob, aaf2.mobs.SourceMob):
                    self.say("  descriptor " + self.descriptor_text(mob.descriptor))
                for slot in mob.slots:
                    self.say("  slot %d %r physical %s rate %s" % (
                        slot.slot_id, slot.name, slot["PhysicalTrackNumber"].value
                        if "PhysicalTrackNumber" in slot else None, slot.edit_rate))
                    self.describe(slot.segment, "    ")
                if isinstance(mob, aaf2.mobs.MasterMob):
                    self.check_chain(mob)
                elif isinstance(mob, aaf2.mobs.CompositionMob):
                    self.check_composition(mob)
            self.check_model(f)
            return len(self.mobs)


AVID_FOUND = set()


def main(arguments):
    dump = "--dump" in arguments
    paths = []
    for argument in (a for a in arguments if a != "--dump"):
        if os.path.isdir(argument):
            paths += sorted(os.path.join(argument, n) for n in os.listdir(argument) if n.endswith(".aaf"))
        else:
            paths.append(argument)
    failed = 0
    for path in paths:
        AVID_FOUND.clear()
        checker = Checker(path, dump)
        if dump:
            print("==== %s" % path)
        try:
            mobs = checker.run()
        except Exception as error:  # a file pyaaf2 cannot read fails
            checker.fail("pyaaf2 cannot read it: %r" % error)
            mobs = 0
        if AVID_FOUND != set(AVID_PROPERTIES):
            checker.fail("Avid extensions missing: %r" % sorted(set(AVID_PROPERTIES) - AVID_FOUND))
        verdict = "PASS" if not checker.problems else "FAIL"
        print("%s %s (%d mobs)" % (verdict, path, mobs))
        for problem in checker.problems[:20]:
            print("    " + problem)
        failed += bool(checker.problems)
    print("VERDICT: %s (%d of %d files pass)" % ("PASS" if not failed else "FAIL", len(paths) - failed, len(paths)))
    return 1 if failed or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
