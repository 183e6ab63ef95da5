// Pictures from an asset's first video track for thumbnails: the design's image generator with
// unlimited time tolerance. The picture is that of the sync sample at or before the asked time,
// scaled to fit the maximum size with the display aspect ratio kept, as RGBA.
#pragma once

#include <memory>
#include <optional>

#include "platform/CMTime.h"
#include "platform/Image.h"

namespace vorlane {

class MediaAsset;

class AssetImageGenerator {
  public:
    explicit AssetImageGenerator(std::shared_ptr<MediaAsset> asset);

    int maximumWidth() const { return maximumWidth_; }
    int maximumHeight() const { return maximumHeight_; }
    void setMaximumSize(int width, int height);

    // Nothing when the asset has no decodable video track or no picture could be decoded.
    std::optional<Image> copyImageAtTime(CMTime time) const;

  private:
    std::shared_ptr<MediaAsset> asset_;
    int maximumWidth_ = 160;
    int maximumHeight_ = 90;
};

}  // namespace vorlane
