#include "formats/mxf/MXFFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <system_error>
#include <variant>

#include "formats/asset/AVFoundationFile.h"
#include "formats/camera_xml/CanonXMLExtractor.h"
#include "formats/camera_xml/SonyXMLExtractor.h"
#include "formats/mxf/MXFMapping.h"
#include "formats/mxf/MXFReferenceMovie.h"
#include "media/ThumbnailPicture.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/FileReader.h"
#include "platform/Log.h"
#include "platform/SampleRateRange.h"
#include "platform/Text.h"
#include "platform/UserDefaults.h"
#include "platform/XMLDocument.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr char kTimecodeSource[] = "MXF Source Package TC";
// Clip XML of a few kilobytes is usual; larger files are not taken for metadata.
constexpr uint64_t kMaxXMLFileSize = 16 << 20;
// A clip-info file says at this byte how many files the clip was recorded into.
constexpr size_t kClipInfoFileCountOffset = 59;

// Data definitions of the material package's tracks (byte 7, the registry version, varies), with
// the legacy labels older Avid files carry.
struct DataDefinition {
    const char* label;
    const char* legacyLabel;
    int32_t trackType;
};

constexpr DataDefinition kDataDefinitions[] = {
    {"06.0E.2B.34.04.01.01.XX.01.03.02.02.01.00.00.00",
     "80.7D.00.60.08.14.3E.6F.6F.3C.8C.E1.6C.EF.11.D2", MediaTrackTypeVideo},
    {"06.0E.2B.34.04.01.01.XX.01.03.02.02.02.00.00.00",
     "80.7D.00.60.08.14.3E.6F.78.E1.EB.E1.6C.EF.11.D2", MediaTrackTypeAudio},
    {"06.0E.2B.34.04.01.01.XX.01.03.02.01.01.00.00.00",
     "80.7F.00.60.08.14.3E.6F.7F.27.5E.81.77.E5.11.D2", MediaTrackTypeTimecode},
};

int32_t trackTypeOfDataDefinition(const MXFIdentifier& label) {
    for (const DataDefinition& definition : kDataDefinitions) {
        if (label.matchesStringUL(definition.label) ||
            label.matchesStringUL(definition.legacyLabel))
            return definition.trackType;
    }
    return 0;
}

// The cells of an identifier read from the file, as a key of the look-up tables (such
// identifiers hold no wildcards, so equal keys are exactly matching identifiers).
std::string identifierKey(const MXFIdentifier& identifier) {
    std::string key;
    key.reserve(identifier.length() * 2);
    for (size_t i = 0; i < identifier.length(); ++i) {
        const uint16_t cell = identifier.valueAtOffset(i);
        key.push_back(char(cell >> 8));
        key.push_back(char(cell & 0xFF));
    }
    return key;
}

const MXFIdentifier* identifierValue(const MXFMetadataSet& set, const char* property) {
    const MXFValue* value = set.valueForKey(property);
    return value ? value->identifier() : nullptr;
}

std::vector<const MXFIdentifier*> identifierList(const MXFMetadataSet& set, const char* property) {
    std::vector<const MXFIdentifier*> identifiers;
    const MXFValue* value = set.valueForKey(property);
    if (!value || !value->list()) return identifiers;
    for (const MXFValue& element : *value->list())
        if (const MXFIdentifier* identifier = element.identifier())
            identifiers.push_back(identifier);
    return identifiers;
}

std::optional<int64_t> integerValue(const MXFMetadataSet& set, const char* property) {
    const MXFValue* value = set.valueForKey(property);
    return value ? value->integer() : std::nullopt;
}

// A 32-bit unsigned property (track IDs and numbers).
std::optional<uint32_t> uint32Value(const MXFMetadataSet& set, const char* property) {
    const std::optional<int64_t> number = integerValue(set, property);
    if (!number || *number < 0 || *number > int64_t(std::numeric_limits<uint32_t>::max()))
        return std::nullopt;
    return uint32_t(*number);
}

