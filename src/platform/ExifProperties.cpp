#include "platform/ExifProperties.h"

// Exiv2 0.27 hands images out as std::auto_ptr, which C++17 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <exiv2/exiv2.hpp>
#include <string>

#include "platform/FileReader.h"

namespace vorlane::ExifProperties {
namespace {

// Image files beside media (thumbnails) are small; a larger one is not read.
constexpr uint64_t kMaxImageFileBytes = 64ull << 20;
// Longer values (embedded documents, tables) are no camera facts.
constexpr long kMaxValueBytes = 1024;

struct AuxiliaryKey {
    const char* group;  // the makers' note group of the library
    const char* tag;
    const char* property;
};

// What the makers' notes name, under the auxiliary keys.
constexpr AuxiliaryKey kAuxiliaryKeys[] = {
    {"Canon", "FirmwareVersion", "Firmware"},
    {"Canon", "SerialNumber", "SerialNumber"},
    {"Canon", "LensModel", "LensModel"},
    {"Canon", "OwnerName", "OwnerName"},
    {"Nikon3", "SerialNumber", "SerialNumber"},
    {"Panasonic", "FirmwareVersion", "Firmware"},
    {"Panasonic", "InternalSerialNumber", "SerialNumber"},
    {"Panasonic", "LensType", "LensModel"},
    {"Panasonic", "LensSerialNumber", "LensSerialNumber"},
    {"OlympusEq", "SerialNumber", "SerialNumber"},
    {"OlympusEq", "LensModel", "LensModel"},
    {"OlympusEq", "LensSerialNumber", "LensSerialNumber"},
    {"OlympusEq", "FirmwareVersion", "Firmware"},
};

void muteLibraryLog() {
    static const bool muted = (Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute), true);
    (void)muted;
}

std::string tidy(std::string text) {
    const auto blank = [](unsigned char c) { return c == 0 || std::isspace(c); };
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    return text;
}

// Firmware texts of makers' notes start with words of their own ("Firmware 1.0.2",
// "Firmware Version 1.1.0"); the property holds the version.
std::string firmwareVersion(std::string text) {
    for (const char* word : {"Firmware", "Version"}) {
        if (text.starts_with(word)) text = tidy(text.substr(std::strlen(word)));
    }
    return text;
}

const char* auxiliaryProperty(const std::string& group, const std::string& tag) {
    for (const AuxiliaryKey& key : kAuxiliaryKeys)
        if (group == key.group && tag == key.tag) return key.property;
    return nullptr;
}

std::optional<MetadataDictionary> groupedProperties(const Exiv2::ExifData& exif) {
    MetadataDictionary tiff, exifGroup, auxiliary;
    for (const Exiv2::Exifdatum& datum : exif) {
        if (datum.size() > kMaxValueBytes) continue;
        const std::string group = datum.groupName();
        const std::string tag = datum.tagName();
        std::string text = tidy(datum.toString());
        if (text.empty()) continue;
        if (group == "Image") {
            tiff.emplace(tag, text);
        } else if (group == "Photo") {
            exifGroup.emplace(tag, text);
        } else if (const char* property = auxiliaryProperty(group, tag)) {
            if (std::strcmp(property, "Firmware") == 0) text = firmwareVersion(text);
            auxiliary.emplace(property, text);
        }
    }
    if (tiff.empty() && exifGroup.empty() && auxiliary.empty()) return std::nullopt;
    MetadataDictionary properties;
    if (!tiff.empty()) properties[kGroupTIFF] = tiff;
    if (!exifGroup.empty()) properties[kGroupExif] = exifGroup;
    if (!auxiliary.empty()) properties[kGroupExifAux] = auxiliary;
    return properties;
}

// Still pictures that carry EXIF: JPEG, TIFF (DNG and the TIFF-based raws), Canon CR2,
// Olympus ORF and Panasonic RW2. The library's movie and other readers are not used: a damaged
// movie can keep its QuickTime reader busy without end.
bool isStillPicture(int type) {
    namespace Type = Exiv2::ImageType;
    for (int still : {Type::jpeg, Type::exv, Type::tiff, Type::cr2, Type::orf, Type::rw2})
        if (type == still) return true;
    return false;
}

template <class Type, class Open>
std::optional<MetadataDictionary> propertiesOfImage(Type type, Open open) {
    muteLibraryLog();
    try {
        if (!isStillPicture(type())) return std::nullopt;
        auto image = open();
        if (!image.get()) return std::nullopt;
        image->readMetadata();
        return groupedProperties(image->exifData());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<MetadataDictionary> propertiesOfFile(const std::filesystem::path& url) {
    const auto reader = FileReader::open(url);
    if (!reader || reader->size() > kMaxImageFileBytes) return std::nullopt;
    const auto bytes = reader->readBytes(0, size_t(reader->size()));
    if (!bytes) return std::nullopt;
    return propertiesOfImageData(*bytes);
}

std::optional<MetadataDictionary> propertiesOfImageData(std::span<const uint8_t> data) {
    if (data.empty()) return std::nullopt;
    return propertiesOfImage(
        [&] { return Exiv2::ImageFactory::getType(data.data(), long(data.size())); },
        [&] { return Exiv2::ImageFactory::open(data.data(), long(data.size())); });
}

std::optional<MetadataDictionary> propertiesOfExifSegment(std::span<const uint8_t> segment) {
    static constexpr uint8_t kApp1[] = {0xFF, 0xE1};
    static constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (segment.size() >= 4 && std::equal(kApp1, kApp1 + 2, segment.begin()))
        segment = segment.subspan(4);
    if (segment.size() >= 6 && std::equal(kExifHeader, kExifHeader + 6, segment.begin()))
        segment = segment.subspan(6);
    if (segment.size() < 8 || segment.size() > UINT32_MAX) return std::nullopt;
    muteLibraryLog();
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, segment.data(), uint32_t(segment.size()));
        return groupedProperties(exif);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace vorlane::ExifProperties

#pragma GCC diagnostic pop
