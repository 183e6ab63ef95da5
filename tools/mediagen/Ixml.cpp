#include "mediagen/Ixml.h"

#include <array>
#include <cstdio>

namespace vorlane::mediagen {
namespace {

class Writer {
  public:
    void open(const std::string& name) {
        indent();
        text_ += "<" + name + ">\n";
        ++depth_;
    }
    void close(const std::string& name) {
        --depth_;
        indent();
        text_ += "</" + name + ">\n";
    }
    void element(const std::string& name, const std::string& value) {
        if (value.empty()) return;
        indent();
        text_ += "<" + name + ">" + escapeXml(value) + "</" + name + ">\n";
    }
    const std::string& text() const { return text_; }

  private:
    void indent() { text_.append(size_t(depth_) * 2, ' '); }
    std::string text_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    int depth_ = 0;
};

std::string hex8(uint32_t value) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%08X", value);
    return text.data();
}

std::string ratioText(const Rate& rate) {
    return std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator);
}

void writeSpeed(Writer& out, const IxmlFields& fields) {
    out.open("SPEED");
    if (fields.speed) {
        out.element("MASTER_SPEED", ratioText(*fields.speed));
        out.element("CURRENT_SPEED", ratioText(*fields.speed));
        out.element("TIMECODE_RATE", ratioText(*fields.speed));
        out.element("TIMECODE_FLAG", fields.speed->dropFrame ? "DF" : "NDF");
    }
    if (fields.sampleRate > 0) out.element("FILE_SAMPLE_RATE", std::to_string(fields.sampleRate));
    if (fields.bitDepth > 0) out.element("AUDIO_BIT_DEPTH", std::to_string(fields.bitDepth));
    if (fields.samplesSinceMidnight) {
        out.element("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
                    std::to_string(uint32_t(*fields.samplesSinceMidnight >> 32)));
        out.element("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO",
                    std::to_string(uint32_t(*fields.samplesSinceMidnight)));
    }
    if (fields.sampleRate > 0)
        out.element("TIMESTAMP_SAMPLE_RATE", std::to_string(fields.sampleRate));
    out.close("SPEED");
}

void writeTracks(Writer& out, const std::vector<IxmlTrack>& tracks) {
    out.open("TRACK_LIST");
    out.element("TRACK_COUNT", std::to_string(tracks.size()));
    for (const IxmlTrack& track : tracks) {
        out.open("TRACK");
        out.element("CHANNEL_INDEX", std::to_string(track.channelIndex));
        out.element("INTERLEAVE_INDEX", std::to_string(track.interleaveIndex));
        out.element("NAME", track.name);
        out.element("FUNCTION", track.function);
        out.close("TRACK");
    }
    out.close("TRACK_LIST");
}

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string ixmlDocument(const IxmlFields& fields) {
    Writer out;
    out.open("BWFXML");
    out.element("IXML_VERSION", "1.61");
    out.element("PROJECT", fields.project);
    out.element("SCENE", fields.scene);
    out.element("TAPE", fields.tape);
    out.element("TAKE", fields.take);
    out.element("FILE_UID", fields.fileUid);
    if (fields.userBits) out.element("UBITS", hex8(*fields.userBits));
    out.element("NOTE", fields.note);
    writeSpeed(out, fields);
    if (!fields.tracks.empty()) writeTracks(out, fields.tracks);
    if (!fields.originalFilename.empty()) {
        out.open("HISTORY");
        out.element("ORIGINAL_FILENAME", fields.originalFilename);
        out.close("HISTORY");
    }
    if (fields.fileSet) {
        out.open("FILE_SET");
        out.element("TOTAL_FILES", std::to_string(fields.fileSet->totalFiles));
        out.element("FAMILY_UID", fields.fileSet->familyUid);
        out.element("FAMILY_NAME", fields.fileSet->familyName);
        out.element("FILE_SET_INDEX", fields.fileSet->index);
        out.close("FILE_SET");
    }
    if (!fields.user.empty()) {
        out.open("USER");
        for (const auto& [name, value] : fields.user)
            out.element(name, value);
        out.close("USER");
    }
    out.close("BWFXML");
    return out.text();
}

}  // namespace vorlane::mediagen