std::optional<MXFRational> positiveRational(const MXFMetadataSet& set, const char* property) {
    const MXFValue* value = set.valueForKey(property);
    const MXFRational* rational = value ? value->rational() : nullptr;
    if (!rational || rational->numerator <= 0 || rational->denominator <= 0) return std::nullopt;
    return *rational;
}

// Text trimmed of blanks and line breaks; nothing when that leaves none.
std::optional<std::string> tidy(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    if (first >= last) return std::nullopt;
    return std::string(first, last);
}

// A duration in edit units as a time; invalid when it cannot be one.
CMTime durationOfEditUnits(int64_t editUnits, MXFRational editRate) {
    if (editUnits < 0 || editUnits > std::numeric_limits<int64_t>::max() / editRate.denominator)
        return kCMTimeInvalid;
    return CMTimeMake(editUnits * editRate.denominator, editRate.numerator);
}

std::optional<int64_t> checkedSum(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

// A position in edit units of one rate as whole edit units of another, rounded to the nearest;
// nothing when it does not fit.
std::optional<int64_t> convertedPosition(int64_t position, MXFRational from, MXFRational to) {
    const long double converted = static_cast<long double>(position) * to.numerator *
                                  from.denominator /
                                  (static_cast<long double>(to.denominator) * from.numerator);
    if (!(std::fabs(converted) < 9.2e18L)) return std::nullopt;
    return int64_t(std::llround(converted));
}

// The rate of a timecode component: drop frame counts 29.97 or 59.94 frames a second; without
// it the track's edit rate when it rounds to the timecode base (23.976 and 29.97 counted
// without dropping), else the base.
double timecodeRate(int64_t base, bool dropFrame, std::optional<MXFRational> editRate) {
    if (dropFrame) return double(base) * 1000.0 / 1001.0;
    if (editRate && std::llround(editRate->doubleValue()) == base) {
        const double rate = TCHelper::quantizedFrameRate(editRate->doubleValue());
        if (rate != 0.0) return rate;
    }
    return double(base);
}

// The start timecode of a Timecode component, `offset` frames on; nothing when it lacks one.
std::shared_ptr<TCHelper> startTimecode(const MXFMetadataSet& component,
                                        std::optional<MXFRational> editRate, int64_t offset = 0) {
    std::optional<int64_t> start = integerValue(component, "StartTimecode");
    if (start && offset != 0) start = checkedSum(*start, offset);
    std::optional<int64_t> base = integerValue(component, "RoundedTimecodeBase");
    if (!start) return nullptr;
    if ((!base || *base == 0) && editRate) base = std::llround(editRate->doubleValue());
    if (!base || *base <= 0) return nullptr;
    // Dropping frame numbers is defined for the rates of 30 and 60 frame bases only.
    const bool dropFrame = integerValue(component, "DropFrame").value_or(0) != 0 && *base % 30 == 0;
    auto timecode =
        TCHelper::helperWithFrameCount(*start, timecodeRate(*base, dropFrame, editRate), dropFrame);
    timecode->setType(TCTypeFile);
    timecode->setSource(kTimecodeSource);
    return timecode;
}

MetadataValue metadataValueOf(const MXFValue& value);

struct ToMetadata {
    MetadataValue operator()(std::monostate) const { return MetadataValue(); }
    MetadataValue operator()(uint64_t number) const {
        if (number > uint64_t(std::numeric_limits<int64_t>::max()))
            return MetadataValue(std::to_string(number));
        return MetadataValue(int64_t(number));
    }
    MetadataValue operator()(int64_t number) const { return MetadataValue(number); }
    MetadataValue operator()(bool flag) const { return MetadataValue(flag); }
    MetadataValue operator()(const MXFIdentifier& identifier) const {
        return MetadataValue(identifier.stringID());
    }
    MetadataValue operator()(const MXFRational& rational) const {
        return MetadataValue(std::to_string(rational.numerator) + "/" +
                             std::to_string(rational.denominator));
    }
    MetadataValue operator()(MetadataDate date) const { return MetadataValue(date); }
    MetadataValue operator()(const std::string& text) const { return MetadataValue(text); }
    MetadataValue operator()(const MetadataBytes& bytes) const { return MetadataValue(bytes); }
    MetadataValue operator()(const MXFValueList& list) const {
        MetadataList values;
        for (const MXFValue& element : list)
            values.push_back(metadataValueOf(element));
        return MetadataValue(std::move(values));
    }
};

MetadataValue metadataValueOf(const MXFValue& value) {
    return std::visit(ToMetadata{}, value.storage());
}

// A descriptor as a metadata dictionary: its kind and every property.
MetadataDictionary descriptorDictionary(const MXFMetadataSet& descriptor) {
    MetadataDictionary dictionary;
    dictionary["SetKind"] = descriptor.kindString();
    for (const auto& [name, value] : descriptor.metaData())
        dictionary[name] = metadataValueOf(value);
    return dictionary;
}

// The picture or sound kind an essence element of a track number carries; 0 when its item type
// does not tell.
int32_t trackTypeOfTrackNumber(uint32_t trackNumber) {
    switch (trackNumber >> 24) {
        case 0x05:  // CP picture
        case 0x15:  // GC picture
        case 0x18:  // GC compound
            return MediaTrackTypeVideo;
        case 0x06:  // CP sound
        case 0x16:  // GC sound
            return MediaTrackTypeAudio;
        default:
            return 0;
    }
}

std::optional<std::vector<uint8_t>> readSmallFile(const std::filesystem::path& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(path);
    if (!reader || reader->size() > kMaxXMLFileSize) return std::nullopt;
    return reader->readBytes(0, size_t(reader->size()));
}

}  // namespace

