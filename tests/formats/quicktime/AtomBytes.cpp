#include "formats/quicktime/AtomBytes.h"

#include <gtest/gtest.h>

#include "formats/quicktime/QtAtomWriter.h"
#include "support/TestSupport.h"

namespace vorlane::test {

std::string be16(uint16_t value) {
    QtAtomWriter writer;
    writer.appendBE16(value);
    return writer.string();
}

std::string be32(uint32_t value) {
    QtAtomWriter writer;
    writer.appendBE32(value);
    return writer.string();
}

std::string be64(uint64_t value) {
    QtAtomWriter writer;
    writer.appendBE64(value);
    return writer.string();
}

std::string atom(const std::string& type, const std::string& payload) {
    QtAtomWriter writer;
    writer.beginAtom(type);
    writer.appendBytes(payload);
    writer.endAtom();
    return writer.string();
}

std::string fullBox(const std::string& type, const std::string& payload) {
    QtAtomWriter writer;
    writer.beginFullAtom(type, 0, 0);
    writer.appendBytes(payload);
    writer.endAtom();
    return writer.string();
}

std::string userDataText(const std::string& text, uint16_t language) {
    return be16(uint16_t(text.size())) + be16(language) + text;
}

std::string metadataKeysAtom(const std::vector<MetadataKeyValue>& values, bool fullBoxStyle) {
    std::string keys = be32(0) + be32(uint32_t(values.size()));
    std::string items;
    uint32_t index = 0;
    for (const MetadataKeyValue& value : values) {
        keys += be32(uint32_t(value.key.size() + 8)) + "mdta" + value.key;
        const std::string data = atom("data", be32(value.type) + be32(0) + value.value);
        items += be32(uint32_t(data.size() + 8)) + be32(++index) + data;
    }
    const std::string handler = atom("hdlr", be32(0) + be32(0) + "mdta" + std::string(12, '\0'));
    const std::string children = handler + atom("keys", keys) + atom("ilst", items);
    return fullBoxStyle ? fullBox("meta", children) : atom("meta", children);
}

std::string xmlMetaBox(const std::string& document, const std::string& handler) {
    const std::string hdlr = fullBox("hdlr", be32(0) + handler + std::string(12, '\0') + '\0');
    return fullBox("meta", hdlr + fullBox("xml ", document));
}

void appendToFile(const std::filesystem::path& file, const std::string& bytes) {
    writeFile(file, readFile(file) + bytes);
}

void appendToMovieAtom(const std::filesystem::path& file, const std::string& children) {
    std::string bytes = readFile(file);
    size_t position = 0;
    size_t last = std::string::npos;
    while (position + 8 <= bytes.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + position);
        const uint32_t size = uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        if (size < 8) break;
        last = position;
        position += size;
    }
    ASSERT_EQ(position, bytes.size()) << "unexpected atom sizes in " << file;
    ASSERT_TRUE(last != std::string::npos && bytes.compare(last + 4, 4, "moov") == 0)
        << "the movie atom is not the last atom of " << file;
    const size_t movie = last;
    const std::string size = be32(uint32_t(bytes.size() - movie + children.size()));
    bytes.replace(movie, 4, size);
    writeFile(file, bytes + children);
}

void setMajorBrand(const std::filesystem::path& file, const std::string& brand) {
    std::string bytes = readFile(file);
    ASSERT_EQ(bytes.compare(4, 4, "ftyp"), 0);
    bytes.replace(8, 4, brand);
    writeFile(file, bytes);
}

}  // namespace vorlane::test
