#include "formats/wave/BWFFile.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <system_error>

#include "formats/wave/BextRecord.h"
#include "formats/wave/IXMLChunk.h"
#include "formats/wave/RiffFile.h"
#include "formats/wave/RiffWriter.h"
#include "platform/ByteOrder.h"
#include "platform/DateFields.h"
#include "platform/Log.h"
#include "platform/SampleRateRange.h"
#include "platform/Text.h"
#include "platform/XMLDocument.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

// Recorders write iXML of a few kilobytes; a chunk above this is not taken for metadata (so
// that printing it stays cheap).
constexpr size_t kMaxIXMLSize = 1 << 20;
constexpr uint32_t kBextID = fourCC("bext");
constexpr uint32_t kIXMLID = fourCC("iXML");
constexpr uint16_t kFormatIEEEFloat = 3;

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> splitAtBlanks(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t blank = text.find(' '); blank != std::string::npos; blank = text.find(' ', start)) {
        parts.push_back(text.substr(start, blank - start));
        start = blank + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Linear PCM as the analysis accepts it: integer, float and extensible formats.
bool isReadableFormat(const WaveFormat& format) {
    return format.formatTag == RiffFile::kFormatPCM || format.formatTag == kFormatIEEEFloat ||
           format.formatTag == RiffFile::kFormatExtensible;
}

// Integer linear PCM, plain or in the extensible format (as multichannel and 24-bit writers
// store it).
bool isIntegerPCM(const WaveFormat& format) {
    return format.formatTag == RiffFile::kFormatPCM ||
           (format.formatTag == RiffFile::kFormatExtensible &&
            format.subFormatTag == RiffFile::kFormatPCM);
}

// Maker, model and serial number from the recorder's originator text.
void readOriginator(const std::string& originator, MetadataDictionary& metaData) {
    if (originator.empty()) return;
    metaData[kBWFOriginator] = originator;
    const std::vector<std::string> parts = splitAtBlanks(originator);
    if (originator.starts_with("Sound Dev:") && parts.size() == 4) {
        metaData[kMaker] = "Sound Devices";
        metaData[kModel] = parts[2];
        metaData[kSerialNumber] = parts[3];
    } else if (originator.starts_with("SoundDev:") && parts.size() == 3) {
        metaData[kMaker] = "Sound Devices";
        metaData[kModel] = parts[1];
        metaData[kSerialNumber] = parts[2];
    } else {
        metaData[kModel] = originator;
    }
}

// Digits at a position of a text; nothing when any is not a digit or the text is too short.
std::optional<int> digitsAt(const std::string& text, size_t offset, size_t count) {
    if (text.size() < offset + count) return std::nullopt;
    int value = 0;
    for (size_t i = offset; i < offset + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// OriginationDate and OriginationTime in local time; any separator between the fields.
std::optional<MetadataDate> originationDate(const BextRecord& record) {
    const std::string date = record.originationDate();
    const std::string time = record.originationTime();
    const std::optional<int> parts[] = {digitsAt(date, 0, 4), digitsAt(date, 5, 2),
                                        digitsAt(date, 8, 2), digitsAt(time, 0, 2),
                                        digitsAt(time, 3, 2), digitsAt(time, 6, 2)};
    if (std::any_of(std::begin(parts), std::end(parts), [](const auto& p) { return !p; }))
        return std::nullopt;
    return DateFields{*parts[0], *parts[1], *parts[2], *parts[3], *parts[4], *parts[5]}.localDate();
}

// Scene, take, tape, file name and speed from the recorder's key lines in the description.
RecorderMetadata readDescription(const std::string& description) {
    static constexpr std::pair<const char*, const char*> texts[] = {
        {"SCENE=", kScene}, {"TAKE=", kTake}, {"TAPE=", kReel}, {"FILENAME=", kOriginalFilename}};
    RecorderMetadata values;
    for (const auto& [argument, key] : texts) {
        std::optional<std::string> value = BWFFile::findArgument(argument, description);
        if (value && !value->empty()) values.fileMetaData[key] = std::move(*value);
    }
    if (const auto speed = BWFFile::findArgument("SPEED=", description)) {
        values.frameRate = exactFrameRate(leadingNumber(*speed));
        values.dropFrame = trimmed(*speed).ends_with("DF");
    }
    return values;
}

// Everything the chunks say, read before the file record is changed.
struct ChunkReading {
    WaveFormat format;
    uint64_t frames = 0;
    std::optional<BextRecord> bext;
    bool hasTimeReference = false;
    std::optional<MetadataBytes> iXML;
    RecorderMetadata recorder;
};

std::optional<ChunkReading> readChunks(RiffFile& file) {
    ChunkReading reading;
    const std::optional<WaveFormat> format = file.waveFormat();
    const std::optional<uint64_t> frames = file.sampleFrameCount();
    if (!format || !frames || !isReadableFormat(*format) ||
        !isPlausibleSampleRate(format->sampleRate))
        return std::nullopt;
    reading.format = *format;
    reading.frames = std::min<uint64_t>(*frames, uint64_t(std::numeric_limits<int64_t>::max()));

    const RiffChunk* bext = file.findChunk(kBextID);
    const auto bextBytes = bext ? file.readPayload(*bext, 0, BextRecord::kSize) : std::nullopt;
    if (!bextBytes) return reading;
    reading.bext = BextRecord(*bextBytes);
    reading.hasTimeReference = bextBytes->size() >= BextRecord::kTimeReferenceEnd;

    const RiffChunk* iXML = file.findChunk(kIXMLID);
    if (!iXML) {
        reading.recorder = readDescription(reading.bext->description());
        return reading;
    }
    if (iXML->availableSize <= kMaxIXMLSize) reading.iXML = file.readPayload(*iXML);
    if (reading.iXML) {
        if (auto values = IXMLChunk::read(*reading.iXML)) reading.recorder = std::move(*values);
    }
    return reading;
}

// The timecode of TimeReference, a sample count since midnight.
std::shared_ptr<TCHelper> bextTimecode(const ChunkReading& reading) {
    const uint64_t samples = reading.bext->timeReference();
    if (samples > uint64_t(std::numeric_limits<int64_t>::max())) return nullptr;
    const RecorderMetadata& recorder = reading.recorder;
    auto timecode = TCHelper::helperWithFrameRate(recorder.frameRate, recorder.dropFrame);
    timecode->setType(TCTypeFile);
    timecode->setIndex(0);
    timecode->setSource("bext chunk");
    timecode->setRawUserBits(recorder.userBits);
    timecode->setTime(CMTimeMake(int64_t(samples), CMTimeScale(reading.format.sampleRate)));
    return timecode;
}

// Samples since midnight of a time of day, truncated and exact.
uint64_t samplesOfTime(CMTime time, uint32_t sampleRate) {
    if (!time.isValid() || time.value < 0) return 0;
    __extension__ typedef unsigned __int128 UInt128;
    return uint64_t(UInt128(time.value) * sampleRate / UInt128(time.timescale));
}

}  // namespace

BWFFile::BWFFile(std::filesystem::path url) : MediaFile(std::move(url)) {
    setFileContainerType(MediaFileContainerWAVE);
}

bool BWFFile::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "WAV";
}

std::optional<std::string> BWFFile::findArgument(const std::string& argument,
                                                 const std::string& text) {
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        size_t lineEnd = text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        const size_t found = argument.empty() ? std::string::npos : line.find(argument);
        if (found != std::string::npos) return line.substr(found + argument.size());
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

void BWFFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    analyzeBWF();
    setThumbnail(defaultThumbnailAudio());
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
}

void BWFFile::analyzeBWF() {
    auto file = RiffFile::open(sourceURLPath());
    if (!file) {
        Log::writef("BWFFile: Cannot open %s as a WAV file", sourceURLPath().c_str());
        return;
    }
    file->reader().adviseRandomAccess();
    analyzeRiffFile(*file);
}

void BWFFile::analyzeRiffFile(RiffFile& file) {
    if (const auto format = file.waveFormat();
        format && !isPlausibleSampleRate(format->sampleRate)) {
        Log::writef("BWFFile: The sound of %s is not read: %s", sourceURLPath().c_str(),
                    implausibleSampleRateReason(format->sampleRate).c_str());
        return;
    }
    const std::optional<ChunkReading> reading = readChunks(file);
    if (!reading) {
        Log::writef("BWFFile: No linear PCM format and audio in %s", sourceURLPath().c_str());
        return;
    }
    std::lock_guard lock(mutex());
    const WaveFormat& format = reading->format;
    std::shared_ptr<MediaTrack> audio = addTrackWithMediaType(MediaTrackTypeAudio, 1);
    audio->setTrackNumber(1);
    audio->setFourCC(fourCC("lpcm"));
    audio->setCodecName("LPCM");
    audio->setTimeRange(
        {kCMTimeZero, CMTimeMake(int64_t(reading->frames), CMTimeScale(format.sampleRate))});
    audio->setAudioChannelCount(format.channels);
    audio->setAudioBitDepth(format.bitsPerSample);
    audio->setAudioBytesPerFrame(format.blockAlign);
    audio->setAudioSampleRate(format.sampleRate);
    if (!reading->bext) return;

    setFileContainerType(MediaFileContainerBWF);
    setFileTypeDescription("Broadcast Wave");
    const BextRecord& bext = *reading->bext;
    MetadataDictionary found;
    readOriginator(trimmed(bext.originator()), found);
    if (const auto date = originationDate(bext)) found[kOriginalCreationDate] = *date;
    found[kBWFbext] = MetadataBytes(bext.bytes().begin(), bext.bytes().end());
    if (reading->iXML) found[kBWFiXML] = *reading->iXML;
    for (const auto& [key, value] : reading->recorder.fileMetaData)
        found[key] = value;
    for (auto& [key, value] : found)
        setMetaDataValue(key, std::move(value));

    if (const auto& channels = reading->recorder.channelList) {
        audio->metaData()[kAudioChannelList] = *channels;
        const MetadataDictionary* only =
            channels->size() == 1 ? (*channels)[0].dictionary() : nullptr;
        const auto index = only ? metadataString(*only, kAudioChannelIndex) : std::nullopt;
        const double number = index ? leadingNumber(*index) : 0.0;
        if (number >= 1.0 && number <= double(std::numeric_limits<int32_t>::max()))
            audio->setTrackNumber(int32_t(number));
    }
    if (reading->hasTimeReference)
        if (auto timecode = bextTimecode(*reading)) addTimecodeTrackWithTCHelper(timecode);
}

std::string BWFFile::uniqueDeviceID() const {
    std::lock_guard lock(mutex());
    const std::string base = MediaFile::uniqueDeviceID();
    const std::shared_ptr<MediaTrack> audio = firstAudioTrack();
    const bool zaxcom = upperCased(modelname().value_or("")).find("ZAXCOM") != std::string::npos;
    if (zaxcom && audio && audio->audioChannelCount() == 1)
        return base + upperCased(reel().value_or(""));
    return base;
}

std::optional<std::string> BWFFile::bextDescription() const {
    const std::optional<MetadataValue> stored = metaDataValue(kBWFbext);
    if (!stored || !stored->bytes()) return std::nullopt;
    return BextRecord(*stored->bytes()).listing();
}

std::optional<std::string> BWFFile::iXMLDescription() const {
    const std::optional<MetadataValue> stored = metaDataValue(kBWFiXML);
    if (!stored || !stored->bytes()) return std::nullopt;
    const auto document = XMLDocument::parse(*stored->bytes(), XMLDocument::ParseMode::Tidy);
    if (!document) return std::nullopt;
    return document->xmlString(true, true);
}

std::string BWFFile::extendedMetaDescription(int32_t level) const {
    std::string text = MediaFile::extendedMetaDescription(level);
    const std::optional<std::string> bext = bextDescription();
    const std::optional<std::string> iXML = iXMLDescription();
    if (level < 1) {
        if (bext) text += "Broadcast Wave File = YES\n";
        if (metaDataValue(kBWFiXML)) text += "iXML = YES\n";
        return text;
    }
    if (bext) text += "\n\n+++ BWF/BEXT Metadata +++\n\n" + *bext;
    if (iXML) text += "\n\n+++ iXML Metadata +++\n\n" + *iXML;
    return text;
}

namespace {

// Where a recorder file lies on its timecode clock, and the length of one frame there.
struct TakeSpan {
    CMTime start;
    CMTime end;
    CMTime frame;
};

std::optional<TakeSpan> spanOfTake(const std::filesystem::path& path) {
    auto file = std::make_shared<BWFFile>(path);
    file->analyzeBWF();
    const std::shared_ptr<TCHelper> timecode = file->fileTimecode();
    if (!timecode || !file->hasAudio()) return std::nullopt;
    const CMTime start = timecode->timeWithoutOffset();
    const CMTime frame = timecode->frameRate() > 0
                             ? CMTimeMakeWithSeconds(1.0 / timecode->frameRate(), 1000000)
                             : CMTimeMake(1001, 24000);
    return TakeSpan{start, CMTimeAdd(start, file->duration()), frame};
}

// The next file starts where the previous one ends, within a frame (also across midnight).
bool continues(const std::optional<TakeSpan>& previous, const std::optional<TakeSpan>& next) {
    if (!previous || !next) return false;
    CMTime distance = CMTimeSubtract(next->start, previous->end);
    if (distance < CMTimeMake(-43200, 1)) distance = CMTimeAdd(distance, CMTimeMake(86400, 1));
    return CMTimeAbsoluteValue(distance) <= previous->frame;
}

// The run of files, in folder order, each continuing the one before, that holds the file. Only
// the run and the files just outside it are read, however many takes the folder holds.
std::vector<std::filesystem::path> continuousRunWith(
    const std::vector<std::filesystem::path>& members, const std::filesystem::path& url) {
    const auto found = std::find_if(members.begin(), members.end(), [&](const auto& member) {
        return member.filename() == url.filename();
    });
    if (found == members.end()) return {};
    size_t first = size_t(found - members.begin());
    size_t last = first;
    std::optional<TakeSpan> firstSpan = spanOfTake(members[first]);
    std::optional<TakeSpan> lastSpan = firstSpan;
    while (first > 0) {
        const std::optional<TakeSpan> before = spanOfTake(members[first - 1]);
        if (!continues(before, firstSpan)) break;
        firstSpan = before;
        --first;
    }
    while (last + 1 < members.size()) {
        const std::optional<TakeSpan> after = spanOfTake(members[last + 1]);
        if (!continues(lastSpan, after)) break;
        lastSpan = after;
        ++last;
    }
    return {members.begin() + ptrdiff_t(first), members.begin() + ptrdiff_t(last) + 1};
}

}  // namespace

// The name rule alone would also gather the separate takes that a Zoom recorder numbers alike
// (ZOOM0001 … ZOOM0007 of one day) and join them end to end; only files whose start continues
// the previous file's end are parts of one recording.
std::optional<std::vector<std::filesystem::path>> BWFFile::spannedFilesForURL(
    const std::filesystem::path& url) {
    const std::optional<std::vector<std::filesystem::path>> members = zoomFilesForURL(url);
    if (!members) return std::nullopt;
    std::vector<std::filesystem::path> run = continuousRunWith(*members, url);
    if (run.size() < 2) return std::nullopt;
    return run;
}

std::optional<std::vector<std::filesystem::path>> BWFFile::zoomFilesForURL(
    const std::filesystem::path& url) {
    const std::string name = url.stem().string();
    const bool numbered =
        name.size() >= 5 &&
        std::all_of(name.end() - 4, name.end(), [](unsigned char c) { return std::isdigit(c); });
    if (name.find("ZOOM") == std::string::npos || !numbered) return std::nullopt;
    const std::string prefix = name.substr(0, name.size() - 4);

    std::vector<std::filesystem::path> entries;
    std::error_code error;
    const std::filesystem::path folder = url.has_parent_path() ? url.parent_path() : ".";
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (!it->path().filename().string().starts_with(".")) entries.push_back(it->path());
    if (error || entries.size() < 2) return std::nullopt;
    std::sort(entries.begin(), entries.end());

    std::vector<std::filesystem::path> members;
    for (const std::filesystem::path& entry : entries)
        if (entry.filename().string().starts_with(prefix) && isSupportedURL(entry) &&
            std::filesystem::is_regular_file(entry, error))
            members.push_back(entry);
    if (members.size() < 2) return std::nullopt;
    return members;
}

bool BWFFile::writeBWFTimecodeOfMediaFile(const MediaFile& file, const std::filesystem::path& url) {
    auto target = RiffFile::open(url);
    const std::optional<WaveFormat> format = target ? target->waveFormat() : std::nullopt;
    if (!format || !isIntegerPCM(*format) || !target->duration()) {
        Log::writef("BWFFile: %s is no linear PCM WAV file, no timecode written", url.c_str());
        return false;
    }
    const std::optional<MetadataValue> storedBext = file.metaDataValue(kBWFbext);
    BextRecord record =
        storedBext && storedBext->bytes() ? BextRecord(*storedBext->bytes()) : BextRecord();
    if (record.originator().empty()) record.setOriginator("Vorlane Studio");
    const std::shared_ptr<TCHelper> timecode = file.timecode();
    if (timecode)
        record.setTimeReference(
            samplesOfTime(timecode->legalTime(TCOptionWrap24h), format->sampleRate));

    std::vector<uint8_t> iXML;
    const std::optional<MetadataValue> storedIXML = file.metaDataValue(kBWFiXML);
    if (storedIXML && storedIXML->bytes()) {
        iXML = *storedIXML->bytes();
    } else {
        const std::string built =
            IXMLChunk::build(timecode.get(), file.reel(), file.scene(), file.take());
        iXML.assign(built.begin(), built.end());
    }
    return RiffWriter::writeFileWithChunks(
        *target, url,
        {{kBextID, std::vector<uint8_t>(record.bytes().begin(), record.bytes().end())},
         {kIXMLID, std::move(iXML)}});
}

}  // namespace vorlane
