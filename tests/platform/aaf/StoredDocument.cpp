#include "platform/aaf/StoredDocument.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdio>
#include <fstream>

namespace vorlane::test {
namespace {

uint64_t little(const ByteString& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t index = 0; index < size && at + index < bytes.size(); ++index)
        value |= uint64_t(bytes[at + index]) << (8 * index);
    return value;
}

ByteString readStream(GsfInput* input) {
    ByteString bytes(size_t(gsf_input_size(input)));
    if (!bytes.empty() && !gsf_input_read(input, bytes.size(), bytes.data())) bytes.clear();
    return bytes;
}

// The property index of a storage: 'L', version, count, then (pid, form, length) entries and
// the values one after the other.
void decodeProperties(StoredStorage& storage) {
    const auto found = storage.streams.find("properties");
    if (found == storage.streams.end()) return;
    const ByteString& bytes = found->second;
    if (bytes.size() < 4 || bytes[0] != 0x4c) {
        storage.propertiesMalformed = true;
        return;
    }
    const size_t count = size_t(little(bytes, 2, 2));
    size_t value = 4 + 6 * count;
    for (size_t index = 0; index < count; ++index) {
        const size_t entry = 4 + 6 * index;
        const auto length = size_t(little(bytes, entry + 4, 2));
        if (value + length > bytes.size()) {
            storage.propertiesMalformed = true;
            return;
        }
        storage.properties.emplace_back(
            uint16_t(little(bytes, entry, 2)),
            StoredProperty{
                uint16_t(little(bytes, entry + 2, 2)),
                ByteString(bytes.begin() + long(value), bytes.begin() + long(value + length))});
        value += length;
    }
    if (value != bytes.size()) storage.propertiesMalformed = true;
}

std::unique_ptr<StoredStorage> readStorage(GsfInfile* infile, const std::string& name) {
    auto storage = std::make_unique<StoredStorage>();
    storage->name = name;
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(infile), storage->classID.data());
    const int children = gsf_infile_num_children(infile);
    for (int index = 0; index < children; ++index) {
        GsfInput* child = gsf_infile_child_by_index(infile, index);
        const std::string childName = gsf_infile_name_by_index(infile, index);
        // Storages are directories even when they hold nothing.
        if (gsf_infile_num_children(GSF_INFILE(child)) >= 0)
            storage->storages[childName] = readStorage(GSF_INFILE(child), childName);
        else
            storage->streams[childName] = readStream(child);
        g_object_unref(child);
    }
    decodeProperties(*storage);
    return storage;
}

}  // namespace

const StoredProperty* StoredStorage::property(uint16_t pid) const {
    for (const auto& [key, value] : properties)
        if (key == pid) return &value;
    return nullptr;
}

const StoredStorage* StoredStorage::strongReference(uint16_t pid) const {
    const StoredProperty* reference = property(pid);
    if (!reference || reference->form != 0x22) return nullptr;
    const auto found = storages.find(utf8OfUTF16(reference->value));
    return found == storages.end() ? nullptr : found->second.get();
}

std::vector<const StoredStorage*> StoredStorage::collection(uint16_t pid) const {
    std::vector<const StoredStorage*> elements;
    const StoredProperty* reference = property(pid);
    if (!reference || (reference->form != 0x32 && reference->form != 0x3a)) return elements;
    const std::string name = utf8OfUTF16(reference->value);
    const auto index = streams.find(name + " index");
    if (index == streams.end()) return elements;
    const ByteString& bytes = index->second;
    const auto count = size_t(little(bytes, 0, 4));
    const bool set = reference->form == 0x3a;
    const size_t keySize = set ? size_t(little(bytes, 14, 1)) : 0;
    const size_t first = set ? 15 : 12;
    const size_t stride = set ? 8 + keySize : 4;
    for (size_t position = 0; position < count; ++position) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "{%x}",
                      unsigned(little(bytes, first + position * stride, 4)));
        const auto found = storages.find(name + suffix);
        elements.push_back(found == storages.end() ? nullptr : found->second.get());
    }
    return elements;
}