// ---- Creation ---------------------------------------------------------------------------------

int32_t MXFFile::maxAudioTrackCountForOption(int64_t mxfAudioOptions) {
    switch (mxfAudioOptions) {
        case 2:
            return 2;
        case 3:
            return 4;
        case 4:
            return 8;
        default:
            return kDefaultMaxAudioTrackCount;
    }
}

std::shared_ptr<MXFFile> MXFFile::initWithURL(const std::filesystem::path& url) {
    return initWithURL(url, UserDefaults::standardUserDefaults());
}

std::shared_ptr<MXFFile> MXFFile::initWithURL(const std::filesystem::path& url,
                                              const UserDefaults& defaults) {
    std::shared_ptr<MXFRawAccess> raw = MXFRawAccess::initWithURL(url);
    if (!raw) return nullptr;
    return std::make_shared<MXFFile>(
        url, std::move(raw),
        maxAudioTrackCountForOption(defaults.integerForKey(DefaultsKey::mxfAudioOptions)));
}

std::shared_ptr<MXFFile> MXFFile::fileWithReader(std::filesystem::path url,
                                                 std::unique_ptr<FileReader> reader,
                                                 int32_t maxAudioTrackCount) {
    if (!reader) return nullptr;
    return std::make_shared<MXFFile>(
        std::move(url), std::make_shared<MXFRawAccess>(std::move(reader)), maxAudioTrackCount);
}

MXFFile::MXFFile(std::filesystem::path url, std::shared_ptr<MXFRawAccess> raw,
                 int32_t maxAudioTrackCount)
    : MediaFile(std::move(url)),
      raw_(std::move(raw)),
      structure_(raw_),
      maxAudioTrackCount_(maxAudioTrackCount) {
    setFileContainerType(MediaFileContainerMXF);
}

bool MXFFile::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "MXF";
}

std::optional<std::vector<std::filesystem::path>> MXFFile::spannedFilesForURL(
    const std::filesystem::path& url) {
    const std::string name = url.filename().string();
    const std::filesystem::path folder = url.parent_path();
    if (name.size() < 6 || name.compare(0, 6, folder.filename().string()) != 0) return std::nullopt;
    const auto clipInfo = readSmallFile(folder / (name.substr(0, 6) + ".CIF"));
    if (!clipInfo || clipInfo->size() <= kClipInfoFileCountOffset || (*clipInfo)[0] != 'C' ||
        (*clipInfo)[1] != 'I' || (*clipInfo)[kClipInfoFileCountOffset] < 2)
        return std::nullopt;

    std::vector<std::filesystem::path> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (!it->path().filename().string().starts_with(".")) entries.push_back(it->path());
    if (error) return std::nullopt;
    std::sort(entries.begin(), entries.end());
    std::vector<std::filesystem::path> members;
    for (const std::filesystem::path& entry : entries)
        if (isSupportedURL(entry) && MXFRawAccess::initWithURL(entry)) members.push_back(entry);
    if (members.size() < 2) return std::nullopt;
    return members;
}

