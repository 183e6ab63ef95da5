#include "export/FCPXImport.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "media/MediaFile.h"
#include "platform/FileReader.h"
#include "platform/Text.h"

namespace vorlane {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The leading decimal number of the text, 0 when it has none.
double leadingNumber(std::string_view text) {
    text = trimmed(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return (error == std::errc() && std::isfinite(value)) ? value : 0.0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes a percent-escaped URL path stands for; none for a broken escape or a NUL byte.
std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0)) return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

// The scheme of an absolute URL ("file", "http"); empty for a relative reference.
std::string_view schemeOf(std::string_view url) {
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    const std::string_view scheme = url.substr(0, colon);
    const auto isSchemeChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '+' || c == '-' || c == '.';
    };
    for (const char c : scheme)
        if (!isSchemeChar(c)) return {};
    return scheme;
}

// The path of a file URL on this machine ("file:///a/b", "file://localhost/a/b", "file:/a/b"),
// or of a reference relative to the document's folder; none otherwise.
std::optional<std::filesystem::path> filePathOfURLText(
    std::string_view url, const std::optional<std::filesystem::path>& document) {
    url = trimmed(url);
    url = url.substr(0, url.find('#'));
    url = url.substr(0, url.find('?'));
    const std::string_view scheme = schemeOf(url);
    std::string_view path = url;
    if (!scheme.empty()) {
        if (lowerCased(std::string(scheme)) != "file") return std::nullopt;
        path = url.substr(scheme.size() + 1);
        if (path.starts_with("//")) {
            path.remove_prefix(2);
            const size_t slash = path.find('/');
            if (slash == std::string_view::npos) return std::nullopt;
            const std::string host = lowerCased(std::string(path.substr(0, slash)));
            if (!host.empty() && host != "localhost") return std::nullopt;
            path.remove_prefix(slash);
        }
        if (!path.starts_with("/")) return std::nullopt;
    }
    std::optional<std::string> decoded = percentDecoded(path);
    if (!decoded || decoded->empty()) return std::nullopt;
    std::filesystem::path result(*decoded);
    if (result.is_relative()) {
        if (!document) return std::nullopt;
        result = document->parent_path() / result;
    }
    return result.lexically_normal();
}

std::optional<std::string> roleBeforeFirstDot(std::optional<std::string> role) {
    if (role) role = role->substr(0, role->find('.'));
    return role;
}

// The text without any blanks.
std::string withoutBlanks(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (!isBlank(c)) out += c;
    return out;
}

// The clip's `md` entries that the pool's files carry: by the last word of their key.
void addLoggingMetadata(const XMLNode& metadata, MetadataDictionary& dictionary) {
    static const std::pair<const char*, const char*> kSuffixes[] = {
        {"reel", kReel},   {"scene", kScene},           {"shot", kTake},
        {"angle", kAngle}, {"cameraName", kCameraName},
    };
    for (const XMLNode& md : metadata.children("md")) {
        const std::optional<std::string> key = md.attribute("key");
        const std::optional<std::string> value = md.attribute("value");
        if (!key || !value) continue;
        for (const auto& [suffix, name] : kSuffixes)
            if (endsWith(*key, suffix)) dictionary[name] = *value;
    }
}

// What one clip element says about its file.
struct ClipReading {
    std::optional<std::string> name;
    std::optional<std::string> ref;
    std::optional<std::string> videoRole;
    std::optional<std::string> audioRole;
    MetadataList channelSources;
    MetadataDictionary metadata;
};

void readChannelSources(const XMLNode& source, MetadataList& sources) {
    const std::optional<std::string> role = source.attribute("role");
    const std::optional<std::string> channels = source.attribute("srcCh");
    if (!role || !channels) return;
    std::string_view rest = *channels;
    while (true) {
        const size_t comma = rest.find(',');
        const std::string channel = withoutBlanks(rest.substr(0, comma));
        if (!channel.empty())
            sources.emplace_back(MetadataDictionary{{"srcCh", channel}, {"role", *role}});
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
}

ClipReading readClip(const XMLNode& clip) {
    ClipReading reading;
    reading.name = clip.attribute("name");
    reading.ref = clip.attribute("ref");
    reading.videoRole = clip.attribute("videoRole");
    reading.audioRole = clip.attribute("audioRole");
    reading.metadata[kFCPXImported] = "YES";
    for (const XMLNode& child : clip.children()) {
        const std::string name = child.name();
        if (name == "video") {
            if (!reading.ref) reading.ref = child.attribute("ref");
            if (!reading.videoRole) reading.videoRole = child.attribute("role");
        } else if (name == "audio") {
            if (!reading.ref) reading.ref = child.attribute("ref");
            if (!reading.audioRole) reading.audioRole = roleBeforeFirstDot(child.attribute("role"));
        } else if (name == "audio-channel-source" || name == "audio-source") {
            readChannelSources(child, reading.channelSources);
        } else if (name == "note") {
            reading.metadata[kNote] = child.text();
        } else if (name == "metadata") {
            addLoggingMetadata(child, reading.metadata);
        }
    }
    return reading;
}

std::optional<std::string> readDocument(const std::filesystem::path& url) {
    const std::unique_ptr<FileReader> reader = FileReader::open(url);
    if (!reader || reader->size() > FCPXImport::kMaxDocumentSize) return std::nullopt;
    const std::optional<std::vector<uint8_t>> bytes = reader->readBytes(0, size_t(reader->size()));
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

}  // namespace

bool FCPXImport::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "FCPXML";
}

FCPXImport::FCPXImport(XMLDocument document, std::optional<std::filesystem::path> sourceURL)
    : xmlDocument_(std::move(document)), sourceURL_(std::move(sourceURL)) {}

