// Reads AAF files back for the tests without the writer's object code: the compound document
// through libgsf, each storage's "properties" stream, index streams and the referenced-property
// table decoded from the stored-format byte layouts. Strong references, vectors and sets are
// followed by the names they store.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorlane::test {

using ByteString = std::vector<uint8_t>;

struct StoredProperty {
    uint16_t form = 0;
    ByteString value;
};

struct StoredStorage {
    std::string name;
    std::array<uint8_t, 16> classID{};
    std::map<std::string, ByteString> streams;
    std::map<std::string, std::unique_ptr<StoredStorage>> storages;
    // Decoded from the "properties" stream, in stream order.
    std::vector<std::pair<uint16_t, StoredProperty>> properties;
    bool propertiesMalformed = false;

    const StoredProperty* property(uint16_t pid) const;
    // The storage a strong reference names.
    const StoredStorage* strongReference(uint16_t pid) const;
    // The elements of a strong-reference vector or set, in index order.
    std::vector<const StoredStorage*> collection(uint16_t pid) const;
    // The keys of a set's index, in index order.
    std::vector<ByteString> setKeys(uint16_t pid) const;

    std::optional<std::string> string(uint16_t pid) const;
    std::optional<int64_t> integer(uint16_t pid) const;  // little-endian, signed by size
    std::optional<std::pair<int32_t, int32_t>> rational(uint16_t pid) const;
};

struct StoredDocument {
    ByteString header;  // the first 512 bytes of the file
    std::unique_ptr<StoredStorage> root;
    // The "referenced properties" table: one pid path per tag.
    std::vector<std::vector<uint16_t>> referencedPaths;

    // A weak reference's tag, key pid and key.
    struct WeakReference {
        uint16_t tag = 0;
        uint16_t keyPid = 0;
        ByteString key;
    };
    static std::optional<WeakReference> weakReference(const StoredProperty& property);
};

// Nothing when libgsf cannot open the file as a compound document.
std::optional<StoredDocument> readStoredDocument(const std::filesystem::path& path);

// "{0d010101-0101-3400-060e2b34-02060101}" of stored AUID bytes (Data1-3 little-endian).
std::string auidText(const uint8_t* bytes);
// UTF-16LE text up to its terminating zero, as UTF-8.
std::string utf8OfUTF16(const ByteString& bytes);

}  // namespace vorlane::test