// ---- Analysis ---------------------------------------------------------------------------------

void MXFFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    if (!analyzeMXF()) return;
    if (optionEnabled(options, kAnalyzeCreateThumbnail))
        makeThumbnail();
    else
        setThumbnail(hasVideo() || !hasAudio() ? defaultThumbnailVideo() : defaultThumbnailAudio());
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

std::optional<std::filesystem::path> MXFFile::makeQTRef(const std::filesystem::path& folder) const {
    const std::filesystem::path movie = folder / (uuid() + ".mov");
    if (!MXFReferenceMovie::writeMovieOfFile(*this, movie)) return std::nullopt;
    return movie;
}

void MXFFile::makeThumbnail() {
    if (const auto original = metaDataString(kOriginalThumbnailURL)) {
        if (const auto picture = AVFoundationFile::pictureOfFile(*original, kCMTimeZero)) {
            setThumbnail(thumbnailPicture(*picture));
            return;
        }
    }
    const auto video = tracksWithType(MediaTrackTypeVideo);
    if (video.empty()) {
        setThumbnail(defaultThumbnailAudio());
        return;
    }
    // The media layer reads MXF itself: the first frame, when the picture's coding is known.
    const auto picture = video.front()->fourCC() != 0
                             ? AVFoundationFile::pictureOfFile(sourceURLPath(), kCMTimeZero)
                             : std::nullopt;
    setThumbnail(picture ? thumbnailPicture(*picture) : Image::named(kVideoCodecUnavailableImage));
}

bool MXFFile::analyzeMXF() {
    const bool loaded = openRaw() && loadPartitions() && loadHeaderMetadata() && loadIndexTables();
    closeRaw();
    if (!loaded) {
        setThumbnail(defaultThumbnailWarning());
        return false;
    }
    analyzeMetadata();
    loadTracks();
    return true;
}

bool MXFFile::openRaw() {
    if (raw_) return true;
    std::shared_ptr<MXFRawAccess> raw = MXFRawAccess::initWithURL(sourceURLPath());
    if (!raw) {
        Log::writef("MXFFile: Cannot open %s", sourceURLPath().c_str());
        return false;
    }
    raw_ = std::move(raw);
    structure_ = MXFFileStructure(raw_);
    return true;
}

void MXFFile::closeRaw() {
    if (!raw_) return;
    bytesReadBeforeClose_ += raw_->bytesRead();
    raw_->close();
    raw_.reset();
}

uint64_t MXFFile::bytesRead() const {
    return bytesReadBeforeClose_ + (raw_ ? raw_->bytesRead() : 0);
}

bool MXFFile::loadPartitions() {
    return structure_.loadPartitions();
}

bool MXFFile::loadHeaderMetadata() {
    const bool loaded = structure_.loadHeaderMetadata();
    indexMetadataSets();
    if (loaded && structure_.xmlRawData() && !structure_.xmlRawData()->empty())
        setMetaDataValue(kXMLRawData, MetadataBytes(*structure_.xmlRawData()));
    return loaded;
}

bool MXFFile::loadIndexTables() {
    return structure_.loadIndexTables();
}

void MXFFile::indexMetadataSets() {
    setsByInstanceUID_.clear();
    packagesByUID_.clear();
    for (const auto& set : structure_.metadataSets()) {
        if (const MXFIdentifier* uid = identifierValue(*set, "InstanceUID"))
            setsByInstanceUID_.emplace(identifierKey(*uid), set);
        if (const MXFIdentifier* uid = identifierValue(*set, "PackageUID"))
            packagesByUID_.emplace(identifierKey(*uid), set);
    }
}

