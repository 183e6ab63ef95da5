#include "formats/quicktime/QuicktimeFile.h"

#include <algorithm>
#include <cctype>

#include "formats/camera_xml/PanaXMLExtractor.h"
#include "formats/camera_xml/SonyXMLExtractor.h"
#include "formats/camera_xml/XMLParser.h"
#include "formats/dng/EXIFExtractor.h"
#include "formats/quicktime/QtAtomReader.h"
#include "formats/quicktime/QtMetadataReader.h"
#include "platform/ByteOrder.h"
#include "platform/DateParsing.h"
#include "platform/DisplayText.h"
#include "platform/Text.h"
#include "platform/XMLDocument.h"

namespace vorlane {
namespace {

constexpr const char* kUserData = kMetadataFormatQuickTimeUserData;
constexpr const char* kISOUserData = kMetadataFormatISOUserData;
constexpr const char* kMetadata = kMetadataFormatQuickTimeMetadata;

std::span<const uint8_t> bytesOf(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

// GoPro models by the prefix of their firmware text; the first match wins.
struct GoProModel {
    const char* firmwarePrefix;
    const char* model;
};
constexpr GoProModel kGoProModels[] = {
    {"HD1.", "HERO"},           {"HD2.", "HERO2"},         {"HD3.", "HERO3(+)"},
    {"HD4.01", "HERO4 Silver"}, {"HD4.02", "HERO4 Black"}, {"HD5.01", "HERO5 Session"},
    {"HD5.02", "HERO5 Black"},  {"HX1.", "HERO4 Session"},
};

// A camera serial as text when it is printable ASCII (NUL padding allowed at the end), else
// the bytes in hexadecimal groups of four: "<0a1b2c3d 4e5f>".
std::string serialText(const std::vector<uint8_t>& bytes) {
    size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == 0)
        --end;
    const bool printable = end > 0 && std::all_of(bytes.begin(), bytes.begin() + ptrdiff_t(end),
                                                  [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
    if (printable) return std::string(bytes.begin(), bytes.begin() + ptrdiff_t(end));
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "<";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text + ">";
}

// ARRI's user date "20240517" and time "14:03:07" as a local date.
std::optional<MetadataDate> arriDate(const std::string& date, const std::string& time) {
    if (date.size() < 8 || time.size() < 8) return std::nullopt;
    const std::string text = date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2) +
                             " " + time.substr(0, 2) + ":" + time.substr(3, 2) + ":" +
                             time.substr(6, 2);
    return DateParsing::dateWithText(text, DateParsing::ZoneWhenAbsent::Local);
}

// Camera, serial number and date from the JPEG picture at `offset` of a Panasonic item: after the
// start of the image, an APP1 marker with its length L; the L + 4 bytes from the marker (cut at
// the item's end) are the EXIF block.
void readPanasonicPictureEXIF(const std::vector<uint8_t>& item, size_t offset, MediaFile& file) {
    static constexpr uint8_t kStart[] = {0xFF, 0xD8, 0xFF, 0xE1};
    if (item.size() < offset + 6 ||
        !std::equal(kStart, kStart + 4, item.begin() + ptrdiff_t(offset)))
        return;
    const size_t length = readBE16(item.data() + offset + 4);
    if (length == 2) return;
    const size_t segment = std::min(length + 4, item.size() - offset - 2);
    auto extractor =
        EXIFExtractor::extractorWithExifData({item.data() + offset + 2, segment}, file);
    if (!extractor) return;
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
}

}  // namespace

QuicktimeFile::QuicktimeFile(std::filesystem::path url) : AVFoundationFile(std::move(url)) {}

QuicktimeFile::~QuicktimeFile() = default;

bool QuicktimeFile::isSupportedURL(const std::filesystem::path& url) {
    std::string extension = url.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    extension = upperCased(extension);
    return extension == "MOV" || extension == "MP4" || extension == "M4A" || extension == "M4V";
}

void QuicktimeFile::analyzeWithOptions(const MetadataDictionary& options) {
    AVFoundationFile::analyzeWithOptions(options);
    if (!loadAsset()) return;
    analyzeMetadataOfAtoms(QtAtomReader::initWithURL(sourceURLPath()));
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

void QuicktimeFile::analyzeMetadataOfAtoms(std::unique_ptr<QtAtomReader> reader) {
    atomReader_ = std::move(reader);
    if (atomReader_) items_ = QtMetadataReader(*atomReader_).metadataItems();
    analyzeQuicktimeMetaData();
    analyzeSonyMP4Metadata();
    atomReader_.reset();
    items_.clear();
}

// Metadata items.

std::optional<MetadataItem> QuicktimeFile::metadataItemForKey(
    const std::string& key, const std::string& metadataFormat) const {
    const auto found = std::find_if(items_.begin(), items_.end(), [&](const MetadataItem& item) {
        return item.key == key && item.format == metadataFormat;
    });
    if (found == items_.end()) return std::nullopt;
    return *found;
}

std::optional<std::string> QuicktimeFile::itemText(const std::string& key,
                                                   const std::string& format) const {
    const std::optional<MetadataItem> item = metadataItemForKey(key, format);
    if (!item) return std::nullopt;
    const std::optional<std::string> text = metadataItemText(*item);
    return text ? tidy(*text) : std::nullopt;
}

void QuicktimeFile::setFromItem(const char* key, const std::string& itemKey,
                                const std::string& format, bool onlyWhenUnset) {
    if (onlyWhenUnset && metaDataValue(key)) return;
    if (const std::optional<std::string> text = itemText(itemKey, format))
        setMetaDataValue(key, *text);
}

// Camera parsers.

void QuicktimeFile::analyzeQuicktimeMetaData() {
    if (!atomReader_) return;
    parseGenericQuicktimeMetadata();
    parseCanonDSLRMetadata();
    parseArriMetadata();
    parseGoProMetadata();
    parsePanasonicMetadata();
    parseBlackmagicMetadata();
    parseMXFMetadata();
    parseAppleProAppsMetadata();
}

void QuicktimeFile::parseGenericQuicktimeMetadata() {
    // The platform's keys first; then the short keys some writers use, and the user-data atoms
    // that writers without metadata keys (and many camcorders) fill instead.
    struct Source {
        const char* key;
        bool isDate;
        const char* metadataKeys[3];
        const char* userDataKey;
    };
    static constexpr Source kSources[] = {
        {kSoftware, false, {"com.apple.quicktime.software", nullptr, nullptr}, "\xC2\xA9swr"},
        {kMaker, false, {"com.apple.quicktime.make", "make", nullptr}, "\xC2\xA9mak"},
        {kModel, false, {"com.apple.quicktime.model", "model", nullptr}, "\xC2\xA9mod"},
        {kOriginalCreationDate,
         true,
         {"com.apple.quicktime.creationdate", "creationdate", "date"},
         "\xC2\xA9"
         "day"},
    };
    for (const Source& source : kSources) {
        std::optional<std::string> text;
        for (const char* metadataKey : source.metadataKeys)
            if (!text && metadataKey) text = itemText(metadataKey, kMetadata);
        if (!text) text = itemText(source.userDataKey, kUserData);
        if (!text) text = itemText(source.userDataKey, kISOUserData);
        if (!text) continue;
        if (!source.isDate) {
            setMetaDataValue(source.key, *text);
        } else if (const auto date =
                       DateParsing::dateWithText(*text, DateParsing::ZoneWhenAbsent::UTC)) {
            setMetaDataValue(kOriginalCreationDate, *date);
        }
    }
}

void QuicktimeFile::parseCanonDSLRMetadata() {
    if (manufacturer() != "Canon") {
        const std::optional<std::string> encoder = itemText("CNCV", kUserData);
        if (!encoder) return;
        setMetaDataValue(kEncoder, *encoder);
        if (!encoder->starts_with("Canon")) return;
        setMetaDataValue(kMaker, "Canon");
    }
    readCanonThumbnailEXIF();
    if (!modelname()) setFromItem(kModel, "CNMN", kUserData);
    if (!firmware()) setFromItem(kFirmware, "CNFV", kUserData);
}

void QuicktimeFile::readCanonThumbnailEXIF() {
    std::unique_ptr<EXIFExtractor> extractor;
    const std::optional<MetadataItem> thumbnail = metadataItemForKey("CNTH", kUserData);
    if (thumbnail && thumbnail->dataValue && thumbnail->dataValue->size() > 8) {
        // A length, then the picture from byte 8 (cut at the item's end).
        const std::vector<uint8_t>& bytes = *thumbnail->dataValue;
        const size_t length = std::min<size_t>(readBE32(bytes.data()), bytes.size() - 8);
        extractor = EXIFExtractor::extractorWithData({bytes.data() + 8, length}, *this);
    } else {
        for (const char* extension : {".THM", ".thm"}) {
            std::filesystem::path sidecar = sourceURLPath();
            std::error_code error;
            if (std::filesystem::is_regular_file(sidecar.replace_extension(extension), error)) {
                extractor = EXIFExtractor::extractorWithURL(sidecar, *this);
                break;
            }
        }
    }
    if (!extractor) return;
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
}

void QuicktimeFile::parseArriMetadata() {
    const std::optional<std::string> model = itemText("com.arri.camera.CameraModel", kMetadata);
    if (!model) return;
    setMetaDataValue(kMaker, "ARRI");
    setMetaDataValue(kModel, *model);
    setFromItem(kFirmware, "com.arri.camera.SupVersion", kMetadata);
    setFromItem(kSerialNumber, "com.arri.camera.CameraSerialNumber", kMetadata);
    const auto date = itemText("com.arri.camera.UserDate", kMetadata);
    const auto time = itemText("com.arri.camera.UserTime", kMetadata);
    if (date && time) {
        if (const auto recorded = arriDate(*date, *time)) {
            setMetaDataValue(kOriginalCreationDate, *recorded);
            updateReadableInfo();
        }
    }
    setFromItem(kReel, "com.arri.camera.ReelName", kMetadata);
    setFromItem(kScene, "com.arri.camera.Scene", kMetadata);
    setFromItem(kTake, "com.arri.camera.Take", kMetadata);
    setFromItem(kAngle, "com.arri.camera.CameraIndex", kMetadata);
    setFromItem(kLensModel, "com.arri.camera.LensType", kMetadata);
}

void QuicktimeFile::parseGoProMetadata() {
    if (const std::optional<std::string> firmware = itemText("FIRM", kISOUserData)) {
        setMetaDataValue(kFirmware, *firmware);
        // "HX" firmware is GoPro's too (the HERO4 Session): without the maker such a camera
        // would get no serial number and all of them would count as one device.
        if (firmware->starts_with("HD") || firmware->starts_with("HX"))
            setMetaDataValue(kMaker, "GoPro");
        for (const GoProModel& entry : kGoProModels) {
            if (firmware->starts_with(entry.firmwarePrefix)) {
                setMetaDataValue(kModel, entry.model);
                break;
            }
        }
    }
    if (manufacturer() != "GoPro") return;
    const std::optional<MetadataItem> camera = metadataItemForKey("CAME", kISOUserData);
    if (camera && camera->dataValue && !camera->dataValue->empty())
        setMetaDataValue(kSerialNumber, serialText(*camera->dataValue));
}

void QuicktimeFile::parsePanasonicMetadata() {
    std::optional<MetadataItem> item = metadataItemForKey("PANA", kUserData);
    if (!item) item = metadataItemForKey("PANA", kISOUserData);
    if (!item) return;
    setMetaDataValue(kMaker, "Panasonic");
    const std::vector<uint8_t> bytes = item->dataValue.value_or(std::vector<uint8_t>());
    if (bytes.size() >= 21) {
        // Two layouts; the first word tells them apart. Each also holds a JPEG picture whose
        // EXIF block names the camera.
        const bool firstLayout = readLE32(bytes.data()) == 96;
        const size_t modelOffset = firstLayout ? 4 : 12;
        const size_t length = std::min<size_t>(16, bytes.size() - modelOffset);
        if (auto model = tidy(cStringConvert(bytes.data() + modelOffset, length)))
            setMetaDataValue(kModel, *model);
        readPanasonicPictureEXIF(bytes, firstLayout ? 16488 : 16512, *this);
    }
    const auto xml = getQuicktimeXMLMetaForFileType(fourCC("mp42"));
    if (!xml) return;
    auto extractor = PanaXMLExtractor::extractorWithData(bytesOf(*xml), *this);
    if (!extractor) return;
    setMetaDataValue(kXMLRawData, MetadataBytes(*xml));
    if (!extractor->isSemiProClipMeta()) return;
    extractor->extractDeviceInfo();
    extractor->parseClipInfo();
}

void QuicktimeFile::parseBlackmagicMetadata() {
    const auto uuid = itemText("com.blackmagic-design.cinemacamera.uuid", kMetadata);
    if (!uuid) return;
    setMetaDataValue(kSerialNumber, *uuid);
    setMetaDataValue(kModel, "Blackmagic Design Cinema Camera");
}

void QuicktimeFile::parseMXFMetadata() {
    setFromItem(kMaker, "org.smpte.mxf.identification.applicationsuppliername", kMetadata);
    setFromItem(kModel, "org.smpte.mxf.identification.applicationname", kMetadata);
    const auto created = itemText("org.smpte.mxf.package.material.creationtime", kMetadata);
    if (!created) return;
    if (const auto date = DateParsing::dateWithText(*created, DateParsing::ZoneWhenAbsent::UTC))
        setMetaDataValue(kOriginalCreationDate, *date);
}

void QuicktimeFile::parseAppleProAppsMetadata() {
    setFromItem(kMaker, "com.apple.proapps.manufacturer", kMetadata);
    setFromItem(kModel, "com.apple.proapps.modelname", kMetadata);
    setFromItem(kSerialNumber, "com.apple.proapps.serialno", kMetadata);
    setFromItem(kReel, "com.apple.proapps.reel", kMetadata, true);
    setFromItem(kScene, "com.apple.proapps.scene", kMetadata, true);
    setFromItem(kTake, "com.apple.proapps.shot", kMetadata, true);
    setFromItem(kNote, "com.apple.proapps.logNote", kMetadata, true);
    setFromItem(kCameraName, "com.apple.proapps.cameraName", kMetadata, true);
}

void QuicktimeFile::analyzeSonyMP4Metadata() {
    if (fileContainerType() != MediaFileContainerMP4) return;
    const auto xml = getQuicktimeXMLMetaForFileType(fourCC("XAVC"));
    if (!xml) return;
    setMetaDataValue(kXMLRawData, MetadataBytes(*xml));
    auto extractor = SonyXMLExtractor::extractorWithData(bytesOf(*xml), *this);
    if (!extractor || !extractor->isProfessionalDiscMeta()) return;
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
    extractor->extractTimecodeAndVideoRate();
}

// Embedded XML.

std::optional<std::vector<uint8_t>> QuicktimeFile::getQuicktimeXMLMetaForFileType(uint32_t brand) {
    if (!atomReader_) return std::nullopt;
    return QtMetadataReader(*atomReader_).xmlMetaForFileType(brand);
}

std::optional<std::string> QuicktimeFile::XMLMetaDataDescription() const {
    const std::optional<MetadataValue> raw = metaDataValue(kXMLRawData);
    if (!raw || !raw->bytes()) return std::nullopt;
    const auto document = XMLDocument::parse(bytesOf(*raw->bytes()), XMLDocument::ParseMode::Tidy);
    if (!document) return std::nullopt;
    return document->xmlString(true, false);
}

std::string QuicktimeFile::extendedMetaDescription(int32_t level) const {
    std::string text = AVFoundationFile::extendedMetaDescription(level);
    if (level < 1) return metaDataValue(kXMLRawData) ? text + "XML Metadata = YES\n" : text;
    const std::optional<std::string> xml = XMLMetaDataDescription();
    return xml ? text + "\n\n+++ XML Metadata +++\n\n" + *xml : text;
}

}  // namespace vorlane
