// A CinemaDNG clip: a folder of numbered DNG images, one per frame, usually with a WAV file
// recorded beside them, becomes one media file. Its video track counts the images and takes
// its picture size from the first one; the start timecode and rate come from the timecode and
// frame-rate tags of the first image, the length from the first and last image's timecodes; the
// WAV, read by the Broadcast WAV reader, gives the sound.
//
// Indexing a clip lists its folder (sizes come from the directory, no image is opened) and reads
// the tags of the first and last image only, a few kilobytes for any number of frames.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "media/MediaFile.h"

namespace vorlane {

class BWFFile;
class DNGImage;

class CinemaDNGFile : public MediaFile {
  public:
    // What the folder scan found.
    struct Sequence {
        std::filesystem::path firstImage;
        std::filesystem::path lastImage;
        std::optional<std::filesystem::path> audio;  // the last WAV in name order
        uint64_t frameCount = 0;
        uint64_t totalFileSize = 0;
    };

    // DNG images (extension DNG in any case).
    static bool isSupportedURL(const std::filesystem::path& url);
    // Whether the URL's folder holds a CinemaDNG clip: its first or last DNG image in name
    // order is a CinemaDNG image.
    static bool isURLPartOfDNGDirectory(const std::filesystem::path& url);
    // The clip of the URL's folder (the URL is any file in it); nullptr when the folder holds no
    // CinemaDNG clip. The file's source URL is the first image.
    static std::shared_ptr<CinemaDNGFile> initWithURL(const std::filesystem::path& url);
    // The folder scan; nothing when neither end image is a CinemaDNG image.
    static std::optional<Sequence> scanDirectiory(const std::filesystem::path& url);

    CinemaDNGFile(const Sequence& sequence, std::unique_ptr<DNGImage> firstDNG,
                  std::unique_ptr<DNGImage> lastDNG);
    ~CinemaDNGFile() override;

    const DNGImage& firstDNG() const { return *firstDNG_; }
    const DNGImage& lastDNG() const { return *lastDNG_; }
    const std::shared_ptr<BWFFile>& audioFile() const { return audioFile_; }
    uint64_t frameCount() const { return frameCount_; }
    uint64_t totalFileSize() const { return totalFileSize_; }
    // Bytes read from the images (their tags) so far.
    uint64_t bytesRead() const;

    // The image's SMPTE time address at the first image's frame rate; none without one.
    std::shared_ptr<TCHelper> timecodeOfDNGImage(const DNGImage& image) const;
    // "A001_C001_[000001-000240].dng" for a clip of A001_C001_000001.dng ... _000240.dng.
    std::string commonName() const;
    std::filesystem::path commonNameURL() const;
    // The first image's bit depth (its first value when it lists one per sample); 0 if absent.
    uint32_t bitDepth() const;

    void analyzeWithOptions(const MetadataDictionary& options) override;
    void analyzeTracks();
    void analyzeMetadata();
    void makeThumbnail();
    // Decodes LTC from the WAV beside the images; its audio timecodes become this file's too.
    void readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) override;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "CinemaDNGFile"; }

  private:
    std::string tagsDescription() const;

    std::unique_ptr<DNGImage> firstDNG_;
    std::unique_ptr<DNGImage> lastDNG_;
    std::shared_ptr<BWFFile> audioFile_;
    uint64_t frameCount_;
    uint64_t totalFileSize_;
};

}  // namespace vorlane
