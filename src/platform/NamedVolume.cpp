#include "platform/NamedVolume.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string_view>

namespace vorlane {
namespace {

bool isNetworkFileSystem(const std::string& type) {
    static constexpr std::array<std::string_view, 12> kTypes = {
        "nfs",   "nfs4",  "cifs",       "smb3",  "smbfs",       "ncpfs",
        "afpfs", "sshfs", "fuse.sshfs", "davfs", "fuse.davfs2", "9p"};
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

bool liesBelow(const std::filesystem::path& path, std::string_view folder) {
    const std::string text = path.string();
    return text.size() > folder.size() && text.starts_with(folder) && text[folder.size()] == '/';
}

std::string readLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Whether the kernel counts the device (or the disk a partition belongs to) as removable, or it
// hangs off a bus for plug-in drives and cards.
bool isRemovableDevice(unsigned major, unsigned minor) {
    std::error_code error;
    const std::filesystem::path block = std::filesystem::canonical(
        "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), error);
    if (error) return false;
    const std::string text = block.string();
    for (const std::string_view bus : {"/usb", "/mmc", "/firewire", "/ieee1394", "/memstick"})
        if (text.find(bus) != std::string::npos) return true;
    for (const auto& folder : {block, block.parent_path()})
        if (readLine(folder / "removable") == "1") return true;
    return false;
}

}  // namespace

std::optional<NamedVolume> namedVolumeOf(const FileSystem::MountEntry& entry,
                                         const std::optional<std::string>& label,
                                         bool removableDevice) {
    if (isNetworkFileSystem(entry.fileSystemType)) {
        std::string share = entry.source;
        while (!share.empty() && share.back() == '/')
            share.pop_back();
        const size_t cut = share.find_last_of("/:");
        std::string name = cut == std::string::npos ? share : share.substr(cut + 1);
        if (name.empty()) name = entry.mountPoint.filename().string();
        if (name.empty()) return std::nullopt;
        return NamedVolume{name, entry.mountPoint};
    }
    const bool pluggedIn = removableDevice || liesBelow(entry.mountPoint, "/media") ||
                           liesBelow(entry.mountPoint, "/run/media");
    if (!label || label->empty() || !pluggedIn) return std::nullopt;
    return NamedVolume{*label, entry.mountPoint};
}

std::optional<NamedVolume> namedVolumeOfPath(const std::filesystem::path& path) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) != 0) return std::nullopt;
    std::error_code error;
    const auto absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    if (error) return std::nullopt;
    std::ifstream in("/proc/self/mountinfo");
    const std::string mountInfo{std::istreambuf_iterator<char>(in), {}};
    const unsigned major = ::major(facts.st_dev);
    const unsigned minor = ::minor(facts.st_dev);
    const auto entry = FileSystem::mountEntryForPath(FileSystem::parseMountInfo(mountInfo),
                                                     absolute, std::pair(major, minor));
    if (!entry) return std::nullopt;
    return namedVolumeOf(*entry, FileSystem::labelOfDevice(entry->source),
                         isRemovableDevice(major, minor));
}

}  // namespace vorlane
