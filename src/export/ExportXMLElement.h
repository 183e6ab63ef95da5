// The element tree the document writers build: elements with attributes in the order they were
// first set, text, comments and children, printed as pretty XML in one pass. The writers need
// exact element and attribute order, an attribute that keeps its place when set again, inserting
// a note before everything else, and removing elements that stayed empty; this small tree gives
// exactly that and nothing more.
//
// Text is made safe for XML when printed: markup characters are escaped, bytes that are not
// UTF-8 and control characters that XML 1.0 cannot carry become U+FFFD, and "--" never appears
// inside a comment.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlane {

class ExportXMLElement {
  public:
    explicit ExportXMLElement(std::string name);

    const std::string& name() const { return name_; }
    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }

    // Sets the attribute; one set before keeps its place and takes the new value.
    void setAttribute(std::string_view name, std::string value);
    // The attribute's value, or nullptr.
    const std::string* attribute(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& attributes() const {
        return attributes_;
    }

    // Appends a child element (and answers it; the reference stays valid while the child is
    // in the tree).
    ExportXMLElement& appendChild(std::string name);
    ExportXMLElement& appendChild(std::string name, std::string text);
    // Inserts a child element before all others.
    ExportXMLElement& prependChild(std::string name, std::string text);
    // Appends a comment.
    void appendComment(std::string text);
    // Replaces the comments before the first child element with these.
    void setLeadingComments(const std::vector<std::string>& texts);
    // Removes a child element (nothing when it is not a child of this element).
    void removeChild(const ExportXMLElement& child);
    // Moves the children and text of another element into this one (which had none).
    void takeContentOf(ExportXMLElement& other);

    // The child elements in order.
    std::vector<ExportXMLElement*> children() const;
    std::vector<ExportXMLElement*> children(std::string_view name) const;
    ExportXMLElement* child(std::string_view name) const;
    bool hasChildren() const;

    // The element and its content, indented by four spaces per level, one element per line;
    // elements without content in the short form.
    void print(std::string& out, int depth) const;

  private:
    struct Node {
        std::unique_ptr<ExportXMLElement> element;  // null for a comment
        std::string comment;
    };

    std::string name_;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> attributes_;
    std::vector<Node> nodes_;
};

// The whole document: the declaration line (given without its angle brackets' content, e.g.
// `version="1.0" encoding="UTF-8"`) and the root element, ending with a line break.
std::string exportXMLDocumentText(const std::string& declarationAttributes,
                                  const ExportXMLElement& root);

// Text made safe for XML character data or attribute values.
std::string escapeXMLText(std::string_view text);

// A path as a URL path: every byte outside the unreserved characters and "/" percent-escaped.
std::string percentEscapedPath(const std::string& path);

}  // namespace vorlane