std::shared_ptr<MXFMetadataSet> MXFFile::findMetadataSetWithIdentifier(
    const MXFIdentifier& reference) const {
    const auto found = setsByInstanceUID_.find(identifierKey(reference));
    return found == setsByInstanceUID_.end() ? nullptr : found->second;
}

std::shared_ptr<MXFMetadataSet> MXFFile::findPackageWithIdentifier(
    const MXFIdentifier& packageID) const {
    const auto found = packagesByUID_.find(identifierKey(packageID));
    return found == packagesByUID_.end() ? nullptr : found->second;
}

std::shared_ptr<MXFMetadataSet> MXFFile::searchHeaderForIdentifier(
    const MXFIdentifier& pattern) const {
    return structure_.searchHeaderForIdentifier(pattern);
}

void MXFFile::analyzeMetadata() {
    const auto identification =
        searchHeaderForIdentifier(MXFMetadataSet::identifierWithKind(MXFSetKindIdentification));
    if (!identification) return;
    const auto text = [&](const char* property) -> std::optional<std::string> {
        const MXFValue* value = identification->valueForKey(property);
        return value && value->string() ? tidy(*value->string()) : std::nullopt;
    };
    if (const auto maker = text("CompanyName")) setMetaDataValue(kMaker, *maker);
    if (const auto model = text("ProductName")) setMetaDataValue(kModel, *model);
    if (const MXFValue* date = identification->valueForKey("ModificationDate");
        date && date->date())
        setMetaDataValue(kOriginalCreationDate, *date->date());
    if (const auto maker = metaDataString(kMaker)) readCameraClipXML(upperCased(*maker));
}

// The camera makers' clip XML, by maker:
// - "SONY": the disc index "MEDIAPRO.XML" two folders up, when media-profile metadata, names the
//   clip's related files; then the XML embedded in the file, when professional-disc metadata,
//   else the clip's sidecar (its URL kept as "XMLMetaDataURL") describes the device.
// - "CANON": the document named after the clip, when video-clip metadata, describes the device
//   and is kept as "XMLMetaDataURL".
void MXFFile::readCameraClipXML(const std::string& maker) {
    if (maker == "SONY") {
        readSonyClipXML();
    } else if (maker == "CANON") {
        const std::optional<std::filesystem::path> url =
            CanonXMLExtractor::xmlURLForMediaFile(*this);
        if (!url) return;
        auto extractor = CanonXMLExtractor::extractorWithURL(*url, *this);
        if (!extractor || !extractor->isVideoClipMeta()) return;
        extractor->extractDeviceInfo();
        setMetaDataValue(kXMLMetaDataURL, url->string());
    }
}

void MXFFile::readSonyClipXML() {
    if (auto index = SonyXMLExtractor::extractorWithURL(
            SonyXMLExtractor::mediaProXMLURLForMediaFile(*this), *this);
        index && index->isMediaProfileMeta())
        index->extractRelevantURLs();

    if (const std::optional<MetadataValue> embedded = metaDataValue(kXMLRawData)) {
        if (const MetadataBytes* bytes = embedded->bytes()) {
            auto extractor = SonyXMLExtractor::extractorWithData(*bytes, *this);
            if (extractor && extractor->isProfessionalDiscMeta()) extractor->extractDeviceInfo();
            return;
        }
    }
    const std::filesystem::path sidecar = SonyXMLExtractor::clipXMLURLForMediaFile(*this);
    auto extractor = SonyXMLExtractor::extractorWithURL(sidecar, *this);
    if (!extractor || !extractor->isProfessionalDiscMeta()) return;
    extractor->extractDeviceInfo();
    setMetaDataValue(kXMLMetaDataURL, sidecar.string());
}

// ---- Tracks -----------------------------------------------------------------------------------

