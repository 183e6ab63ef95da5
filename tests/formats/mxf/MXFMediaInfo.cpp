#include "formats/mxf/MXFMediaInfo.h"

#include <sstream>

#include "support/TestSupport.h"

namespace vorlane::test {

namespace {

bool isDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "Name: 123 (0x7B)" or "Name - 123 (0x7B) (12 bytes)": the name and the number.
bool parseField(const std::string& text, std::string& name, uint64_t& value) {
    for (const std::string separator : {": ", " - "}) {
        const size_t at = text.find(separator);
        if (at == std::string::npos || at == 0) continue;
        size_t begin = at + separator.size();
        begin = text.find_first_not_of(' ', begin);
        if (begin == std::string::npos) continue;
        const std::string number = text.substr(begin, text.find(' ', begin) - begin);
        if (!isDigits(number) || number.size() > 19) continue;
        name = text.substr(0, at);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        value = std::stoull(number);
        return true;
    }
    return false;
}

}  // namespace

std::vector<MediaInfoItem> mediaInfoItems(const std::filesystem::path& file) {
    const std::string report = runTool({"mediainfo", "--Details=1", file.string()});
    std::vector<MediaInfoItem> items;
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t hexEnd = line.find_first_not_of("0123456789ABCDEF");
        if (hexEnd == 0 || hexEnd == std::string::npos || line[hexEnd] != ' ') continue;
        const size_t textStart = line.find_first_not_of(' ', hexEnd);
        if (textStart == std::string::npos) continue;
        const std::string text = line.substr(textStart);
        static const std::string kBytes = " bytes)";
        const size_t open = text.rfind(" (");
        if (textStart == hexEnd + 1 && text[0] != '-' && open != std::string::npos &&
            text.size() > kBytes.size() &&
            text.compare(text.size() - kBytes.size(), kBytes.size(), kBytes) == 0) {
            const std::string size = text.substr(open + 2, text.size() - kBytes.size() - open - 2);
            if (!isDigits(size)) continue;
            items.push_back(MediaInfoItem{std::stoull(line.substr(0, hexEnd), nullptr, 16),
                                          text.substr(0, open),
                                          std::stoull(size),
                                          {}});
            continue;
        }
        std::string name;
        uint64_t value = 0;
        if (!items.empty() && parseField(text, name, value))
            items.back().fields.emplace(name, value);
    }
    return items;
}

std::vector<MediaInfoItem> itemsNamed(const std::vector<MediaInfoItem>& items,
                                      const std::string& text) {
    std::vector<MediaInfoItem> found;
    for (const MediaInfoItem& item : items) {
        if (item.name.find(text) != std::string::npos) found.push_back(item);
    }
    return found;
}

}  // namespace vorlane::test
