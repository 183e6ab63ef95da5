#include "formats/raw/CRMFile.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "formats/dng/DNGImage.h"
#include "formats/dng/EXIFExtractor.h"
#include "formats/quicktime/QtAtomReader.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vorlane {
namespace {

// The movie atom of a clip holds its sample tables; larger ones are not taken for a clip.
constexpr uint64_t kMaxMovieAtomSize = 256ull << 20;

// The first child of that type (from `offset` into the payload), or nothing.
std::optional<Atom> firstChild(Atom& parent, const char (&type)[5], uint64_t offset = 0) {
    std::vector<Atom> found = parent.subAtomsWithType(fourCC(type), offset);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

// The big-endian 32-bit value at an offset of the payload.
uint32_t read32At(Atom& atom, uint64_t offset) {
    atom.seekAbsolute(offset);
    return atom.readUnit32();
}

bool isVersion1(Atom& atom) {
    atom.seekAbsolute(0);
    return atom.readUnit8() == 1;
}

std::optional<std::string> tiffText(const DNGImage& image, const char* tag) {
    const DNGTagValue* value = image.valueForKey(tag);
    const std::string* text = value ? value->textValue() : nullptr;
    if (!text || text->empty()) return std::nullopt;
    return *text;
}

// The tags of a TIFF block among the children of a `uuid` atom (after its identifier).
std::unique_ptr<DNGImage> tiffBlock(Atom& uuid, const char (&type)[5]) {
    std::optional<Atom> block = firstChild(uuid, type, 16);
    if (!block) return nullptr;
    std::unique_ptr<DNGImage> image = DNGImage::initWithData(block->data());
    if (!image->readMetadata()) return nullptr;
    image->close();
    return image;
}

}  // namespace

CRMFile::CRMFile(std::filesystem::path url) : AVFoundationFile(std::move(url)) {
    setFileContainerType(MediaFileContainerCanonCRM);
}

bool CRMFile::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "CRM";
}

void CRMFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    std::unique_ptr<QtAtomReader> reader = QtAtomReader::initWithURL(sourceURLPath());
    if (!reader || !analyzeAtoms(*reader))
        Log::writef("CRMFile: Cannot read the movie atom of %s", sourceURLPath().c_str());
    if (reader) reader->close();
    // The clip's sound and timecode tracks; its pictures are read from the atoms above.
    if (!loadAsset()) return;
    analyzeAudioTracks();
    analyzeTimecodeTracks();
    if (optionEnabled(options, kAnalyzeCreateThumbnail)) makeThumbnail();
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

bool CRMFile::analyzeAtoms(QtAtomReader& reader) {
    const std::vector<AtomHeader> headers = reader.atomHeadersWithType(fourCC("moov"));
    if (headers.empty()) return false;
    std::optional<Atom> movie = reader.loadAtomForHeader(headers.front(), kMaxMovieAtomSize);
    if (!movie) return false;
    const bool tracksRead =
        QtAtomReader::parseAtoms("CRMFile tracks", [&] { analyzeVideoTrack(*movie); });
    const bool metadataRead =
        QtAtomReader::parseAtoms("CRMFile metadata", [&] { analyzeMetaData(*movie); });
    return tracksRead && metadataRead;
}

void CRMFile::analyzeVideoTrack(Atom& movie) {
    for (Atom& track : movie.subAtomsWithType(fourCC("trak"))) {
        // A damaged track leaves the others.
        QtAtomReader::parseAtoms("CRMFile trak", [&] { addVideoTrack(track); });
    }
}

void CRMFile::addVideoTrack(Atom& track) {
    std::optional<Atom> header = firstChild(track, "tkhd");
    std::optional<Atom> media = firstChild(track, "mdia");
    if (!header || !media) return;
    std::optional<Atom> mediaHeader = firstChild(*media, "mdhd");
    std::optional<Atom> handler = firstChild(*media, "hdlr");
    if (!mediaHeader || !handler || read32At(*handler, 8) != fourCC("vide")) return;

    // Version 1 headers hold 64-bit times, which move the later fields.
    const bool longHeader = isVersion1(*header);
    const uint32_t trackID = read32At(*header, longHeader ? 20 : 12);
    const double width = read32At(*header, longHeader ? 88 : 76) / 65536.0;
    const double height = read32At(*header, longHeader ? 92 : 80) / 65536.0;

    uint32_t timescale = 0;
    uint64_t duration = 0;
    if (isVersion1(*mediaHeader)) {
        timescale = read32At(*mediaHeader, 20);
        duration = uint64_t(read32At(*mediaHeader, 24)) << 32 | mediaHeader->readUnit32();
    } else {
        timescale = read32At(*mediaHeader, 12);
        duration = mediaHeader->readUnit32();
    }
    uint32_t delta = 0;
    if (std::optional<Atom> info = firstChild(*media, "minf")) {
        if (std::optional<Atom> table = firstChild(*info, "stbl")) {
            if (std::optional<Atom> times = firstChild(*table, "stts");
                times && read32At(*times, 4) > 0)
                delta = read32At(*times, 12);
        }
    }

    std::lock_guard lock(mutex());
    const auto video = addTrackWithMediaType(MediaTrackTypeVideo, int32_t(trackID));
    video->setFourCC(fourCC("CRAW"));
    video->setCodecName("Cinema RAW Light");
    video->setVideoSize({width, height});
    video->setVideoFieldCount(1);
    const bool timed = timescale > 0 &&
                       timescale <= uint32_t(std::numeric_limits<int32_t>::max()) &&
                       duration <= uint64_t(std::numeric_limits<int64_t>::max());
    if (timed)
        video->setTimeRange(
            CMTimeRangeMake(kCMTimeZero, CMTimeMake(int64_t(duration), int32_t(timescale))));
    if (timed && delta > 0) video->setVideoFrameRate(double(timescale) / double(delta));
}

void CRMFile::analyzeMetaData(Atom& movie) {
    std::optional<Atom> canon = firstChild(movie, "uuid");
    if (!canon || canon->size() < 16) return;
    if (const auto camera = tiffBlock(*canon, "CMT1")) {
        if (const auto made = tiffText(*camera, "MakeTime")) {
            if (const auto date = EXIFExtractor::dateWithExifText(*made))
                setMetaDataValue(kOriginalCreationDate, *date);
        }
        if (const auto make = tiffText(*camera, "Make")) setMetaDataValue(kMaker, *make);
        if (const auto model = tiffText(*camera, "Model")) setMetaDataValue(kModel, *model);
    }
    if (const auto exif = tiffBlock(*canon, "CMT2")) {
        if (const auto lens = tiffText(*exif, "LensModel")) setMetaDataValue(kLensModel, *lens);
        if (const auto serial = tiffText(*exif, "SerialNumber"))
            setMetaDataValue(kSerialNumber, *serial);
    }
}

}  // namespace vorlane