void MXFFile::loadTracks() {
    const auto material =
        searchHeaderForIdentifier(MXFMetadataSet::identifierWithKind(MXFSetKindMaterialPackage));
    if (!material) return;
    std::lock_guard lock(mutex());
    // Next track number per track type (video, audio, timecode).
    int32_t counters[4] = {0, 1, 1, 1};
    std::vector<std::shared_ptr<MXFMetadataSet>> tracks;
    for (const MXFIdentifier* reference : identifierList(*material, "Tracks")) {
        const auto track = findMetadataSetWithIdentifier(*reference);
        if (!track || track->kind() != MXFSetKindTrack) continue;
        addMaterialTrack(*track, counters);
        tracks.push_back(track);
    }
    if (hasFileTimecode()) return;
    for (const auto& track : tracks) {
        if (std::shared_ptr<TCHelper> timecode = physicalSourceTimecode(*track)) {
            addTimecodeTrackWithTCHelper(std::move(timecode));
            return;
        }
    }
}

// Some Avid files name the data definition by a reference to a DataDefinition set of their
// dictionary instead of its label; the set's Identification is the label then.
int32_t MXFFile::trackTypeOfComponent(const MXFMetadataSet& component) const {
    const MXFIdentifier* definition = identifierValue(component, "DataDefinition");
    if (!definition) return 0;
    if (const int32_t type = trackTypeOfDataDefinition(*definition)) return type;
    const auto dictionaryEntry = findMetadataSetWithIdentifier(*definition);
    const MXFIdentifier* label =
        dictionaryEntry ? identifierValue(*dictionaryEntry, "Identification") : nullptr;
    return label ? trackTypeOfDataDefinition(*label) : 0;
}

MXFFile::TrackSegment MXFFile::segmentOfTrack(const MXFMetadataSet& track) const {
    const MXFIdentifier* sequenceReference = identifierValue(track, "Sequence");
    TrackSegment segment;
    segment.sequence =
        sequenceReference ? findMetadataSetWithIdentifier(*sequenceReference) : nullptr;
    if (!segment.sequence) return segment;
    // A sequence of components, or (as some writers have it) a single component.
    if (segment.sequence->kind() != MXFSetKindSequence) {
        segment.component = segment.sequence;
        return segment;
    }
    const auto components = identifierList(*segment.sequence, "StructuralComponents");
    if (!components.empty()) segment.component = findMetadataSetWithIdentifier(*components[0]);
    if (segment.component == segment.sequence) segment.component = nullptr;  // a loop
    return segment;
}

std::shared_ptr<MXFMetadataSet> MXFFile::referencedSourceTrack(
    const MXFMetadataSet& sourceClip, std::shared_ptr<MXFMetadataSet>* package) const {
    const MXFIdentifier* packageID = identifierValue(sourceClip, "SourcePackageID");
    auto found = packageID ? findPackageWithIdentifier(*packageID) : nullptr;
    if (!found || found->kind() != MXFSetKindSourcePackage) return nullptr;
    if (package) *package = found;
    const std::optional<uint32_t> trackID = uint32Value(sourceClip, "SourceTrackID");
    if (!trackID) return nullptr;
    for (const MXFIdentifier* reference : identifierList(*found, "Tracks")) {
        const auto candidate = findMetadataSetWithIdentifier(*reference);
        if (candidate && uint32Value(*candidate, "TrackID") == trackID) return candidate;
    }
    return nullptr;
}

// Avid-style files keep the start timecode on the tape (physical) source package: its
// timecode component plus the position at which the file package's clip starts on the tape.
std::shared_ptr<TCHelper> MXFFile::physicalSourceTimecode(const MXFMetadataSet& track) const {
    const std::shared_ptr<MXFMetadataSet> clip = segmentOfTrack(track).component;
    if (!clip || clip->kind() != MXFSetKindSourceClip) return nullptr;
    const std::shared_ptr<MXFMetadataSet> fileTrack = referencedSourceTrack(*clip, nullptr);
    const std::shared_ptr<MXFMetadataSet> fileClip =
        fileTrack ? segmentOfTrack(*fileTrack).component : nullptr;
    if (!fileClip || fileClip->kind() != MXFSetKindSourceClip) return nullptr;
    const MXFIdentifier* tapeID = identifierValue(*fileClip, "SourcePackageID");
    const auto tape = tapeID ? findPackageWithIdentifier(*tapeID) : nullptr;
    if (!tape || tape->kind() != MXFSetKindSourcePackage) return nullptr;
    const int64_t position = integerValue(*fileClip, "StartPosition").value_or(0);
    const std::optional<MXFRational> fileRate = positiveRational(*fileTrack, "EditRate");
    for (const MXFIdentifier* reference : identifierList(*tape, "Tracks")) {
        const auto tapeTrack = findMetadataSetWithIdentifier(*reference);
        const auto component = tapeTrack ? segmentOfTrack(*tapeTrack).component : nullptr;
        if (!component || component->kind() != MXFSetKindTimecode) continue;
        const std::optional<MXFRational> rate = positiveRational(*tapeTrack, "EditRate");
        const std::optional<int64_t> offset =
            fileRate && rate ? convertedPosition(position, *fileRate, *rate) : position;
        if (!offset) continue;
        if (auto timecode = startTimecode(*component, rate, *offset)) return timecode;
    }
    return nullptr;
}

