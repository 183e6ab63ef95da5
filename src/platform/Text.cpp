#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace vorlane {

std::string formatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatTextWithArguments(format, arguments);
    va_end(arguments);
    return text;
}

std::string formatTextWithArguments(const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    return text;
}

std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return text;
}

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return text;
}

std::string upperCasedExtension(const std::filesystem::path& url) {
    std::string extension = url.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    return upperCased(std::move(extension));
}

}  // namespace vorlane

namespace vorlane {
namespace {

// The length of the well-formed UTF-8 sequence at the start of the text; 0 when it is none.
size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t index) { return static_cast<uint8_t>(text[index]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t index = 2; index < length; ++index)
        if ((byte(index) & 0xC0) != 0x80) return 0;
    return length;
}

void appendHex(std::string& out, const char* lead, unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += lead;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string systemErrorText(int error) {
    std::string text = std::generic_category().message(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}

bool isValidUTF8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string printableText(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        const auto lead = static_cast<uint8_t>(text[0]);
        if (length == 0) {
            appendHex(out, "\\x", lead, 2);
            text.remove_prefix(1);
            continue;
        }
        if (length == 1 && (lead < 0x20 || lead == 0x7F) && !(keepLineBreaks && lead == '\n')) {
            switch (lead) {
                case '\n':
                    out += "\\n";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case 0x1B:
                    out += "\\e";
                    break;
                default:
                    appendHex(out, "\\x", lead, 2);
            }
        } else if (length == 2 && lead == 0xC2 && static_cast<uint8_t>(text[1]) < 0xA0) {
            appendHex(out, "\\u", static_cast<uint8_t>(text[1]), 4);  // C1 controls
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace vorlane
