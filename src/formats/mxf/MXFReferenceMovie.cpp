#include "formats/mxf/MXFReferenceMovie.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFIdentifier.h"
#include "formats/mxf/MXFTrackOutput.h"
#include "formats/quicktime/QtAtomWriter.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/FileReader.h"
#include "platform/Log.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr uint32_t kTimecodeDropFrame = 0x1;
constexpr uint32_t kTimecodeMax24Hours = 0x2;
constexpr uint32_t kPCMSignedInteger = 0x4;
constexpr uint32_t kPCMPacked = 0x8;
constexpr uint8_t kIndexRandomAccess = 0x80;
constexpr char kD10Container[] = "06.0E.2B.34.04.01.01.XX.0D.01.03.01.02.01.XX.XX";
// Field information of interlaced pictures: two fields, woven into one frame, top field first.
constexpr uint8_t kFieldsInterleavedTopFirst = 9;

constexpr bool fitsIn32(uint64_t value) {
    return value <= std::numeric_limits<uint32_t>::max();
}

// The common start of every sample description: format code, reserved bytes, data reference 1.
void beginSampleEntry(QtAtomWriter& writer, uint32_t format) {
    writer.appendBE32(format);
    writer.appendZeros(6);
    writer.appendBE16(1);
}

std::string isoDate(const MetadataDate& date) {
    using namespace std::chrono;
    const auto day = floor<days>(date);
    const year_month_day ymd(day);
    const hh_mm_ss time(floor<seconds>(date - day));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

// Display positions of the stored pictures from the index entries' temporal offsets (the
// picture shown at position x is stored at x + offset); nothing when they are all zero or do
// not describe a reordering.
std::optional<std::vector<int32_t>> compositionOffsets(const std::vector<int8_t>& temporalOffsets,
                                                       uint32_t sampleDuration) {
    bool reordered = false;
    const auto count = int64_t(temporalOffsets.size());
    std::vector<int64_t> shownAt(temporalOffsets.size(), -1);
    for (int64_t shown = 0; shown < count; ++shown) {
        const int64_t stored = shown + temporalOffsets[size_t(shown)];
        if (stored < 0 || stored >= count || shownAt[size_t(stored)] >= 0) return std::nullopt;
        shownAt[size_t(stored)] = shown;
        reordered = reordered || stored != shown;
    }
    if (!reordered) return std::nullopt;
    std::vector<int32_t> offsets;
    offsets.reserve(shownAt.size());
    for (int64_t stored = 0; stored < count; ++stored)
        offsets.push_back(int32_t((shownAt[size_t(stored)] - stored) * int64_t(sampleDuration)));
    return offsets;
}

// Whether one more edit unit may join a track: within the day's limit and inside the file.
bool acceptableUnit(const MXFEssenceSample& sample, size_t unitsBefore, uint64_t fileSize) {
    if (unitsBefore >= MXFReferenceMovie::kMaxEditUnits) {
        Log::write("MXFReferenceMovie: A track has more edit units than a day");
        return false;
    }
    if (sample.fileOffset > fileSize || sample.size > fileSize - sample.fileOffset) {
        Log::writef("MXFReferenceMovie: Edit unit %llu lies outside the file",
                    (unsigned long long)sample.editUnit);
        return false;
    }
    return true;
}

// The samples of a picture track: one chunk per edit unit.
std::optional<QtReferenceTrack> pictureTrack(const MediaTrack& track, MXFTrackOutput& output,
                                             const std::filesystem::path& file, uint64_t fileSize) {
    QtReferenceTrack movieTrack;
    movieTrack.kind = QtMediaKind::Video;
    movieTrack.dataFile = file;
    movieTrack.width = track.videoSize().width;
    movieTrack.height = track.videoSize().height;
    movieTrack.sampleEntry = MXFReferenceMovie::videoSampleEntry(track);
    std::vector<uint32_t> randomAccess;
    std::vector<int8_t> temporalOffsets;
    while (const std::optional<MXFEssenceSample> sample = output.nextSampleBuffer()) {
        if (!acceptableUnit(*sample, movieTrack.chunks.size(), fileSize)) return std::nullopt;
        if (!fitsIn32(sample->size)) {
            Log::writef("MXFReferenceMovie: Picture %llu is larger than a movie sample can be",
                        (unsigned long long)sample->editUnit);
            return std::nullopt;
        }
        if (movieTrack.chunks.empty()) {
            if (!sample->duration.isValid() || sample->duration.value <= 0 ||
                !fitsIn32(uint64_t(sample->duration.value))) {
                Log::write("MXFReferenceMovie: The picture track has no edit rate");
                return std::nullopt;
            }
            movieTrack.timeScale = uint32_t(sample->duration.timescale);
            movieTrack.sampleDuration = uint32_t(sample->duration.value);
        }
        movieTrack.chunks.push_back({sample->fileOffset, 1});
        movieTrack.sampleSizes.push_back(uint32_t(sample->size));
        if (sample->flags & kIndexRandomAccess)
            randomAccess.push_back(uint32_t(movieTrack.chunks.size()));
        temporalOffsets.push_back(sample->temporalOffset);
    }
    if (output.failed()) return std::nullopt;
    // Indexes that flag no picture as a random access point say nothing about it.
    if (!randomAccess.empty() && randomAccess.size() < movieTrack.chunks.size())
        movieTrack.syncSamples = std::move(randomAccess);
    if (auto offsets = compositionOffsets(temporalOffsets, movieTrack.sampleDuration))
        movieTrack.compositionOffsets = std::move(*offsets);
    return movieTrack;
}

// The samples of a sound track: each edit unit is a chunk of sample frames.
std::optional<QtReferenceTrack> soundTrack(const MediaTrack& track, MXFTrackOutput& output,
                                           const std::filesystem::path& file, uint64_t fileSize) {
    QtReferenceTrack movieTrack;
    movieTrack.kind = QtMediaKind::Sound;
    movieTrack.dataFile = file;
    movieTrack.timeScale = uint32_t(std::lround(track.audioSampleRate()));
    movieTrack.constantSampleSize = track.audioBytesPerFrame();
    movieTrack.sampleEntry = MXFReferenceMovie::soundSampleEntry(track);
    while (const std::optional<MXFEssenceSample> sample = output.nextSampleBuffer()) {
        if (!acceptableUnit(*sample, movieTrack.chunks.size(), fileSize)) return std::nullopt;
        if (sample->sampleCount == 0) continue;
        if (!fitsIn32(sample->sampleCount)) return std::nullopt;
        movieTrack.chunks.push_back({sample->fileOffset, uint32_t(sample->sampleCount)});
    }
    if (output.failed()) return std::nullopt;
    return movieTrack;
}

// Whether a track's essence lies in the D-10 mapping, whose sound elements hold AES3 data (a
// header and eight 4-byte channels) whatever the descriptor says of channels and depth.
bool isD10Track(const MediaTrack& track) {
    const auto descriptor = track.metaData().find(kMXFDescriptor);
    if (descriptor == track.metaData().end() || !descriptor->second.dictionary()) return false;
    const MetadataDictionary& properties = *descriptor->second.dictionary();
    const auto container = properties.find("EssenceContainer");
    const std::string* label = container != properties.end() ? container->second.string() : nullptr;
    return label && MXFIdentifier::identifierWithString(*label).matchesStringUL(kD10Container);
}

// Whether the movie can describe a sound track's essence: plain PCM in generic-container or
// system-item elements of another mapping than D-10.
bool isPlainPCMTrack(const MediaTrack& track) {
    return track.fourCC() == fourCC("lpcm") && !isD10Track(track) &&
           track.audioBytesPerFrame() > 0 && track.audioChannelCount() > 0 &&
           track.audioSampleRate() >= 1.0 && track.audioSampleRate() <= 1e6;
}

std::optional<QtReferenceTrack> essenceTrack(const MediaTrack& track, const MXFFile& file,
                                             const MXFReferenceMovie::ReaderSource& openReader,
                                             uint64_t fileSize) {
    std::unique_ptr<FileReader> reader = openReader();
    if (!reader) {
        Log::writef("MXFReferenceMovie: Cannot open %s", file.sourceURLPath().c_str());
        return std::nullopt;
    }
    std::unique_ptr<MXFTrackOutput> output =
        MXFTrackOutput::outputWithMediaTrack(track, true, std::move(reader));
    if (!output) return std::nullopt;
    const std::filesystem::path path = std::filesystem::absolute(file.sourceURLPath());
    return track.type() == MediaTrackTypeAudio ? soundTrack(track, *output, path, fileSize)
                                               : pictureTrack(track, *output, path, fileSize);
}

// Whether a track goes into the movie; a track left out is logged.
bool describableTrack(const MediaTrack& track) {
    if (track.type() == MediaTrackTypeVideo) {
        if (track.fourCC() != 0) return true;
        Log::writef("MXFReferenceMovie: Picture track %d (%s) has no four-character code",
                    track.trackNumber(), track.codecName().c_str());
        return false;
    }
    if (track.type() != MediaTrackTypeAudio) return false;
    if (isPlainPCMTrack(track)) return true;
    Log::writef("MXFReferenceMovie: Sound track %d (%s) is not plain PCM and is left out",
                track.trackNumber(), track.codecName().c_str());
    return false;
}

void addMetadata(QtReferenceMovie& movie, const MXFFile& file) {
    if (const auto maker = file.metaDataString(kMaker))
        movie.addMetadataItem("com.apple.quicktime.make", *maker);
    if (const auto model = file.metaDataString(kModel))
        movie.addMetadataItem("com.apple.quicktime.model", *model);
    if (const auto created = file.metaDataValue(kOriginalCreationDate); created && created->date())
        movie.addMetadataItem("com.apple.quicktime.creationdate", isoDate(*created->date()));
    if (const auto description = file.xmlDescription())
        movie.addMetadataItem("com.apple.quicktime.description", *description);
}

std::shared_ptr<TCHelper> startTimecodeOf(const MXFFile& file) {
    for (const auto& track : file.tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode()) return track->timecode();
    return nullptr;
}

// Frames of the timecode's rate that the movie's longest track lasts.
uint64_t framesOfMovie(const QtReferenceMovie& movie, const TCHelper& timecode) {
    const CMTime frame = timecode.frameDuration();
    uint64_t frames = 0;
    for (const QtReferenceTrack& track : movie.tracks()) {
        if (track.timeScale == 0 || frame.value <= 0) continue;
        const double seconds = double(track.mediaDuration()) / track.timeScale;
        frames = std::max(frames, uint64_t(std::ceil(seconds * frame.timescale / frame.value)));
    }
    return frames;
}

}  // namespace

