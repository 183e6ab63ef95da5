// The small path reader that the camera metadata extractors use on a clip's XML document (parsed
// tidily, so a document damaged near its end still yields what came before). A path is a list
// of element names joined by "/", optionally followed by "." and an attribute name:
// "Device.manufacturer", "ClipContent/ClipMetadata/Device/ModelName". Element names are compared
// without a namespace prefix.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/XMLDocument.h"

namespace vorlane {

// The node a path names: an element, or one attribute of an element.
class XMLPathNode {
  public:
    XMLPathNode() = default;
    explicit XMLPathNode(XMLNode element, std::optional<std::string> attributeName = std::nullopt)
        : element_(std::move(element)), attributeName_(std::move(attributeName)) {}

    bool isNull() const { return element_.isNull(); }
    explicit operator bool() const { return !isNull(); }
    bool isAttribute() const { return attributeName_.has_value(); }

    // The element itself, or the element that holds the attribute.
    const XMLNode& element() const { return element_; }
    // The attribute's name or the element's name.
    std::string name() const;
    // The attribute's value or all text inside the element; nothing for a null node.
    std::optional<std::string> stringValue() const;
    // That text without white space and line breaks at either end; nothing when empty.
    std::optional<std::string> tidyString() const;

  private:
    XMLNode element_;
    std::optional<std::string> attributeName_;
};

// The text of an element, without white space and line breaks at either end; nothing when empty.
std::optional<std::string> tidyString(const XMLNode& node);
// Text without white space and line breaks at either end; nothing when empty.
std::optional<std::string> tidy(std::string_view text);

class XMLParser {
  public:
    // A test on an attribute's value or an element's name.
    using Condition = std::function<bool(const std::string&)>;

    // Nothing when the input is empty or holds no XML element.
    static std::unique_ptr<XMLParser> initWithData(std::span<const uint8_t> data);
    // Reads the file first; documents larger than kMaxFileSize are not read.
    static std::unique_ptr<XMLParser> initWithURL(const std::filesystem::path& url);
    static constexpr uint64_t kMaxFileSize = 16ull << 20;

    const XMLDocument& xmlDocument() const { return document_; }
    // The namespace URI of the root element; empty when it declares none.
    const std::string& xmlSchema() const { return schema_; }

    // The schema starts with the text.
    bool doesSupportSchema(std::string_view prefix) const;
    // The root element's name (without a namespace prefix) equals the text.
    bool hasRootElementWithName(std::string_view name) const;

    // The element or attribute that the path names, searched from `start` (a null start: the
    // root). Each name selects the first child of the current element with that name; a name
    // that no child has is skipped (the search goes on from the same element), but the last
    // name must be found. With a condition, the last name is not compared: the first child whose
    // attribute (when the path names one), or else whose name, passes the condition is the
    // answer; at earlier names a child of another name that passes it is the answer, too.
    // Nothing when nothing fits.
    XMLPathNode elementAtPath(std::string_view path, const Condition& condition,
                              const XMLNode& start) const;
    XMLPathNode elementAtPath(std::string_view path) const;
    XMLPathNode elementAtPath(std::string_view path, const XMLNode& start) const;

  private:
    explicit XMLParser(XMLDocument document);

    XMLDocument document_;
    std::string schema_;
};

}  // namespace vorlane
