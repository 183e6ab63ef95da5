#include "formats/camera_xml/XMLParser.h"

#include <algorithm>
#include <vector>

#include "platform/FileReader.h"

namespace vorlane {
namespace {

std::string_view localName(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string_view> splitNames(std::string_view names) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (begin <= names.size()) {
        const size_t end = std::min(names.find('/', begin), names.size());
        if (end > begin) parts.push_back(names.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

// The value a condition tests on a child: its attribute's value, or else its name.
std::optional<std::string> testedValue(const XMLNode& child,
                                       const std::optional<std::string>& attribute) {
    if (attribute) return child.attribute(*attribute);
    return std::string(localName(child.name()));
}

}  // namespace

std::string XMLPathNode::name() const {
    if (attributeName_) return *attributeName_;
    return element_.name();
}

std::optional<std::string> XMLPathNode::stringValue() const {
    if (isNull()) return std::nullopt;
    if (attributeName_) return element_.attribute(*attributeName_);
    return element_.text();
}

std::optional<std::string> XMLPathNode::tidyString() const {
    const std::optional<std::string> value = stringValue();
    return value ? tidy(*value) : std::nullopt;
}

std::optional<std::string> tidyString(const XMLNode& node) {
    return XMLPathNode(node).tidyString();
}

std::optional<std::string> tidy(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    return std::string(text);
}

XMLParser::XMLParser(XMLDocument document) : document_(std::move(document)) {
    const XMLNode root = document_.root();
    const std::string name = root.name();
    const size_t colon = name.find(':');
    const std::string declaration =
        colon == std::string::npos ? "xmlns" : "xmlns:" + name.substr(0, colon);
    schema_ = root.attribute(declaration).value_or("");
}

std::unique_ptr<XMLParser> XMLParser::initWithData(std::span<const uint8_t> data) {
    if (data.empty()) return nullptr;
    auto document = XMLDocument::parse(data, XMLDocument::ParseMode::Tidy);
    if (!document) return nullptr;
    return std::unique_ptr<XMLParser>(new XMLParser(std::move(*document)));
}

std::unique_ptr<XMLParser> XMLParser::initWithURL(const std::filesystem::path& url) {
    auto reader = FileReader::open(url);
    if (!reader || reader->size() > kMaxFileSize) return nullptr;
    const auto bytes = reader->readBytes(0, size_t(reader->size()));
    if (!bytes) return nullptr;
    return initWithData(*bytes);
}

bool XMLParser::doesSupportSchema(std::string_view prefix) const {
    return std::string_view(schema_).starts_with(prefix);
}

bool XMLParser::hasRootElementWithName(std::string_view name) const {
    return localName(document_.root().name()) == name;
}

XMLPathNode XMLParser::elementAtPath(std::string_view path, const Condition& condition,
                                     const XMLNode& start) const {
    std::optional<std::string> attribute;
    const size_t dot = path.rfind('.');
    if (dot != std::string_view::npos) {
        if (dot + 1 < path.size()) attribute = std::string(path.substr(dot + 1));
        path = path.substr(0, dot);
    }
    const std::vector<std::string_view> names = splitNames(path);
    const XMLNode first = start ? start : document_.root();
    XMLNode current = first;
    bool foundLast = false;
    for (size_t i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        for (const XMLNode& child : current.children()) {
            const bool sameName = localName(child.name()) == names[i];
            if (condition && (last || !sameName)) {
                const std::optional<std::string> value = testedValue(child, attribute);
                if (value && condition(*value)) return XMLPathNode(child);
                continue;
            }
            if (sameName) {
                current = child;
                foundLast = last;
                break;
            }
        }
    }
    if (!foundLast) return {};
    if (!attribute) return XMLPathNode(current);
    if (!current.attribute(*attribute)) return {};
    return XMLPathNode(current, attribute);
}

XMLPathNode XMLParser::elementAtPath(std::string_view path) const {
    return elementAtPath(path, nullptr, XMLNode());
}

XMLPathNode XMLParser::elementAtPath(std::string_view path, const XMLNode& start) const {
    return elementAtPath(path, nullptr, start);
}

}  // namespace vorlane
