// What `mediainfo --Details=1` reports about the items of an MXF file: the offset, name and size of
// every top-level item and the numbers of its named fields. Ground truth for the MXF tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vorlane::test {

struct MediaInfoItem {
    uint64_t offset = 0;
    std::string name;  // "Closed and Complete Header Partition Pack", "Index Table (Segment)", ...
    uint64_t size = 0;
    // "ThisPartition" -> 0, "IndexSID" -> 2, "NIE" -> 2, ... (first occurrence within the item)
    std::map<std::string, uint64_t> fields;

    bool hasField(const std::string& field) const { return fields.count(field) != 0; }
};

std::vector<MediaInfoItem> mediaInfoItems(const std::filesystem::path& file);
// The items whose name contains a text.
std::vector<MediaInfoItem> itemsNamed(const std::vector<MediaInfoItem>& items,
                                      const std::string& text);

}  // namespace vorlane::test
