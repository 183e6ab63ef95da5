#include "formats/ReaderChoice.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <system_error>
#include <utility>

#include "formats/asset/AVCHDFile.h"
#include "formats/asset/AVFoundationFile.h"
#include "formats/asset/MP3File.h"
#include "formats/dng/CinemaDNGFile.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFImporterFile.h"
#include "formats/quicktime/QuicktimeFile.h"
#include "formats/raw/CRMFile.h"
#include "formats/raw/RedFile.h"
#include "formats/wave/BWFFile.h"
#include "media/SpannedMediaFile.h"
#include "platform/DefaultsKeys.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserDefaults.h"

namespace vorlane {

namespace {

using ClassTest = bool (*)(const std::filesystem::path&);
using Opener = MediaReaderChoice (*)(const std::filesystem::path&, MediaPool&);

struct ReaderRule {
    const char* kind;  // the file kind named when there is no reader; nullptr: the file's type
    ClassTest accepts;
    Opener open;  // nullptr: this build has no reader of the kind
};

bool hasExtension(const std::filesystem::path& url, std::initializer_list<const char*> wanted) {
    const std::string extension = upperCasedExtension(url);
    return std::any_of(wanted.begin(), wanted.end(),
                       [&](const char* candidate) { return extension == candidate; });
}

bool isMXF(const std::filesystem::path& url) {
    return hasExtension(url, {"MXF"});
}
bool isQuicktime(const std::filesystem::path& url) {
    return hasExtension(url, {"MOV", "MP4", "M4A", "M4V"});
}
bool isCanonRaw(const std::filesystem::path& url) {
    return hasExtension(url, {"CRM"});
}
bool isAVCHD(const std::filesystem::path& url) {
    return hasExtension(url, {"MTS"});
}
bool isWave(const std::filesystem::path& url) {
    return hasExtension(url, {"WAV"});
}
bool isMP3(const std::filesystem::path& url) {
    return hasExtension(url, {"MP3"});
}
bool isRed(const std::filesystem::path& url) {
    return hasExtension(url, {"R3D"});
}
bool isDNG(const std::filesystem::path& url) {
    return hasExtension(url, {"DNG"});
}
bool isFCPXML(const std::filesystem::path& url) {
    return hasExtension(url, {"FCPXML"});
}

// Media that the platform's asset interface opens by its type, and MPEG transport streams.
bool isPlatformMedia(const std::filesystem::path& url) {
    if (hasExtension(url, {"M2T"})) return true;
    const std::optional<std::string> type = FileSystem::typeIdentifier(url);
    if (!type) return false;
    for (const char* known :
         {FileSystem::kTypeQuickTimeMovie, FileSystem::kTypeMPEG4, FileSystem::kTypeMPEG4Audio,
          FileSystem::kTypeMPEG, FileSystem::kTypeMPEG2TransportStream,
          FileSystem::kTypeAVCHDTransportStream, FileSystem::kTypeWaveformAudio,
          FileSystem::kTypeAIFFAudio, FileSystem::kTypeAIFCAudio, FileSystem::kTypeMP3})
        if (*type == known) return true;
    return false;
}

// A reader made for the file alone.
template <class Reader>
MediaReaderChoice openReader(const std::filesystem::path& url, MediaPool&) {
    auto file = std::make_shared<Reader>(url);
    return {file, {file}, {}};
}

// A recording that the reader's split rule found in several files: one SpannedMediaFile stands
// for the parts, which are the source files. Parts that cannot be made are left out (the
// recording shows the gap). Nothing when fewer than two parts remain, or when a part is in the
// pool already: that file stays the single file it was added as.
template <class MakePart>
std::optional<MediaReaderChoice> openSpanned(
    const std::optional<std::vector<std::filesystem::path>>& paths, MediaPool& pool,
    MakePart makePart) {
    if (!paths) return std::nullopt;
    std::vector<std::shared_ptr<MediaFile>> parts;
    for (const std::filesystem::path& path : *paths) {
        if (pool.fileWithURL(path)) return std::nullopt;
        if (std::shared_ptr<MediaFile> part = makePart(path)) parts.push_back(std::move(part));
    }
    if (parts.size() < 2) return std::nullopt;
    return MediaReaderChoice{SpannedMediaFile::initWithMediaFiles(parts), parts, {}};
}

// MXF files are read by MXFFile, or with "mxfImporter" 1 by MXFImporterFile (the platform's MXF
// reader plus our parser's metadata). A clip that a card recorded over several files is one
// spanned recording.
MediaReaderChoice openMXF(const std::filesystem::path& url, MediaPool& pool) {
    const UserDefaults& defaults = pool.userDefaults();
    const bool importer = defaults.integerForKey(DefaultsKey::mxfImporter) == 1;
    const auto open = [&](const std::filesystem::path& path) -> std::shared_ptr<MediaFile> {
        if (importer) return std::make_shared<MXFImporterFile>(path, defaults);
        return MXFFile::initWithURL(path, defaults);
    };
    auto spanned = openSpanned(MXFFile::spannedFilesForURL(url), pool, open);
    if (spanned) return *spanned;
    auto file = open(url);
    if (!file) return {nullptr, {}, "cannot be opened"};
    return {file, {file}, {}};
}

// A CinemaDNG clip stands for its images and the WAV beside them.
MediaReaderChoice openCinemaDNG(const std::filesystem::path& url, MediaPool&) {
    auto clip = CinemaDNGFile::initWithURL(url);
    if (!clip) return {nullptr, {}, "not part of a CinemaDNG clip"};
    MediaReaderChoice choice{clip, {clip}, {}};
    if (clip->audioFile()) choice.sourceFiles.push_back(clip->audioFile());
    return choice;
}

template <class Reader>
std::shared_ptr<MediaFile> makeReader(const std::filesystem::path& path) {
    return std::make_shared<Reader>(path);
}

// A WAV file recorded beside CinemaDNG images is the clip's sound: the clip is the pool entry.
// A take that a recorder split over several files is one spanned recording.
MediaReaderChoice openWave(const std::filesystem::path& url, MediaPool& pool) {
    if (CinemaDNGFile::isURLPartOfDNGDirectory(url)) {
        MediaReaderChoice clip = openCinemaDNG(url, pool);
        if (clip.file) return clip;
    }
    if (auto spanned = openSpanned(BWFFile::spannedFilesForURL(url), pool, makeReader<BWFFile>))
        return *spanned;
    return openReader<BWFFile>(url, pool);
}

// The files of a RED clip folder are one spanned recording.
MediaReaderChoice openRed(const std::filesystem::path& url, MediaPool& pool) {
    if (auto spanned = openSpanned(RedFile::spannedFilesForURL(url), pool, makeReader<RedFile>))
        return *spanned;
    return openReader<RedFile>(url, pool);
}

// The fixed order of the class tests; the first that accepts a file decides. Each reader
// takes its place here as one line.
const ReaderRule kReaderRules[] = {
    {"MXF", isMXF, openMXF},  // MXFFile or MXFImporterFile (see above)
    {"QuickTime", isQuicktime, openReader<QuicktimeFile>},
    {"Canon raw", isCanonRaw, openReader<CRMFile>},
    {"AVCHD", isAVCHD, openReader<AVCHDFile>},
    {"WAVE", isWave, openWave},  // CinemaDNGFile or BWFFile (see above)
    {"MP3", isMP3, openReader<MP3File>},
    {nullptr, isPlatformMedia, openReader<AVFoundationFile>},
    {"RED", isRed, openRed},  // RedFile, or the clip's files as one recording
    {"CinemaDNG", isDNG, openCinemaDNG},
    {"FCPXML", isFCPXML, nullptr},  // FCPXImport, which adds its own files (see below)
};

const ReaderRule* ruleFor(const std::filesystem::path& url) {
    for (const ReaderRule& rule : kReaderRules)
        if (rule.accepts(url)) return &rule;
    return nullptr;
}

std::string kindOf(const ReaderRule& rule, const std::filesystem::path& url) {
    if (rule.kind) return rule.kind;
    return FileSystem::typeDescription(url).value_or("this kind of");
}

}  // namespace

MediaReaderChoice chooseMediaReader(const std::filesystem::path& url, MediaPool& pool) {
    std::error_code error;
    if (!std::filesystem::exists(url, error)) return {nullptr, {}, "no such file"};
    const ReaderRule* rule = ruleFor(url);
    if (!rule) return {nullptr, {}, "not a media file Vorlane reads"};
    if (!rule->open) return {nullptr, {}, "no reader for " + kindOf(*rule, url) + " files yet"};
    return rule->open(url, pool);
}

MediaReaderFactory readerChoiceImportingDocuments(MediaReaderFactory importDocument) {
    return [importDocument = std::move(importDocument)](const std::filesystem::path& url,
                                                        MediaPool& pool) {
        const ReaderRule* rule = ruleFor(url);
        std::error_code error;
        if (rule && rule->accepts == isFCPXML && importDocument &&
            std::filesystem::exists(url, error))
            return importDocument(url, pool);
        return chooseMediaReader(url, pool);
    };
}

bool isSupportedMediaURL(const std::filesystem::path& url) {
    const ReaderRule* rule = ruleFor(url);
    return rule && (rule->open || rule->accepts == isFCPXML);
}

}  // namespace vorlane