std::vector<ByteString> StoredStorage::setKeys(uint16_t pid) const {
    std::vector<ByteString> keys;
    const StoredProperty* reference = property(pid);
    if (!reference || reference->form != 0x3a) return keys;
    const auto index = streams.find(utf8OfUTF16(reference->value) + " index");
    if (index == streams.end()) return keys;
    const ByteString& bytes = index->second;
    const auto count = size_t(little(bytes, 0, 4));
    const auto keySize = size_t(little(bytes, 14, 1));
    for (size_t position = 0; position < count; ++position) {
        const size_t at = 15 + position * (8 + keySize) + 8;
        if (at + keySize > bytes.size()) break;
        keys.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + keySize));
    }
    return keys;
}

std::optional<std::string> StoredStorage::string(uint16_t pid) const {
    const StoredProperty* value = property(pid);
    if (!value) return std::nullopt;
    return utf8OfUTF16(value->value);
}

std::optional<int64_t> StoredStorage::integer(uint16_t pid) const {
    const StoredProperty* value = property(pid);
    if (!value || value->value.empty() || value->value.size() > 8) return std::nullopt;
    const size_t size = value->value.size();
    const uint64_t raw = little(value->value, 0, size);
    if (size < 8 && (raw >> (8 * size - 1)) & 1) return int64_t(raw | (~uint64_t(0) << (8 * size)));
    return int64_t(raw);
}

std::optional<std::pair<int32_t, int32_t>> StoredStorage::rational(uint16_t pid) const {
    const StoredProperty* value = property(pid);
    if (!value || value->value.size() != 8) return std::nullopt;
    return std::pair(int32_t(little(value->value, 0, 4)), int32_t(little(value->value, 4, 4)));
}

std::optional<StoredDocument::WeakReference> StoredDocument::weakReference(
    const StoredProperty& property) {
    if (property.form != 0x02 || property.value.size() < 5) return std::nullopt;
    const auto keySize = size_t(property.value[4]);
    if (property.value.size() != 5 + keySize) return std::nullopt;
    return WeakReference{uint16_t(little(property.value, 0, 2)),
                         uint16_t(little(property.value, 2, 2)),
                         ByteString(property.value.begin() + 5, property.value.end())};
}

std::optional<StoredDocument> readStoredDocument(const std::filesystem::path& path) {
    gsf_init();
    StoredDocument document;
    std::ifstream file(path, std::ios::binary);
    document.header.resize(512);
    file.read(reinterpret_cast<char*>(document.header.data()), 512);
    if (file.gcount() != 512) return std::nullopt;
    GsfInput* input = gsf_input_stdio_new(path.c_str(), nullptr);
    if (!input) return std::nullopt;
    GsfInfile* infile = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    if (!infile) return std::nullopt;
    document.root = readStorage(infile, "Root Entry");
    g_object_unref(infile);
    // 'L', path count, pid count, then the paths, each ended by a zero pid.
    const auto table = document.root->streams.find("referenced properties");
    if (table != document.root->streams.end()) {
        const ByteString& bytes = table->second;
        std::vector<uint16_t> current;
        for (size_t at = 7; at + 1 < bytes.size(); at += 2) {
            const auto pid = uint16_t(little(bytes, at, 2));
            if (pid != 0) {
                current.push_back(pid);
            } else {
                document.referencedPaths.push_back(current);
                current.clear();
            }
        }
    }
    return document;
}

std::string auidText(const uint8_t* bytes) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x%02x%02x-%02x%02x%02x%02x}",
                  unsigned(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | unsigned(bytes[3]) << 24),
                  unsigned(bytes[4] | bytes[5] << 8), unsigned(bytes[6] | bytes[7] << 8), bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

std::string utf8OfUTF16(const ByteString& bytes) {
    std::string text;
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        uint32_t code = uint32_t(little(bytes, at, 2));
        if (code == 0) break;
        if (code >= 0xd800 && code < 0xdc00 && at + 3 < bytes.size()) {
            code =
                0x10000 + ((code - 0xd800) << 10) + (uint32_t(little(bytes, at + 2, 2)) - 0xdc00);
            at += 2;
        }
        if (code < 0x80) {
            text += char(code);
        } else if (code < 0x800) {
            text += char(0xc0 | (code >> 6));
            text += char(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            text += char(0xe0 | (code >> 12));
            text += char(0x80 | ((code >> 6) & 0x3f));
            text += char(0x80 | (code & 0x3f));
        } else {
            text += char(0xf0 | (code >> 18));
            text += char(0x80 | ((code >> 12) & 0x3f));
            text += char(0x80 | ((code >> 6) & 0x3f));
            text += char(0x80 | (code & 0x3f));
        }
    }
    return text;
}

}  // namespace vorlane::test
