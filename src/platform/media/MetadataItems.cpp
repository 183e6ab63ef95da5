#include "platform/media/MetadataItems.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "platform/DateFields.h"

namespace vorlane {
namespace {

// FFmpeg's names of container facts that are no metadata items of the file's own lists.
const std::set<std::string>& containerFactKeys(bool trackLevel) {
    static const std::set<std::string> fileKeys = {
        "major_brand", "minor_version", "compatible_brands", "creation_time", "timecode"};
    static const std::set<std::string> trackKeys = {"handler_name", "vendor_id",     "encoder",
                                                    "language",     "creation_time", "timecode",
                                                    "reel_name",    "rotate",        "DURATION"};
    return trackLevel ? trackKeys : fileKeys;
}

const std::map<std::string, std::string>& userDataKeys() {
    static const std::map<std::string, std::string> keys = {
        {"title", "©nam"},        {"artist", "©ART"},    {"album", "©alb"},
        {"comment", "©cmt"},      {"date", "©day"},      {"encoder", "©too"},
        {"genre", "©gen"},        {"copyright", "©cpy"}, {"composer", "©wrt"},
        {"description", "©des"},  {"grouping", "©grp"},  {"lyrics", "©lyr"},
        {"make", "©mak"},         {"model", "©mod"},     {"location", "©xyz"},
        {"album_artist", "aART"}, {"track", "trkn"},     {"disc", "disk"}};
    return keys;
}

const std::map<std::string, std::string>& iTunesOnlyKeys() {
    static const std::map<std::string, std::string> keys = {
        {"copyright", "cprt"}, {"description", "desc"}, {"synopsis", "ldes"},
        {"show", "tvsh"},      {"episode_id", "tven"},  {"network", "tvnn"}};
    return keys;
}

const std::map<std::string, std::string>& id3Frames() {
    static const std::map<std::string, std::string> keys = {
        {"album", "TALB"},       {"composer", "TCOM"},    {"genre", "TCON"},
        {"copyright", "TCOP"},   {"encoded_by", "TENC"},  {"title", "TIT2"},
        {"language", "TLAN"},    {"artist", "TPE1"},      {"album_artist", "TPE2"},
        {"performer", "TPE3"},   {"disc", "TPOS"},        {"publisher", "TPUB"},
        {"track", "TRCK"},       {"encoder", "TSSE"},     {"lyrics", "USLT"},
        {"compilation", "TCMP"}, {"date", "TDRC"},        {"creation_time", "TDEN"},
        {"album-sort", "TSOA"},  {"artist-sort", "TSOP"}, {"title-sort", "TSOT"},
        {"grouping", "TIT1"},    {"comment", "COMM"}};
    return keys;
}

const std::map<std::string, std::string>& commonKeys() {
    static const std::map<std::string, std::string> keys = {{"title", "title"},
                                                            {"artist", "artist"},
                                                            {"album", "albumName"},
                                                            {"comment", "description"},
                                                            {"description", "description"},
                                                            {"copyright", "copyrights"},
                                                            {"date", "creationDate"},
                                                            {"creationdate", "creationDate"},
                                                            {"encoder", "software"},
                                                            {"software", "software"},
                                                            {"make", "make"},
                                                            {"model", "model"},
                                                            {"location", "location"},
                                                            {"location.iso6709", "location"},
                                                            {"genre", "type"},
                                                            {"publisher", "publisher"},
                                                            {"author", "author"},
                                                            {"keywords", "subject"}};
    return keys;
}

std::string lowercase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

// Identifiers write the copyright sign of four-character keys as the platform does: "%A9".
std::string identifierOf(const std::string& keySpace, const std::string& key) {
    const std::string prefix = keySpace == kMetadataKeySpaceID3 ? "id3" : keySpace;
    std::string encoded;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key.compare(i, 2, "©") == 0) {
            encoded += "%A9";
            ++i;
        } else {
            encoded += key[i];
        }
    }
    return prefix + "/" + encoded;
}

std::string lookup(const std::map<std::string, std::string>& table, const std::string& key) {
    const auto found = table.find(key);
    return found == table.end() ? key : found->second;
}

