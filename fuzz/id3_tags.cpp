// Reads arbitrary bytes as the start and end of an MP3 file: the ID3v2 tag, the ID3v1 tag, and
// the recorder words of their texts.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "formats/asset/ID3Tag.h"
#include "formats/asset/MP3File.h"
#include "platform/FileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto reader = vorlane::FileReader::fromBuffer(std::span(data, size));
    std::string texts;
    if (const auto v2 = vorlane::readID3v2Tag(*reader)) {
        for (const auto& [id, text] : v2->textFrames)
            texts += id + "=" + text + " ";
    }
    if (const auto v1 = vorlane::readID3v1Tag(*reader))
        texts += v1->title + " " + v1->artist + " " + v1->album + " ";
    const auto file = std::make_shared<vorlane::MP3File>("fuzz.mp3");
    file->parseMP3MetaString(texts);
    file->parseMP3MetaString(std::string(reinterpret_cast<const char*>(data), size));
    file->updateReadableInfo();
    return 0;
}
