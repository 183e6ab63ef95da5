#include "media/SourceFileIndex.h"

#include "media/MediaFile.h"
#include "platform/Text.h"

namespace vorlane {
namespace {

bool isDNGImage(const std::filesystem::path& path) {
    return upperCasedExtension(path) == "DNG";
}

}  // namespace

void SourceFileIndex::add(const std::shared_ptr<MediaFile>& file) {
    const std::filesystem::path source = file->sourceURLPath().lexically_normal();
    if (file->fileContainerType() == MediaFileContainerCinemaDNG)
        byImageFolder_.emplace(source.parent_path().string(), file);
    byPath_.emplace(source.string(), file);
    if (const auto identity = FileAccess::fileIdentity(source))
        byIdentity_.emplace(*identity, file);
    const std::optional<std::filesystem::path> media = file->mediaURL();
    if (!media || media->empty()) return;
    const std::filesystem::path mediaPath = media->lexically_normal();
    if (mediaPath == source) return;
    byPath_.emplace(mediaPath.string(), file);
    if (const auto identity = FileAccess::fileIdentity(mediaPath))
        byIdentity_.emplace(*identity, file);
}

std::shared_ptr<MediaFile> SourceFileIndex::find(const std::filesystem::path& url) const {
    const std::filesystem::path path = url.lexically_normal();
    if (isDNGImage(path)) {
        const auto found = byImageFolder_.find(path.parent_path().string());
        return found == byImageFolder_.end() ? nullptr : found->second;
    }
    if (const auto found = byPath_.find(path.string()); found != byPath_.end())
        return found->second;
    const auto identity = FileAccess::fileIdentity(path);
    if (!identity) return nullptr;
    const auto found = byIdentity_.find(*identity);
    return found == byIdentity_.end() ? nullptr : found->second;
}

void SourceFileIndex::clear() {
    byPath_.clear();
    byImageFolder_.clear();
    byIdentity_.clear();
}

}  // namespace vorlane
