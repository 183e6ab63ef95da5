#include "export/ExportXMLElement.h"

#include <algorithm>

namespace vorlane {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the UTF-8 sequence at `index`, or 0 when the bytes there are no valid sequence.
size_t utf8SequenceLength(std::string_view text, size_t index) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(index);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t codePoint = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (index + length > text.size()) return 0;
    for (size_t at = index + 1; at < index + length; ++at) {
        if ((byte(at) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(at) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    if (codePoint == 0xFFFE || codePoint == 0xFFFF) return 0;
    return length;
}

void appendIndent(std::string& out, int depth) {
    out.append(size_t(depth) * 4, ' ');
}

std::string commentText(const std::string& text) {
    std::string safe = escapeXMLText(text);
    // "--" may not appear in a comment, nor may it end with "-".
    for (size_t at = safe.find("--"); at != std::string::npos; at = safe.find("--", at))
        safe.insert(at + 1, " ");
    if (!safe.empty() && safe.back() == '-') safe += ' ';
    return safe;
}

}  // namespace

std::string escapeXMLText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t index = 0; index < text.size();) {
        const char c = text[index];
        const size_t length = utf8SequenceLength(text, index);
        if (length == 0) {
            out += kReplacementCharacter;
            ++index;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(index, length));
            index += length;
            continue;
        }
        ++index;
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
            case '\n':
            case '\r':
                out += c;
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += kReplacementCharacter;
                else
                    out += c;
        }
    }
    return out;
}

std::string percentEscapedPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') ||
                           std::string_view("-._~/!$&'()*+,;=:@").find(c) != std::string_view::npos;
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

ExportXMLElement::ExportXMLElement(std::string name) : name_(std::move(name)) {}

void ExportXMLElement::setAttribute(std::string_view name, std::string value) {
    for (auto& attribute : attributes_) {
        if (attribute.first == name) {
            attribute.second = std::move(value);
            return;
        }
    }
    attributes_.emplace_back(std::string(name), std::move(value));
}

const std::string* ExportXMLElement::attribute(std::string_view name) const {
    for (const auto& attribute : attributes_)
        if (attribute.first == name) return &attribute.second;
    return nullptr;
}

ExportXMLElement& ExportXMLElement::appendChild(std::string name) {
    nodes_.push_back({std::make_unique<ExportXMLElement>(std::move(name)), {}});
    return *nodes_.back().element;
}

ExportXMLElement& ExportXMLElement::appendChild(std::string name, std::string text) {
    ExportXMLElement& child = appendChild(std::move(name));
    child.setText(std::move(text));
    return child;
}

ExportXMLElement& ExportXMLElement::prependChild(std::string name, std::string text) {
    auto element = std::make_unique<ExportXMLElement>(std::move(name));
    element->setText(std::move(text));
    nodes_.insert(nodes_.begin(), Node{std::move(element), {}});
    return *nodes_.front().element;
}

void ExportXMLElement::appendComment(std::string text) {
    nodes_.push_back({nullptr, std::move(text)});
}

void ExportXMLElement::setLeadingComments(const std::vector<std::string>& texts) {
    const auto firstElement = std::find_if(
        nodes_.begin(), nodes_.end(), [](const Node& node) { return node.element != nullptr; });
    nodes_.erase(nodes_.begin(), firstElement);
    std::vector<Node> comments;
    for (const std::string& text : texts)
        comments.push_back({nullptr, text});
    nodes_.insert(nodes_.begin(), std::make_move_iterator(comments.begin()),
                  std::make_move_iterator(comments.end()));
}

void ExportXMLElement::removeChild(const ExportXMLElement& child) {
    std::erase_if(nodes_, [&](const Node& node) { return node.element.get() == &child; });
}

void ExportXMLElement::takeContentOf(ExportXMLElement& other) {
    text_ = std::move(other.text_);
    other.text_.clear();
    nodes_ = std::move(other.nodes_);
    other.nodes_.clear();
}

std::vector<ExportXMLElement*> ExportXMLElement::children() const {
    std::vector<ExportXMLElement*> found;
    for (const Node& node : nodes_)
        if (node.element) found.push_back(node.element.get());
    return found;
}

std::vector<ExportXMLElement*> ExportXMLElement::children(std::string_view name) const {
    std::vector<ExportXMLElement*> found;
    for (const Node& node : nodes_)
        if (node.element && node.element->name_ == name) found.push_back(node.element.get());
    return found;
}

ExportXMLElement* ExportXMLElement::child(std::string_view name) const {
    for (const Node& node : nodes_)
        if (node.element && node.element->name_ == name) return node.element.get();
    return nullptr;
}

bool ExportXMLElement::hasChildren() const {
    return std::any_of(nodes_.begin(), nodes_.end(),
                       [](const Node& node) { return node.element != nullptr; });
}

void ExportXMLElement::print(std::string& out, int depth) const {
    appendIndent(out, depth);
    out += '<';
    out += name_;
    for (const auto& [key, value] : attributes_) {
        out += ' ';
        out += key;
        out += "=\"";
        // Line breaks and tabs in a value survive a reader's attribute normalisation only as
        // character references.
        for (const char c : escapeXMLText(value)) {
            if (c == '\t')
                out += "&#9;";
            else if (c == '\n')
                out += "&#10;";
            else if (c == '\r')
                out += "&#13;";
            else
                out += c;
        }
        out += '"';
    }
    if (nodes_.empty() && text_.empty()) {
        out += "/>\n";
        return;
    }
    out += '>';
    if (nodes_.empty()) {
        out += escapeXMLText(text_);
    } else {
        out += '\n';
        if (!text_.empty()) {
            appendIndent(out, depth + 1);
            out += escapeXMLText(text_);
            out += '\n';
        }
        for (const Node& node : nodes_) {
            if (node.element) {
                node.element->print(out, depth + 1);
                continue;
            }
            appendIndent(out, depth + 1);
            out += "<!--";
            out += commentText(node.comment);
            out += "-->\n";
        }
        appendIndent(out, depth);
    }
    out += "</";
    out += name_;
    out += ">\n";
}

std::string exportXMLDocumentText(const std::string& declarationAttributes,
                                  const ExportXMLElement& root) {
    std::string out = "<?xml " + declarationAttributes + "?>\n";
    root.print(out, 0);
    return out;
}

}  // namespace vorlane
