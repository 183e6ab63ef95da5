#include "timecode/TcFormatter.h"

#include <string_view>

namespace vorlane {
namespace {

constexpr std::string_view kSeparatorsAndSigns = ":;.+-";
constexpr size_t kMaximumDigits = 8;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string TcFormatter::stringForObjectValue(const TCHelper* value) {
    if (value == nullptr) return {};
    frameRate_ = value->frameRate();
    dropFrame_ = value->dropFrame();
    return value->timecodeString(TCOptionAllowNegative | TCOptionPlusSign);
}

std::shared_ptr<TCHelper> TcFormatter::getObjectValue(const std::string& text) const {
    TCHelper value(frameRate_, dropFrame_);
    if (!value.setTimecodeString(text)) return nullptr;
    return value.copy();
}

TcEditAnswer TcFormatter::isPartialStringValid(const std::string& proposedString,
                                               const std::string& originalString,
                                               TextRange originalSelectedRange) const {
    std::string text;
    for (const char c : proposedString) {
        if (isDigit(c)) {
            text += c;
        } else if (kSeparatorsAndSigns.find(c) == std::string_view::npos) {
            TcEditAnswer refused;
            refused.beep = true;
            return refused;
        }
    }
    if (text.size() > kMaximumDigits) return {};
    if (originalSelectedRange.location != originalString.size()) {
        TcEditAnswer asTyped;
        asTyped.accepted = true;
        return asTyped;
    }
    // Separators between digit pairs counted from the right; the frame separator last.
    for (size_t at = 2 - text.size() % 2; text.size() > at; at += 3) {
        const bool last = text.size() < at + 3;
        text.insert(at, 1, last && dropFrame_ ? ';' : ':');
    }
    if (!proposedString.empty() && (proposedString[0] == '+' || proposedString[0] == '-')) {
        text.insert(0, 1, proposedString[0]);
    }
    TcEditAnswer reformatted;
    reformatted.accepted = true;
    reformatted.replacementSelection = {text.size(), 0};
    reformatted.replacement = std::move(text);
    return reformatted;
}

}  // namespace vorlane