std::vector<uint8_t> MXFReferenceMovie::videoSampleEntry(const MediaTrack& track) {
    QtAtomWriter writer;
    beginSampleEntry(writer, track.fourCC());
    writer.appendZeros(16);  // version, revision, vendor, temporal and spatial quality
    writer.appendBE16(uint16_t(std::clamp(track.videoSize().width, 0.0, 65535.0)));
    writer.appendBE16(uint16_t(std::clamp(track.videoSize().height, 0.0, 65535.0)));
    writer.appendBE32(0x00480000);  // 72 dpi
    writer.appendBE32(0x00480000);
    writer.appendBE32(0);  // data size
    writer.appendBE16(1);  // frames per sample
    writer.appendPascalString(track.codecName(), 32);
    writer.appendBE16(24);      // depth
    writer.appendBE16(0xFFFF);  // no colour table
    if (track.videoFieldCount() == 2) {
        writer.beginAtom("fiel");
        writer.appendBE8(2);
        writer.appendBE8(kFieldsInterleavedTopFirst);
        writer.endAtom();
    }
    return writer.bytes();
}

std::vector<uint8_t> MXFReferenceMovie::soundSampleEntry(const MediaTrack& track) {
    QtAtomWriter writer;
    beginSampleEntry(writer, fourCC("lpcm"));
    writer.appendBE16(2);  // version 2: the sound format in full
    writer.appendBE16(0);
    writer.appendBE32(0);
    writer.appendBE16(3);
    writer.appendBE16(16);
    writer.appendBE16(0xFFFE);
    writer.appendBE16(0);
    writer.appendBE32(0x00010000);
    writer.appendBE32(72);  // size of the version 2 fields
    uint64_t rate = 0;
    const double sampleRate = track.audioSampleRate();
    std::memcpy(&rate, &sampleRate, sizeof rate);
    writer.appendBE64(rate);
    writer.appendBE32(track.audioChannelCount());
    writer.appendBE32(0x7F000000);
    // The width of each stored sample: 20-bit sound in 3-byte words is read as 24-bit.
    const uint32_t channels = track.audioChannelCount();
    const uint32_t bits = track.audioBytesPerFrame() % channels == 0
                              ? track.audioBytesPerFrame() / channels * 8
                              : track.audioBitDepth();
    writer.appendBE32(bits);
    writer.appendBE32(bits > 8 ? kPCMSignedInteger | kPCMPacked : kPCMPacked);
    writer.appendBE32(track.audioBytesPerFrame());
    writer.appendBE32(1);  // sample frames per packet
    return writer.bytes();
}

