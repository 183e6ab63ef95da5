// The name another computer knows a volume by: the label of a labelled removable drive or card
// (it mounts under that name wherever it is plugged in) or the share name of a network volume.
// The computer's own disks have no such name; their files are known by their plain path.
// Editing systems that relink media by volume name read it from the file URLs of exports.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace vorlane {

struct NamedVolume {
    std::string name;
    std::filesystem::path mountPoint;
};

// The named volume holding an existing path; nothing when the path lies on the computer's own
// disks or cannot be examined.
std::optional<NamedVolume> namedVolumeOfPath(const std::filesystem::path& path);

// The rule itself: a network file system is named by the last part of its share ("//host/Media"
// gives "Media"), else by its mount point's name; a block device by its label when it has one
// and is removable (by its own account, or plugged in by USB, FireWire or as a memory card, or
// mounted where desktops mount such drives: below /media or /run/media).
std::optional<NamedVolume> namedVolumeOf(const FileSystem::MountEntry& entry,
                                         const std::optional<std::string>& label,
                                         bool removableDevice);

}  // namespace vorlane
