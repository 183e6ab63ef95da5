// Arbitrary bytes as an FCPXML document added to a pool: every clip that yields a file names it by
// an absolute path that is no further document, carries the import's mark, and no clip yields
// more than one file. The pool's reader makes file objects without looking at the disk.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "export/FCPXImport.h"
#include "media/MediaFile.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto import = FCPXImport::initWithString(text);
    if (!import) return 0;
    static UserDefaults defaults("/nonexistent/vorlane-fuzz/defaults.json");
    static NotificationCenter center;
    auto pool = MediaPool::create(
        [](const std::filesystem::path& url, MediaPool&) {
            auto file = std::make_shared<MediaFile>(url);
            return MediaReaderChoice{file, {file}, {}};
        },
        defaults, center);
    const auto files = import->mediaFilesForMediaPool(*pool);
    size_t clips = 0;
    for (const XMLNode& child : import->xmlRoot().selectNodes("//clip | //asset-clip"))
        clips += child ? 1 : 0;
    if (files.size() > clips) std::abort();
    for (const auto& file : files) {
        const std::filesystem::path& path = file->sourceURLPath();
        if (!path.is_absolute() || FCPXImport::isSupportedURL(path)) std::abort();
        if (file->metaDataString(kFCPXImported) != "YES") std::abort();
    }
    if (import->xmlVersion() < 0 && import->xmlRoot().name() != "fcpxml") std::abort();
    return 0;
}