std::vector<uint8_t> MXFReferenceMovie::timecodeSampleEntry(const TCHelper& timecode) {
    const CMTime frame = timecode.frameDuration();
    QtAtomWriter writer;
    beginSampleEntry(writer, fourCC("tmcd"));
    writer.appendBE32(0);
    writer.appendBE32(kTimecodeMax24Hours | (timecode.dropFrame() ? kTimecodeDropFrame : 0));
    writer.appendBE32(uint32_t(frame.timescale));
    writer.appendBE32(uint32_t(frame.value));
    writer.appendBE8(uint8_t(std::clamp(timecode.roundedFrameRate(), 1.0, 255.0)));
    writer.appendBE8(0);
    return writer.bytes();
}

QtReferenceTrack MXFReferenceMovie::timecodeTrack(const TCHelper& timecode, uint64_t frames) {
    const CMTime frame = timecode.frameDuration();
    QtReferenceTrack track;
    track.kind = QtMediaKind::Timecode;
    track.timeScale = uint32_t(frame.timescale);
    const uint64_t longest = std::numeric_limits<uint32_t>::max() / uint64_t(frame.value);
    track.sampleDuration = uint32_t(std::clamp<uint64_t>(frames, 1, longest) * frame.value);
    track.sampleEntry = timecodeSampleEntry(timecode);
    QtAtomWriter sample;
    sample.appendBE32(uint32_t(std::max<int64_t>(timecode.frameCount(), 0)));
    track.ownData = sample.bytes();
    track.chunks.push_back({0, 1});
    track.constantSampleSize = 4;
    return track;
}