MetadataItem itemOf(const std::string& name, MetadataFlavor flavor, bool trackLevel) {
    MetadataItem item;
    const bool reverseDNS = name.find('.') != std::string::npos;
    const bool quickTimeFamily =
        flavor == MetadataFlavor::QuickTime || flavor == MetadataFlavor::MPEG4;
    std::string common = name;
    if (containerFactKeys(trackLevel).count(name) || flavor == MetadataFlavor::Other) {
        item.format = kMetadataFormatContainer;
        item.keySpace = kMetadataKeySpaceContainer;
        item.key = name;
    } else if (quickTimeFamily && reverseDNS) {
        item.format = kMetadataFormatQuickTimeMetadata;
        item.keySpace = kMetadataKeySpaceQuickTimeMetadata;
        item.key = name;
        const std::string prefix = "com.apple.quicktime.";
        common = name.rfind(prefix, 0) == 0 ? lowercase(name.substr(prefix.size())) : "";
    } else if (flavor == MetadataFlavor::QuickTime) {
        item.format = kMetadataFormatQuickTimeUserData;
        item.keySpace = kMetadataKeySpaceQuickTimeUserData;
        item.key = lookup(userDataKeys(), name);
    } else if (flavor == MetadataFlavor::MPEG4) {
        item.format = kMetadataFormatiTunesMetadata;
        item.keySpace = kMetadataKeySpaceiTunes;
        const auto only = iTunesOnlyKeys().find(name);
        item.key = only != iTunesOnlyKeys().end() ? only->second : lookup(userDataKeys(), name);
    } else {
        item.format = kMetadataFormatID3Metadata;
        item.keySpace = kMetadataKeySpaceID3;
        item.key = lookup(id3Frames(), name);
    }
    item.identifier = identifierOf(item.keySpace, item.key);
    const auto found = commonKeys().find(common);
    if (found != commonKeys().end() && !(trackLevel && common == "encoder")) {
        item.commonKey = found->second;
    }
    return item;
}

}  // namespace

std::vector<MetadataItem> metadataItemsOf(const AVDictionary* dictionary, MetadataFlavor flavor,
                                          bool trackLevel) {
    std::vector<MetadataItem> items;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        MetadataItem item = itemOf(entry->key, flavor, trackLevel);
        item.stringValue = entry->value;
        items.push_back(std::move(item));
    }
    return items;
}

MetadataItem pictureItemOf(const AVPacket& picture, MetadataFlavor flavor) {
    MetadataItem item;
    if (flavor == MetadataFlavor::ID3) {
        item.format = kMetadataFormatID3Metadata;
        item.keySpace = kMetadataKeySpaceID3;
        item.key = "APIC";
    } else if (flavor == MetadataFlavor::QuickTime || flavor == MetadataFlavor::MPEG4) {
        item.format = kMetadataFormatiTunesMetadata;
        item.keySpace = kMetadataKeySpaceiTunes;
        item.key = "covr";
    } else {
        item.format = kMetadataFormatContainer;
        item.keySpace = kMetadataKeySpaceContainer;
        item.key = "attached_pic";
    }
    item.identifier = identifierOf(item.keySpace, item.key);
    item.commonKey = "artwork";
    if (picture.data && picture.size > 0) {
        item.dataValue = std::vector<uint8_t>(picture.data, picture.data + picture.size);
    }
    return item;
}

std::optional<MetadataDate> parseISO8601Date(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%*1[T ]%2d:%2d:%2d%n", &year, &month, &day, &hour,
                    &minute, &second, &consumed) != 6) {
        return std::nullopt;
    }
    size_t at = size_t(consumed);
    std::chrono::microseconds fraction{0};
    if (at < text.size() && text[at] == '.') {
        int64_t scale = 100000;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += std::chrono::microseconds((text[at] - '0') * scale);
    }
    std::chrono::minutes offset{0};
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int offsetHours = 0, offsetMinutes = 0;
        const char* rest = text.c_str() + at + 1;
        if (std::sscanf(rest, "%2d:%2d", &offsetHours, &offsetMinutes) == 2 ||
            std::sscanf(rest, "%2d%2d", &offsetHours, &offsetMinutes) >= 1) {
            offset = std::chrono::hours(offsetHours) + std::chrono::minutes(offsetMinutes);
            if (text[at] == '-') offset = -offset;
        }
    }
    const std::optional<MetadataDate> whole =
        DateFields{year, month, day, hour, minute, second}.dateAtUTCOffset(int(offset.count()));
    if (!whole) return std::nullopt;
    return *whole + std::chrono::duration_cast<MetadataDate::duration>(fraction);
}

}  // namespace vorlane
