// Our own reader of TIFF and DNG tags: the header in either byte order, the first image file
// directory (IFD) and, when it names exactly one, its sub-IFD, each tag of the kept table stored
// by name. Images are read from a file or from bytes in memory (the TIFF blocks that Canon raw
// clips embed).
//
// Only the header, the directories and the values of kept tags are read, never the image data,
// so reading the tags of a 20 MB frame costs a few kilobytes. Nothing in the file is trusted:
// entries cut by the end of the file, values that lie past the end or would need more than
// kMaxValueBytes, unknown tags and types and tags listed twice are skipped; a directory is read
// once, so directories that point at each other cannot loop.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "formats/dng/DNGTagValue.h"

namespace vorlane {

class FileReader;

class DNGImage {
  public:
    // The largest tag value read; larger ones (strip tables of huge images) are skipped.
    static constexpr uint64_t kMaxValueBytes = 64 * 1024;
    static constexpr uint16_t kTagSubIFDs = 330;
    static constexpr uint16_t kTagTimecode = 51043;
    static constexpr uint16_t kTagFrameRate = 51044;

    // nullptr when the file cannot be opened.
    static std::unique_ptr<DNGImage> initWithURL(const std::filesystem::path& url);
    static std::unique_ptr<DNGImage> initWithData(std::span<const uint8_t> data);
    explicit DNGImage(std::unique_ptr<FileReader> reader,
                      std::optional<std::filesystem::path> url = std::nullopt);
    ~DNGImage();

    // Files whose extension is DNG in any case.
    static bool isSupportedURL(const std::filesystem::path& url);
    // A DNG whose first IFD holds a timecode or frame-rate tag (an image of a CinemaDNG clip).
    static bool isCinemaDNGImageAtURL(const std::filesystem::path& url);

    // The offset of the first IFD, and the byte order; 0 for a file that is not TIFF.
    uint64_t parseFileHeader();
    // Reads the first IFD, then its sub-IFD when "SubIFDs" is a single number; false when the
    // header is not TIFF or the first IFD cannot be read.
    bool readMetadata();
    // After readMetadata: whether the first IFD held a timecode or frame-rate tag.
    bool isCinemaDNG() const { return cinemaTagsInFirstIFD_; }
    // "%d.%d.%d.%d" from the four "DNGVersion" bytes.
    std::optional<std::string> dngVersion() const;

    bool isBigEndian() const { return isBigEndian_; }
    const std::optional<std::filesystem::path>& url() const { return url_; }
    const std::map<std::string, DNGTagValue>& imageFileDirectory() const { return directory_; }
    const DNGTagValue* valueForKey(const std::string& name) const;
    // Bytes read from the image so far.
    uint64_t bytesRead() const;
    // Closes the file; the tags read stay.
    void close();

    // "ImageWidth", ..., "UnknownTag(%d)" for tags outside the kept table.
    static std::string tagName(uint16_t tag);
    // "UBYTE", ..., "UNKOWN(%d)".
    static std::string dataTypeName(uint16_t type);
    // Bytes of one value of the type; 0 for unknown types.
    static uint32_t dataTypeLength(uint16_t type);

  private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        uint64_t valueOffset;  // where a value of more than four bytes lies in the file
    };
    uint16_t read16(const uint8_t* bytes) const;
    uint32_t read32(const uint8_t* bytes) const;
    // Reads one IFD into the directory; false when not even its entry count can be read.
    bool readDirectory(uint64_t offset, bool first);
    std::optional<DNGTagValue> readValue(const Entry& entry, const uint8_t* inlineValue);
    DNGTagValue::Number numberAt(const uint8_t* bytes, uint16_t type) const;

    std::unique_ptr<FileReader> reader_;
    uint64_t bytesReadBeforeClose_ = 0;
    std::optional<std::filesystem::path> url_;
    bool isBigEndian_ = false;
    bool cinemaTagsInFirstIFD_ = false;
    std::map<std::string, DNGTagValue> directory_;
};

}  // namespace vorlane