std::optional<QtReferenceMovie> MXFReferenceMovie::movieOfFile(const MXFFile& file) {
    const std::filesystem::path& path = file.sourceURLPath();
    std::error_code error;
    const uint64_t fileSize = std::filesystem::file_size(path, error);
    if (error) {
        Log::writef("MXFReferenceMovie: Cannot read %s", path.c_str());
        return std::nullopt;
    }
    return movieOfFile(
        file, [&] { return FileReader::open(path); }, fileSize);
}

std::optional<QtReferenceMovie> MXFReferenceMovie::movieOfFile(const MXFFile& file,
                                                               const ReaderSource& openReader,
                                                               uint64_t fileSize) {
    std::vector<QtReferenceTrack> tracks;
    for (const auto& track : file.tracks()) {
        if (!describableTrack(*track)) continue;
        std::optional<QtReferenceTrack> movieTrack =
            essenceTrack(*track, file, openReader, fileSize);
        if (!movieTrack) {
            Log::writef("MXFReferenceMovie: Track %d of %s cannot be referenced",
                        track->trackNumber(), file.sourceURLPath().c_str());
            return std::nullopt;
        }
        tracks.push_back(std::move(*movieTrack));
    }
    if (tracks.empty()) {
        Log::writef("MXFReferenceMovie: %s has no track to reference",
                    file.sourceURLPath().c_str());
        return std::nullopt;
    }
    QtReferenceMovie movie(tracks.front().timeScale);
    for (QtReferenceTrack& track : tracks)
        movie.addTrack(std::move(track));
    const std::shared_ptr<TCHelper> timecode = startTimecodeOf(file);
    if (timecode && timecode->frameDuration().isValid() && timecode->frameDuration().value > 0)
        movie.addTrack(timecodeTrack(*timecode, framesOfMovie(movie, *timecode)));
    addMetadata(movie, file);
    return movie;
}

bool MXFReferenceMovie::writeMovieOfFile(const MXFFile& file,
                                         const std::filesystem::path& destination) {
    const std::optional<QtReferenceMovie> movie = movieOfFile(file);
    return movie && movie->writeToURL(destination);
}

}  // namespace vorlane
