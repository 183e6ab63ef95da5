// An MP3 file: the sound read through the media layer, plus what recorders write into its ID3
// tags as words of the form KEY=value: "TC=" timecode, "FR=" its rate ("25", "29.97DF"), "SC="
// scene, "TK=" take and "TAPE=" reel. The ID3v2 album, artist and title frames are searched
// first, the ID3v1 title, artist and album fields when the ID3v2 frames name no timecode.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "formats/asset/AVFoundationFile.h"

namespace vorlane {

class MP3File : public AVFoundationFile {
  public:
    explicit MP3File(std::filesystem::path url);  // initWithURL:, container type MP3

    // The extension is MP3 (any case).
    static bool isSupportedURL(const std::filesystem::path& url);

    // The first word of the text (split at single spaces) that contains the key, without as
    // many leading characters as the key has; nothing when no word contains it.
    static std::optional<std::string> findArgument(const std::string& key, const std::string& text);

    // Reads the tags of sourceURL and applies the words of one of them.
    void analyzeMP3Metadata();
    // Applies the words of a tag text: a file timecode (also when its text does not parse, then
    // at zero), scene, take and reel.
    void parseMP3MetaString(const std::string& text);

    void analyzeWithOptions(const MetadataDictionary& options) override;
    std::string className() const override { return "MP3File"; }
};

}  // namespace vorlane
