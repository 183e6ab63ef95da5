// Facts the file system knows about a file or folder: its type identifier and type description,
// creation date, size, and the volume it lives on (file-system type, name, free space).
//
// Type identifiers are reverse-DNS names of content types ("com.apple.quicktime-movie",
// "public.mpeg-4", "com.microsoft.waveform-audio", ...). They come from the file name's
// extension; a file whose extension names no known type is recognised by its first bytes.
// File-system types are the kernel's names from /proc/self/mountinfo ("ext4", "btrfs", ...),
// except that every FAT file system (vfat, msdos, fat, exfat) is reported as "msdos".
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::FileSystem {

inline constexpr const char* kTypeQuickTimeMovie = "com.apple.quicktime-movie";
inline constexpr const char* kTypeMPEG4 = "public.mpeg-4";
inline constexpr const char* kTypeMPEG4Audio = "public.mpeg-4-audio";
inline constexpr const char* kTypeMPEG = "public.mpeg";
inline constexpr const char* kTypeMPEG2TransportStream = "public.mpeg-2-transport-stream";
inline constexpr const char* kTypeAVCHDTransportStream = "public.avchd-mpeg-2-transport-stream";
inline constexpr const char* kTypeWaveformAudio = "com.microsoft.waveform-audio";
inline constexpr const char* kTypeAIFFAudio = "public.aiff-audio";
inline constexpr const char* kTypeAIFCAudio = "public.aifc-audio";
inline constexpr const char* kTypeMP3 = "public.mp3";
inline constexpr const char* kTypeMXF = "org.smpte.mxf";
inline constexpr const char* kTypeREDRaw = "com.red.r3d";
inline constexpr const char* kTypeCanonRawMovie = "com.canon.crm";
inline constexpr const char* kTypeDNG = "com.adobe.raw-image";
inline constexpr const char* kTypeFCPXML = "com.apple.finalcutpro.xml";
inline constexpr const char* kTypeXML = "public.xml";
inline constexpr const char* kTypeFolder = "public.folder";
inline constexpr const char* kTypeData = "public.data";  // any other file

// The type identifier of an existing file or folder; nothing when the path does not exist.
std::optional<std::string> typeIdentifier(const std::filesystem::path& path);
// The type named by a file name's extension (any case); nothing for an unknown extension.
std::optional<std::string> typeIdentifierForExtension(const std::string& extension);
// The type recognised from a file's first bytes (up to 1 KiB); nothing when none matches.
std::optional<std::string> typeIdentifierForContent(std::span<const uint8_t> head);
// The readable name of a type ("QuickTime movie"); nothing for an identifier not listed above.
std::optional<std::string> typeDescriptionForIdentifier(const std::string& typeIdentifier);
// The readable name of an existing file's type.
std::optional<std::string> typeDescription(const std::filesystem::path& path);

// When the file was made (its birth time where the file system keeps one, else the time of its
// last modification); nothing when the path cannot be examined.
std::optional<std::chrono::system_clock::time_point> creationDate(const std::filesystem::path&);
// The size in bytes of a regular file.
std::optional<uint64_t> fileSize(const std::filesystem::path& path);
// Whether the user may write into the file or folder (false on a read-only file system).
bool isWritable(const std::filesystem::path& path);

// The entries of a folder sorted by name, without hidden ones (names starting with "."); empty
// when the folder cannot be listed.
std::vector<std::filesystem::path> visibleFolderEntries(const std::filesystem::path& folder);
// Hands every entry of a folder that is not hidden to `visit`, in the file system's order, for
// questions that need no sorted list; false when the folder cannot be listed to its end.
bool visitVisibleFolderEntries(const std::filesystem::path& folder,
                               const std::function<void(const std::filesystem::path&)>& visit);

struct VolumeAttributes {
    std::string fileSystemType;  // "msdos" for every FAT kind
    std::string volumeName;      // the label, else the mount point's name, else the device's
    std::filesystem::path mountPoint;
    uint64_t freeBytes = 0;  // available to the user
    uint64_t totalBytes = 0;
};
// The volume holding an existing path; nothing when it cannot be examined.
std::optional<VolumeAttributes> volumeAttributes(const std::filesystem::path& path);

// One line of /proc/self/mountinfo.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::filesystem::path mountPoint;
    std::string fileSystemType;  // as the kernel names it
    std::string source;          // the device or the file system's own source text
};
// The entries of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The entry a path lives on: among the mount points that contain the (absolute, normalised)
// path, the longest one of the given device, else the longest one; the later entry wins a tie,
// as a later mount hides an earlier one. Nothing when no mount point contains the path.
std::optional<MountEntry> mountEntryForPath(const std::vector<MountEntry>& entries,
                                            const std::filesystem::path& path,
                                            std::optional<std::pair<unsigned, unsigned>> device);
// The label udev lists for a device in /dev/disk/by-label (names there escape blanks as \x20);
// nothing for a device without a label.
std::optional<std::string> labelOfDevice(const std::string& source);
// The kernel's file-system name with every FAT kind folded into "msdos".
std::string normalizedFileSystemType(const std::string& kernelName);

// True when the path is a real folder (not a link to one) that belongs to the current user.
bool isPrivateDirectory(const std::filesystem::path& path);

}  // namespace vorlane::FileSystem
