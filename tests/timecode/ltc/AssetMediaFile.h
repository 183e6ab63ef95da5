// A minimal media file for the decoder's tests: its audio and video tracks are set up from what
// the media asset layer reports, as the platform-read files will do, and nothing else is read.
#pragma once

#include <filesystem>
#include <memory>

#include "media/MediaFile.h"

namespace vorlane::test {

class AssetMediaFile : public MediaFile {
  public:
    // Nothing when the asset layer cannot open the file.
    static std::shared_ptr<AssetMediaFile> open(const std::filesystem::path& path);

    explicit AssetMediaFile(std::filesystem::path url) : MediaFile(std::move(url)) {}
    std::string className() const override { return "AssetMediaFile"; }
};

}  // namespace vorlane::test