std::unique_ptr<FCPXImport> FCPXImport::initWithURL(const std::filesystem::path& url) {
    const std::optional<std::string> text = readDocument(url);
    if (!text) return nullptr;
    std::unique_ptr<FCPXImport> import = initWithString(*text);
    if (import) import->sourceURL_ = url;
    return import;
}

std::unique_ptr<FCPXImport> FCPXImport::initWithString(std::string_view text) {
    std::optional<XMLDocument> document = XMLDocument::parse(text, XMLDocument::ParseMode::Tidy);
    if (!document || !document->root()) return nullptr;
    return std::unique_ptr<FCPXImport>(new FCPXImport(std::move(*document), std::nullopt));
}

XMLNode FCPXImport::resourceWithID(const std::string& identifier) const {
    const XMLNode root = xmlRoot();
    if (root.name() != "fcpxml") return {};
    if (!assetsByID_) {
        assetsByID_.emplace();
        for (const XMLNode& resources : root.children("resources"))
            for (const XMLNode& asset : resources.children("asset"))
                if (const auto id = asset.attribute("id")) assetsByID_->try_emplace(*id, asset);
    }
    const auto found = assetsByID_->find(identifier);
    return found == assetsByID_->end() ? XMLNode() : found->second;
}

std::optional<std::filesystem::path> FCPXImport::mediaURLOfAsset(const XMLNode& asset) const {
    std::optional<std::string> source = asset.attribute("src");
    // Documents of version 1.9 and later name the media in a `media-rep`; a missing kind is
    // "original-media".
    for (const XMLNode& representation : asset.children("media-rep")) {
        if (source) break;
        if (representation.attribute("kind").value_or("original-media") == "original-media")
            source = representation.attribute("src");
    }
    if (!source) return std::nullopt;
    std::optional<std::filesystem::path> path = filePathOfURLText(*source, sourceURL_);
    if (path && isSupportedURL(*path)) return std::nullopt;
    return path;
}

void FCPXImport::addXMLAssetsToMediaPool(MediaPool& pool) {
    pool.analyzeItemsInBackground(mediaFilesForMediaPool(pool));
}

std::vector<std::shared_ptr<MediaFile>> FCPXImport::mediaFilesForMediaPool(MediaPool& pool) {
    std::vector<std::shared_ptr<MediaFile>> files;
    const XMLNode root = xmlRoot();
    if (root.name() != "fcpxml") return files;
    xmlVersion_ = std::round(leadingNumber(root.attribute("version").value_or("")) * 100) / 100;
    for (const XMLNode& child : root.children()) {
        addClipsInNode(child, files, pool);
        const std::string name = child.name();
        if (name == "library") {
            for (const XMLNode& event : child.children("event"))
                for (const XMLNode& clip : event.children())
                    addClipsInNode(clip, files, pool);
        } else if (name == "event") {
            for (const XMLNode& clip : child.children())
                addClipsInNode(clip, files, pool);
        }
    }
    return files;
}

bool FCPXImport::addClipsInNode(const XMLNode& node, std::vector<std::shared_ptr<MediaFile>>& files,
                                MediaPool& pool) const {
    const std::string name = node.name();
    if (name != "clip" && name != "asset-clip") return false;
    std::shared_ptr<MediaFile> file = mediaFileWithClipNode(node, pool);
    if (!file) return false;
    files.push_back(std::move(file));
    return true;
}

std::shared_ptr<MediaFile> FCPXImport::mediaFileWithClipNode(const XMLNode& clip,
                                                             MediaPool& pool) const {
    ClipReading reading = readClip(clip);
    if (!reading.ref) return nullptr;
    const XMLNode asset = resourceWithID(*reading.ref);
    if (!asset) return nullptr;
    const std::optional<std::filesystem::path> url = mediaURLOfAsset(asset);
    if (!url) return nullptr;
    if (const auto uid = asset.attribute("uid")) reading.metadata[kFCPXUUID] = *uid;
    std::string reason;
    std::shared_ptr<MediaFile> file = pool.addMediaWithURL(*url, &reason);
    if (!file) {
        if (!pool.fileWithURL(*url)) refusedMedia_.push_back({*url, reason});
        return nullptr;
    }
    // A clip without a name leaves the file its own.
    if (reading.name) file->setName(*reading.name);
    for (auto& [key, value] : reading.metadata)
        file->setMetaDataValue(key, std::move(value));
    if (reading.videoRole) file->setMetaDataValue(kFCPXVideoRole, *reading.videoRole);
    if (reading.audioRole) file->setMetaDataValue(kFCPXAudioRole, *reading.audioRole);
    if (!reading.channelSources.empty())
        file->setMetaDataValue(kFCPXAudioChannelSources, std::move(reading.channelSources));
    return file;
}

MediaReaderChoice importFCPXMLDocument(const std::filesystem::path& url, MediaPool& pool) {
    std::unique_ptr<FCPXImport> import = FCPXImport::initWithURL(url);
    if (!import) return {nullptr, {}, "not a readable FCPXML document"};
    const std::vector<std::shared_ptr<MediaFile>> files = import->mediaFilesForMediaPool(pool);
    pool.analyzeItemsInBackground(files);
    pool.setImportedFCPXMLVersion(import->xmlVersion());
    const auto& refused = import->refusedMedia();
    if (files.empty() && !refused.empty())
        return {nullptr,
                {},
                "none of the media it names could be added (" + refused.front().url.string() +
                    ": " + refused.front().reason + ")"};
    MediaReaderChoice choice{nullptr, {}, "read as an FCPXML document"};
    choice.importedDocument = true;
    return choice;
}

}  // namespace vorlane
