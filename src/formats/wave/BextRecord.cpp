#include "formats/wave/BextRecord.h"

#include <algorithm>

#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "platform/ByteOrder.h"

namespace vorlane {

BextRecord::BextRecord(std::span<const uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), kSize), bytes_.begin());
}

std::string BextRecord::textField(size_t offset, size_t width) const {
    return MediaFile::cStringConvert(bytes_.data() + offset, width);
}

int16_t BextRecord::signedField(size_t offset) const {
    return int16_t(readLE16(bytes_.data() + offset));
}

uint64_t BextRecord::timeReference() const {
    return readLE64(bytes_.data() + 338);
}

uint16_t BextRecord::version() const {
    return readLE16(bytes_.data() + 346);
}

void BextRecord::setOriginator(const std::string& originator) {
    const size_t length = std::min<size_t>(originator.size(), 31);
    std::copy_n(originator.begin(), length, bytes_.begin() + 256);
    bytes_[256 + length] = 0;
}

void BextRecord::setTimeReference(uint64_t samples) {
    writeLE64(bytes_.data() + 338, samples);
}

// The UMID is binary: shown as hexadecimal digits, or empty when the recorder left it zero.
std::string BextRecord::listing() const {
    std::string umidText;
    const auto field = umid();
    if (std::any_of(field.begin(), field.end(), [](uint8_t b) { return b != 0; }))
        for (uint8_t byte : field)
            umidText += formatMediaText("%02X", byte);
    std::string text = formatMediaText("Version: %d\n", version());
    text += "Originator: " + originator() + "\n";
    text += "OriginatorReference: " + originatorReference() + "\n";
    text += "OriginationDate: " + originationDate() + "\n";
    text += "OriginationTime: " + originationTime() + "\n";
    text += formatMediaText("TimeReference: %llu\n", (unsigned long long)timeReference());
    text += "UMID: " + umidText + "\n";
    text += formatMediaText(
        "LoudnessValue: %d\nLoudnessRange: %d\nMaxTruePeakLevel: %d\nMaxMomentaryLoudness: "
        "%d\nMaxShortTermLoudness: %d\n\n",
        loudnessValue(), loudnessRange(), maxTruePeakLevel(), maxMomentaryLoudness(),
        maxShortTermLoudness());
    text += "Description:\n" + description() + "\n";
    text += "CodingHistory:\n" + codingHistory() + "\n";
    return text;
}

}  // namespace vorlane
