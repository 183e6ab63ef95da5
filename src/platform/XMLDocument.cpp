#include "platform/XMLDocument.h"

#include <algorithm>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

namespace vorlane {

struct XMLDocumentStorage {
    pugi::xml_document document;
};

namespace {

pugi::xml_node nodeOf(void* node) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node));
}

bool equalIgnoringCase(std::string_view lhs, std::string_view rhs) {
    return lhs.size() == rhs.size() &&
           std::equal(lhs.begin(), lhs.end(), rhs.begin(), [](char a, char b) {
               const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
               return lower(a) == lower(b);
           });
}

// Text nodes below an element, collected without recursion (documents may nest deeply).
std::string collectText(pugi::xml_node element) {
    std::string text;
    pugi::xml_node node = element.first_child();
    while (node && node != element) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            text += node.value();
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling())
            node = node.parent();
        if (node != element) node = node.next_sibling();
    }
    return text;
}

// How many elements nest inside each other at the deepest point (a lone root counts 1),
// counted without recursion.
size_t nestingDepth(const pugi::xml_document& document) {
    size_t depth = 1;
    size_t deepest = 0;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (node.type() == pugi::node_element) deepest = std::max(deepest, depth);
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node) node = node.next_sibling();
    }
    return deepest;
}

class StringWriter : public pugi::xml_writer {
  public:
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
    std::string text;
};

}  // namespace

std::string XMLNode::name() const {
    return isNull() ? std::string() : nodeOf(node_).name();
}

std::string XMLNode::text() const {
    return isNull() ? std::string() : collectText(nodeOf(node_));
}

std::optional<std::string> XMLNode::attribute(std::string_view name) const {
    if (isNull()) return std::nullopt;
    for (pugi::xml_attribute attribute : nodeOf(node_).attributes())
        if (name == attribute.name()) return std::string(attribute.value());
    return std::nullopt;
}

std::vector<XMLNode> XMLNode::children() const {
    std::vector<XMLNode> found;
    if (isNull()) return found;
    for (pugi::xml_node child : nodeOf(node_).children())
        if (child.type() == pugi::node_element) found.push_back({owner_, child.internal_object()});
    return found;
}

std::vector<XMLNode> XMLNode::children(std::string_view name) const {
    std::vector<XMLNode> found = children();
    std::erase_if(found, [name](const XMLNode& node) { return node.name() != name; });
    return found;
}

XMLNode XMLNode::child(std::string_view name) const {
    if (isNull()) return {};
    for (pugi::xml_node child : nodeOf(node_).children())
        if (child.type() == pugi::node_element && name == child.name())
            return {owner_, child.internal_object()};
    return {};
}

XMLNode XMLNode::childIgnoringCase(std::string_view name) const {
    if (isNull()) return {};
    for (pugi::xml_node child : nodeOf(node_).children())
        if (child.type() == pugi::node_element && equalIgnoringCase(name, child.name()))
            return {owner_, child.internal_object()};
    return {};
}

XMLNode XMLNode::parent() const {
    if (isNull()) return {};
    pugi::xml_node parent = nodeOf(node_).parent();
    if (parent.type() != pugi::node_element) return {};
    return {owner_, parent.internal_object()};
}

std::vector<XMLNode> XMLNode::selectNodes(const std::string& xpath) const {
    std::vector<XMLNode> found;
    if (isNull()) return found;
    try {
        pugi::xpath_node_set nodes = nodeOf(node_).select_nodes(xpath.c_str());
        nodes.sort();
        for (const pugi::xpath_node& selected : nodes) {
            pugi::xml_node node = selected.node() ? selected.node() : selected.parent();
            if (node) found.push_back({owner_, node.internal_object()});
        }
    } catch (const pugi::xpath_exception&) {
        found.clear();
    }
    return found;
}

XMLNode XMLNode::appendChild(std::string_view name) {
    if (isNull()) return {};
    pugi::xml_node child = nodeOf(node_).append_child(std::string(name).c_str());
    return {owner_, child.internal_object()};
}

XMLNode XMLNode::appendChild(std::string_view name, std::string_view text) {
    XMLNode child = appendChild(name);
    child.setText(text);
    return child;
}

void XMLNode::setText(std::string_view text) {
    if (isNull()) return;
    nodeOf(node_).text().set(std::string(text).c_str());
}

void XMLNode::setAttribute(std::string_view name, std::string_view value) {
    if (isNull()) return;
    const std::string key(name);
    pugi::xml_node node = nodeOf(node_);
    pugi::xml_attribute attribute = node.attribute(key.c_str());
    if (!attribute) attribute = node.append_attribute(key.c_str());
    attribute.set_value(std::string(value).c_str());
}

XMLDocument::XMLDocument() : storage_(std::make_shared<XMLDocumentStorage>()) {}

std::optional<XMLDocument> XMLDocument::parse(std::string_view text, ParseMode mode) {
    return parse(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), mode);
}

std::optional<XMLDocument> XMLDocument::parse(std::span<const uint8_t> bytes, ParseMode mode) {
    XMLDocument result;
    size_t length = bytes.size();
    // Chunks and fixed fields pad XML with NUL bytes; tidy parsing stops at the first one. UTF-16
    // and UTF-32 text holds NUL bytes of its own and is left whole.
    const bool wideText =
        length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) ||
                        (bytes[0] == 0xFE && bytes[1] == 0xFF) || bytes[0] == 0 || bytes[1] == 0);
    if (mode == ParseMode::Tidy && !wideText)
        length = size_t(std::find(bytes.begin(), bytes.end(), uint8_t(0)) - bytes.begin());
    const pugi::xml_parse_result parsed = result.storage_->document.load_buffer(
        bytes.data(), length, pugi::parse_default, pugi::encoding_auto);
    if (!parsed && mode == ParseMode::Strict) return std::nullopt;
    if (!result.root() || nestingDepth(result.storage_->document) > kMaxDepth) return std::nullopt;
    return result;
}

XMLNode XMLDocument::root() const {
    pugi::xml_node element = storage_->document.document_element();
    if (!element) return {};
    return {storage_, element.internal_object()};
}

XMLNode XMLDocument::appendChild(std::string_view name) {
    pugi::xml_node child = storage_->document.append_child(std::string(name).c_str());
    return {storage_, child.internal_object()};
}

std::string XMLDocument::xmlString(bool prettyPrint, bool declaration) const {
    StringWriter writer;
    if (declaration) writer.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    if (declaration && prettyPrint) writer.text += "\n";
    const unsigned flags =
        pugi::format_no_declaration | (prettyPrint ? pugi::format_indent : pugi::format_raw);
    storage_->document.save(writer, "    ", flags, pugi::encoding_utf8);
    return writer.text;
}

}  // namespace vorlane
