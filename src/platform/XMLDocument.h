// XML documents for the metadata readers and the exporters: parse (strictly, or tidily, keeping
// what a damaged document holds up to the damage), walk elements by name, read text and
// attributes, run XPath queries, build documents and print them compact or pretty.
//
// Nodes are small handles that keep their document alive; a null node (from a missing child,
// say) answers empty results to every question, so lookups chain without checks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane {

struct XMLDocumentStorage;

class XMLNode {
  public:
    XMLNode() = default;

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return !isNull(); }

    // The element's name; empty for a null node.
    std::string name() const;
    // All text inside the element (its own and its descendants'), in document order.
    std::string text() const;
    std::optional<std::string> attribute(std::string_view name) const;

    // Element children in document order: all of them, or those with a name. The comparison of
    // names is exact, or ignores ASCII case in the *IgnoringCase forms.
    std::vector<XMLNode> children() const;
    std::vector<XMLNode> children(std::string_view name) const;
    XMLNode child(std::string_view name) const;
    XMLNode childIgnoringCase(std::string_view name) const;
    // The parent element; null for the root element and null nodes.
    XMLNode parent() const;

    // Nodes an XPath expression selects from this node (elements and attributes' owners in
    // document order); empty for an invalid expression.
    std::vector<XMLNode> selectNodes(const std::string& xpath) const;

    // Building. Each answers the new element; null when this node is null.
    XMLNode appendChild(std::string_view name);
    XMLNode appendChild(std::string_view name, std::string_view text);
    // Replaces the element's text content.
    void setText(std::string_view text);
    void setAttribute(std::string_view name, std::string_view value);

  private:
    friend class XMLDocument;
    XMLNode(std::shared_ptr<XMLDocumentStorage> owner, void* node)
        : owner_(std::move(owner)), node_(node) {}

    std::shared_ptr<XMLDocumentStorage> owner_;
    void* node_ = nullptr;
};

class XMLDocument {
  public:
    enum class ParseMode {
        // Any error fails the parse.
        Strict,
        // Repairs what it can: text after a NUL byte is dropped, and a document damaged after
        // its root element began keeps everything read before the damage.
        Tidy,
    };

    // Metadata nests a few levels; deeper documents are refused so that nobody walking or
    // printing one runs out of stack or memory.
    static constexpr size_t kMaxDepth = 64;

    // An empty document.
    XMLDocument();

    // Parses UTF-8 (or BOM-marked UTF-16/32, or declared Latin-1) text; nothing when no root
    // element results or the elements nest deeper than kMaxDepth.
    static std::optional<XMLDocument> parse(std::string_view text, ParseMode mode);
    static std::optional<XMLDocument> parse(std::span<const uint8_t> bytes, ParseMode mode);

    // The root element; null for an empty document.
    XMLNode root() const;
    // Adds the root element (the first call) or a further top-level element.
    XMLNode appendChild(std::string_view name);

    // The document as text: with an XML declaration when asked, pretty printed with four-space
    // indentation and one element per line, or compact without any added whitespace.
    std::string xmlString(bool prettyPrint, bool declaration) const;

  private:
    std::shared_ptr<XMLDocumentStorage> storage_;
};

}  // namespace vorlane