void MXFFile::addMaterialTrack(const MXFMetadataSet& track, int32_t (&counters)[4]) {
    const auto [sequence, component] = segmentOfTrack(track);
    const int32_t type = sequence ? trackTypeOfComponent(*sequence) : 0;
    if (type == 0) return;
    const int32_t number = counters[type]++;
    if (type == MediaTrackTypeAudio && number > maxAudioTrackCount_) return;
    // The first component tells the start timecode or the essence.
    if (!component) return;

    const std::optional<MXFRational> editRate = positiveRational(track, "EditRate");
    std::shared_ptr<TCHelper> timecode;
    if (type == MediaTrackTypeTimecode) {
        if (component->kind() != MXFSetKindTimecode) return;
        timecode = startTimecode(*component, editRate);
        if (!timecode) return;
    }

    const std::optional<uint32_t> trackID = uint32Value(track, "TrackID");
    const bool freeID = trackID && *trackID > 0 &&
                        *trackID <= uint32_t(std::numeric_limits<int32_t>::max()) &&
                        !trackWithTrackID(int32_t(*trackID));
    const std::shared_ptr<MediaTrack> added =
        addTrackWithMediaType(type, freeID ? int32_t(*trackID) : 0);
    added->setTrackNumber(number);
    const int64_t editUnits = integerValue(*sequence, "Duration").value_or(0);
    if (editRate) {
        const CMTime duration = durationOfEditUnits(editUnits, *editRate);
        if (duration.isValid()) added->setTimeRange({kCMTimeZero, duration});
        added->setVideoFrameRate(editRate->doubleValue());
    }
    if (timecode) {
        added->setTimecode(std::move(timecode));
        return;
    }
    added->metaData()[kMFMXFTrackEditUnits] = editUnits;
    if (!describeEssenceTrack(*added, *component)) removeTrack(added);
}

