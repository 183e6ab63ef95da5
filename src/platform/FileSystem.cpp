#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "platform/FileReader.h"
#include "platform/Text.h"

namespace vorlane::FileSystem {
namespace {

struct TypeEntry {
    const char* identifier;
    const char* description;
};

constexpr std::array kTypes = {
    TypeEntry{kTypeQuickTimeMovie, "QuickTime movie"},
    TypeEntry{kTypeMPEG4, "MPEG-4 movie"},
    TypeEntry{kTypeMPEG4Audio, "MPEG-4 audio"},
    TypeEntry{kTypeMPEG, "MPEG movie"},
    TypeEntry{kTypeMPEG2TransportStream, "MPEG-2 transport stream"},
    TypeEntry{kTypeAVCHDTransportStream, "AVCHD MPEG-2 transport stream"},
    TypeEntry{kTypeWaveformAudio, "Waveform audio"},
    TypeEntry{kTypeAIFFAudio, "AIFF audio"},
    TypeEntry{kTypeAIFCAudio, "AIFF-C audio"},
    TypeEntry{kTypeMP3, "MP3 audio"},
    TypeEntry{kTypeMXF, "MXF movie"},
    TypeEntry{kTypeREDRaw, "REDCODE raw movie"},
    TypeEntry{kTypeCanonRawMovie, "Canon Cinema RAW Light movie"},
    TypeEntry{kTypeDNG, "DNG image"},
    TypeEntry{kTypeFCPXML, "Final Cut Pro XML document"},
    TypeEntry{kTypeXML, "XML document"},
    TypeEntry{kTypeFolder, "Folder"},
    TypeEntry{kTypeData, "Document"},
};

const std::map<std::string, const char*>& extensionTypes() {
    static const std::map<std::string, const char*> table = {
        {"mov", kTypeQuickTimeMovie},
        {"qt", kTypeQuickTimeMovie},
        {"mp4", kTypeMPEG4},
        {"m4v", kTypeMPEG4},
        {"m4a", kTypeMPEG4Audio},
        {"mpg", kTypeMPEG},
        {"mpeg", kTypeMPEG},
        {"m2p", kTypeMPEG},
        {"ts", kTypeMPEG2TransportStream},
        {"m2t", kTypeMPEG2TransportStream},
        {"mts", kTypeAVCHDTransportStream},
        {"m2ts", kTypeAVCHDTransportStream},
        {"wav", kTypeWaveformAudio},
        {"wave", kTypeWaveformAudio},
        {"bwf", kTypeWaveformAudio},
        {"aif", kTypeAIFFAudio},
        {"aiff", kTypeAIFFAudio},
        {"aifc", kTypeAIFCAudio},
        {"mp3", kTypeMP3},
        {"mxf", kTypeMXF},
        {"r3d", kTypeREDRaw},
        {"crm", kTypeCanonRawMovie},
        {"dng", kTypeDNG},
        {"fcpxml", kTypeFCPXML},
        {"xml", kTypeXML},
    };
    return table;
}

bool bytesAt(std::span<const uint8_t> head, size_t offset, std::string_view expected) {
    return offset + expected.size() <= head.size() &&
           std::memcmp(head.data() + offset, expected.data(), expected.size()) == 0;
}

// Transport-stream packets of `packetSize` bytes whose sync byte sits `syncOffset` bytes in.
bool looksLikeTransportStream(std::span<const uint8_t> head, size_t packetSize, size_t syncOffset) {
    for (size_t packet = 0; packet < 3; ++packet) {
        const size_t at = packet * packetSize + syncOffset;
        if (at >= head.size() || head[at] != 0x47) return false;
    }
    return true;
}

bool looksLikeMP3Frame(std::span<const uint8_t> head) {
    // Frame sync, MPEG audio layer III, a bit rate and sample rate that are not reserved.
    return head.size() >= 4 && head[0] == 0xff && (head[1] & 0xe0) == 0xe0 &&
           ((head[1] >> 1) & 3) == 1 && (head[2] >> 4) != 0 && (head[2] >> 4) != 15 &&
           ((head[2] >> 2) & 3) != 3 && ((head[1] >> 3) & 3) != 1;
}

std::string unescapeMountField(std::string_view field) {
    // The kernel writes space, tab, newline and backslash as three octal digits.
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + std::ptrdiff_t(i) + 1,
                        field.begin() + std::ptrdiff_t(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            text += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                         (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// True when `path` is `folder` or lies inside it, compared by whole components.
bool pathIsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto inner = path.begin();
    for (auto outer = folder.begin(); outer != folder.end(); ++outer, ++inner) {
        if (outer->empty()) continue;  // a trailing separator
        if (inner == path.end() || *inner != *outer) return false;
    }
    return true;
}

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::optional<std::string> labelOfDevice(const std::string& source) {
    std::error_code error;
    const auto device = std::filesystem::canonical(source, error);
    if (error) return std::nullopt;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        if (std::filesystem::canonical(entry.path(), error) != device || error) continue;
        std::string label = entry.path().filename().string();
        for (size_t at; (at = label.find("\\x20")) != std::string::npos;)
            label.replace(at, 4, " ");
        return label;
    }
    return std::nullopt;
}

std::optional<std::string> typeIdentifierForExtension(const std::string& extension) {
    std::string key = lowerCased(extension);
    if (!key.empty() && key.front() == '.') key.erase(0, 1);
    const auto found = extensionTypes().find(key);
    if (found == extensionTypes().end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> typeIdentifierForContent(std::span<const uint8_t> head) {
    if ((bytesAt(head, 0, "RIFF") || bytesAt(head, 0, "RF64") || bytesAt(head, 0, "BW64")) &&
        bytesAt(head, 8, "WAVE"))
        return kTypeWaveformAudio;
    if (bytesAt(head, 0, "FORM") && bytesAt(head, 8, "AIFF")) return kTypeAIFFAudio;
    if (bytesAt(head, 0, "FORM") && bytesAt(head, 8, "AIFC")) return kTypeAIFCAudio;
    if (bytesAt(head, 4, "ftyp")) {
        if (bytesAt(head, 8, "qt  ")) return kTypeQuickTimeMovie;
        if (bytesAt(head, 8, "M4A ")) return kTypeMPEG4Audio;
        return kTypeMPEG4;
    }
    for (const char* atom : {"moov", "mdat", "wide", "free", "skip", "pnot"}) {
        if (bytesAt(head, 4, atom)) return kTypeQuickTimeMovie;
    }
    // The key of an MXF partition pack.
    if (bytesAt(head, 0, "\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01")) return kTypeMXF;
    if (bytesAt(head, 4, "RED1") || bytesAt(head, 4, "RED2")) return kTypeREDRaw;
    if (looksLikeTransportStream(head, 188, 0)) return kTypeMPEG2TransportStream;
    if (looksLikeTransportStream(head, 192, 4)) return kTypeAVCHDTransportStream;
    if (bytesAt(head, 0, std::string_view("\x00\x00\x01\xba", 4))) return kTypeMPEG;
    if (bytesAt(head, 0, "ID3") || looksLikeMP3Frame(head)) return kTypeMP3;
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (text.starts_with("<?xml")) {
        return text.find("<fcpxml") != std::string_view::npos ? kTypeFCPXML : kTypeXML;
    }
    return std::nullopt;
}

std::optional<std::string> typeIdentifier(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return std::nullopt;
    if (std::filesystem::is_directory(status)) return kTypeFolder;
    if (auto byExtension = typeIdentifierForExtension(path.extension().string()))
        return byExtension;
    const auto reader = FileReader::open(path);
    if (!reader) return kTypeData;
    const auto head = reader->readBytes(0, size_t(std::min<uint64_t>(reader->size(), 1024)));
    if (!head) return kTypeData;
    return typeIdentifierForContent(*head).value_or(kTypeData);
}

std::optional<std::string> typeDescriptionForIdentifier(const std::string& typeIdentifier) {
    for (const TypeEntry& entry : kTypes) {
        if (typeIdentifier == entry.identifier) return entry.description;
    }
    return std::nullopt;
}

std::optional<std::string> typeDescription(const std::filesystem::path& path) {
    const auto identifier = typeIdentifier(path);
    if (!identifier) return std::nullopt;
    return typeDescriptionForIdentifier(*identifier);
}

std::optional<std::chrono::system_clock::time_point> creationDate(
    const std::filesystem::path& path) {
    struct statx facts {};
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BTIME | STATX_MTIME, &facts) !=
        0)
        return std::nullopt;
    const statx_timestamp& time =
        (facts.stx_mask & STATX_BTIME) != 0 ? facts.stx_btime : facts.stx_mtime;
    const auto sinceEpoch =
        std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceEpoch));
}

std::optional<uint64_t> fileSize(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return uint64_t(size);
}

bool isWritable(const std::filesystem::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::vector<std::filesystem::path> visibleFolderEntries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> entries;
    if (!visitVisibleFolderEntries(
            folder, [&](const std::filesystem::path& entry) { entries.push_back(entry); }))
        return {};
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool visitVisibleFolderEntries(const std::filesystem::path& folder,
                               const std::function<void(const std::filesystem::path&)>& visit) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (!it->path().filename().string().starts_with(".")) visit(it->path());
    return !error;
}

std::optional<VolumeAttributes> volumeAttributes(const std::filesystem::path& path) {
    struct stat facts {};
    struct statvfs space {};
    if (::stat(path.c_str(), &facts) != 0 || ::statvfs(path.c_str(), &space) != 0)
        return std::nullopt;
    VolumeAttributes attributes;
    attributes.freeBytes = uint64_t(space.f_bavail) * space.f_frsize;
    attributes.totalBytes = uint64_t(space.f_blocks) * space.f_frsize;

    std::error_code error;
    const auto absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    const auto entry = mountEntryForPath(parseMountInfo(readWholeFile("/proc/self/mountinfo")),
                                         error ? path : absolute,
                                         std::pair(::major(facts.st_dev), ::minor(facts.st_dev)));
    if (entry) {
        attributes.fileSystemType = normalizedFileSystemType(entry->fileSystemType);
        attributes.mountPoint = entry->mountPoint;
        if (auto label = labelOfDevice(entry->source))
            attributes.volumeName = *label;
        else if (!entry->mountPoint.filename().empty())
            attributes.volumeName = entry->mountPoint.filename().string();
        else
            attributes.volumeName = std::filesystem::path(entry->source).filename().string();
    }
    return attributes;
}

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields),
                                       std::istream_iterator<std::string>()};
        // id parent major:minor root mount-point options [optional...] - type source options
        const auto separator = std::find(words.begin(), words.end(), "-");
        if (words.size() < 6 || separator == words.end() || separator - words.begin() < 6 ||
            words.end() - separator < 3)
            continue;
        MountEntry entry;
        const std::string& device = words[2];
        const size_t colon = device.find(':');
        if (colon == std::string::npos) continue;
        try {
            entry.major = unsigned(std::stoul(device.substr(0, colon)));
            entry.minor = unsigned(std::stoul(device.substr(colon + 1)));
        } catch (const std::exception&) {
            continue;
        }
        entry.mountPoint = unescapeMountField(words[4]);
        entry.fileSystemType = unescapeMountField(separator[1]);
        entry.source = unescapeMountField(separator[2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<MountEntry> mountEntryForPath(const std::vector<MountEntry>& entries,
                                            const std::filesystem::path& path,
                                            std::optional<std::pair<unsigned, unsigned>> device) {
    const MountEntry* best = nullptr;
    const MountEntry* bestOfDevice = nullptr;
    const auto depth = [](const MountEntry* entry) {
        return std::distance(entry->mountPoint.begin(), entry->mountPoint.end());
    };
    for (const MountEntry& entry : entries) {
        if (!entry.mountPoint.is_absolute() || !pathIsInside(path, entry.mountPoint)) continue;
        if (best == nullptr || depth(&entry) >= depth(best)) best = &entry;
        if (device && device->first == entry.major && device->second == entry.minor &&
            (bestOfDevice == nullptr || depth(&entry) >= depth(bestOfDevice)))
            bestOfDevice = &entry;
    }
    if (bestOfDevice != nullptr) return *bestOfDevice;
    if (best != nullptr) return *best;
    return std::nullopt;
}

std::string normalizedFileSystemType(const std::string& kernelName) {
    for (const char* fat : {"vfat", "msdos", "fat", "exfat", "umsdos"}) {
        if (kernelName == fat) return "msdos";
    }
    return kernelName;
}

bool isPrivateDirectory(const std::filesystem::path& path) {
    struct stat facts {};
    return ::lstat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode) &&
           facts.st_uid == ::geteuid();
}

}  // namespace vorlane::FileSystem