bool MXFFile::describeEssenceTrack(MediaTrack& track, const MXFMetadataSet& component) const {
    // The essence must lie in this file: a source package of it holds the clip's track.
    std::shared_ptr<MXFMetadataSet> package;
    const std::shared_ptr<MXFMetadataSet> sourceTrack = referencedSourceTrack(component, &package);
    if (!package) return false;
    const std::optional<uint32_t> sourceTrackID = uint32Value(component, "SourceTrackID");
    const uint32_t trackNumber =
        sourceTrack ? uint32Value(*sourceTrack, "TrackNumber").value_or(0) : 0;
    track.metaData()[kMXFTrackNumber] = int64_t(trackNumber);
    const MXFIdentifier* descriptorReference = identifierValue(*package, "Descriptor");
    const auto descriptor = descriptorReference
                                ? lookupDescriptor(*descriptorReference, trackNumber, track.type(),
                                                   sourceTrackID.value_or(0))
                                : nullptr;
    if (!descriptor) return true;
    track.metaData()[kMXFDescriptor] = descriptorDictionary(*descriptor);

    const MXFMapping mapping(descriptor);
    if (track.type() == MediaTrackTypeVideo) {
        track.setVideoSize(mapping.videoSize());
        track.setFourCC(mapping.videoFourCC());
        track.setCodecName(mapping.videoFormatName());
        track.setVideoFieldCount(mapping.videoFrameLayout() == MXFFrameLayoutSeparateFields ? 2
                                                                                            : 1);
        if (mapping.videoFourCC() == fourCC("AVdn"))
            track.metaData()[kVideoAvidResolutionID] = int64_t(mapping.avidResolutionID());
        return true;
    }
    const MXFAudioFormat& format = mapping.audioStreamBasicDescription();
    if (isImplausibleStatedSampleRate(format.sampleRate)) {
        Log::writef("MXFFile: An audio track of %s is left out: %s", sourceURLPath().c_str(),
                    implausibleSampleRateReason(format.sampleRate).c_str());
        return false;
    }
    track.setFourCC(format.formatID);
    track.setCodecName(mapping.audioFormatName());
    track.setAudioSampleRate(format.sampleRate);
    track.setAudioChannelCount(format.channelsPerFrame);
    track.setAudioBitDepth(format.bitsPerChannel);
    const uint64_t bytesPerFrame =
        format.bytesPerFrame != 0 ? format.bytesPerFrame
                                  : uint64_t(format.channelsPerFrame) * (format.bitsPerChannel / 8);
    track.setAudioBytesPerFrame(
        uint32_t(std::min<uint64_t>(bytesPerFrame, std::numeric_limits<uint32_t>::max())));
    return true;
}

std::shared_ptr<MXFMetadataSet> MXFFile::lookupDescriptor(const MXFIdentifier& descriptor,
                                                          uint32_t trackNumber, int32_t trackType,
                                                          uint32_t sourceTrackID) const {
    const int32_t elementType = trackTypeOfTrackNumber(trackNumber);
    const int32_t wanted = elementType != 0 ? elementType : trackType;
    const auto resolved = findMetadataSetWithIdentifier(descriptor);
    if (!resolved || wanted == 0) return nullptr;
    if (resolved->kind() != MXFSetKindMultipleDescriptor) return resolved;

    std::vector<std::shared_ptr<MXFMetadataSet>> candidates;
    for (const MXFIdentifier* reference : identifierList(*resolved, "SubDescriptorUIDs")) {
        const auto sub = findMetadataSetWithIdentifier(*reference);
        if (sub && MXFMapping::trackTypeOfDescriptor(*sub) == wanted) candidates.push_back(sub);
    }
    if (sourceTrackID != 0) {
        for (const auto& candidate : candidates)
            if (uint32Value(*candidate, "LinkedTrackID") == sourceTrackID) return candidate;
    }
    const uint32_t elementNumber = trackNumber & 0xFF;
    if (elementNumber < candidates.size()) return candidates[elementNumber];
    if (candidates.size() == 1) return candidates.front();
    return nullptr;
}

// ---- Descriptions -----------------------------------------------------------------------------

std::optional<std::string> MXFFile::xmlDescription() const {
    return xmlDescriptionOf(*this);
}

std::optional<std::string> MXFFile::xmlDescriptionOf(const MediaFile& file) {
    std::optional<MetadataBytes> bytes;
    if (const auto raw = file.metaDataValue(kXMLRawData); raw && raw->bytes())
        bytes = *raw->bytes();
    if (!bytes) {
        if (const auto url = file.metaDataString(kXMLMetaDataURL)) bytes = readSmallFile(*url);
    }
    if (!bytes) return std::nullopt;
    const auto document = XMLDocument::parse(*bytes, XMLDocument::ParseMode::Tidy);
    if (!document) return std::nullopt;
    return document->xmlString(true, true);
}

std::string MXFFile::extendedMetaDescription(int32_t level) const {
    std::string text = MediaFile::extendedMetaDescription(level);
    const bool hasXML = metaDataValue(kXMLMetaDataURL) || metaDataValue(kXMLRawData);
    if (level < 1) {
        if (hasXML) text += "MXF XML-Metadata = YES\n";
        return text;
    }
    if (const auto xml = xmlDescription()) text += "\n\n+++ MXF XML-Metadata +++\n\n" + *xml;
    return text;
}

}  // namespace vorlane
