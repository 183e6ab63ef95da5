#include "formats/quicktime/QtAtomReader.h"

#include <algorithm>
#include <array>

#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

// Atoms whose payload is nothing but atoms.
constexpr std::array kPlainContainers = {
    fourCC("moov"), fourCC("trak"), fourCC("mdia"), fourCC("minf"), fourCC("dinf"), fourCC("stbl"),
    fourCC("edts"), fourCC("udta"), fourCC("tref"), fourCC("mvex"), fourCC("moof"), fourCC("traf"),
    fourCC("mfra"), fourCC("gmhd"), fourCC("tapt"), fourCC("sinf"), fourCC("schi"), fourCC("ilst")};

bool isPlainContainer(uint32_t type) {
    return std::find(kPlainContainers.begin(), kPlainContainers.end(), type) !=
           kPlainContainers.end();
}

bool isPrintableType(uint32_t type) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint32_t c = (type >> shift) & 0xff;
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

QtAtomReader::QtAtomReader(std::unique_ptr<FileReader> reader)
    : fileHandle_(std::move(reader)), fileSize_(fileHandle_->size()) {}

std::unique_ptr<QtAtomReader> QtAtomReader::initWithURL(const std::filesystem::path& url) {
    auto reader = FileReader::open(url);
    if (!reader) return nullptr;
    reader->adviseRandomAccess();
    return initWithReader(std::move(reader));
}

std::unique_ptr<QtAtomReader> QtAtomReader::initWithReader(std::unique_ptr<FileReader> reader) {
    if (!reader) return nullptr;
    std::unique_ptr<QtAtomReader> atomReader(new QtAtomReader(std::move(reader)));
    atomReader->indexTopLevelAtoms();
    return atomReader;
}

std::optional<AtomHeader> QtAtomReader::headerAt(uint64_t position, uint64_t end) {
    if (!fileHandle_ || position >= end) return std::nullopt;
    uint8_t bytes[16];
    const size_t count = size_t(std::min<uint64_t>(16, end - position));
    if (count < 8 || !fileHandle_->readAt(position, bytes, count)) return std::nullopt;
    const bool extended = readBE32(bytes) == 1;
    if (extended && count < 16) return std::nullopt;
    auto header = AtomHeader::initWithData({bytes, extended ? size_t(16) : size_t(8)});
    if (!header) return std::nullopt;
    header->setAbsoluteFilePosition(position);
    if (!extended && header->size() == 0) header->setSize(end - position);
    return header;
}

void QtAtomReader::indexTopLevelAtoms() {
    uint64_t position = 0;
    while (atomHeaders_.size() < kMaxTopLevelAtoms) {
        auto header = headerAt(position, fileSize_);
        if (!header) break;
        if (header->size() < header->headerLength()) {
            Log::writef("QtAtomReader: Atom %s at %llu has an impossible size %llu",
                        fourCCString(header->type()).c_str(), (unsigned long long)position,
                        (unsigned long long)header->size());
            break;
        }
        atomHeaders_.push_back(*header);
        if (header->size() >= fileSize_ - position) break;
        position += header->size();
    }
}

std::vector<AtomHeader> QtAtomReader::childHeaders(const AtomHeader& parent, uint64_t offset) {
    std::vector<AtomHeader> children;
    const uint64_t start = parent.absoluteFilePosition();
    if (start >= fileSize_ || parent.size() < parent.headerLength()) return children;
    const uint64_t end = start + std::min(parent.size(), fileSize_ - start);
    if (end - start < parent.headerLength() || offset > end - start - parent.headerLength())
        return children;
    uint64_t position = start + parent.headerLength() + offset;
    while (children.size() < kMaxTopLevelAtoms) {
        auto header = headerAt(position, end);
        if (!header || header->size() < header->headerLength()) break;
        if (header->size() > end - position) {
            header->setSize(end - position);
            children.push_back(*header);
            break;
        }
        children.push_back(*header);
        position += header->size();
    }
    return children;
}

std::vector<AtomHeader> QtAtomReader::atomHeadersWithType(uint32_t type) const {
    std::vector<AtomHeader> headers;
    std::copy_if(atomHeaders_.begin(), atomHeaders_.end(), std::back_inserter(headers),
                 [type](const AtomHeader& header) { return header.type() == type; });
    return headers;
}

std::optional<Atom> QtAtomReader::loadAtomWithType(uint32_t type) {
    for (const auto& header : atomHeaders_) {
        if (header.type() == type) return loadAtomForHeader(header);
    }
    return std::nullopt;
}

std::optional<Atom> QtAtomReader::loadAtomForHeader(const AtomHeader& header, uint64_t maxLength) {
    if (!fileHandle_ || header.size() < header.headerLength()) return std::nullopt;
    const uint64_t position = header.absoluteFilePosition();
    if (position >= fileSize_ || header.headerLength() >= fileSize_ - position) return std::nullopt;
    const uint64_t start = position + header.headerLength();
    const uint64_t length = std::min(header.size() - header.headerLength(), fileSize_ - start);
    if (length == 0 || length > maxLength) return std::nullopt;
    auto bytes = fileHandle_->readBytes(start, size_t(length));
    if (!bytes) return std::nullopt;
    return Atom(std::move(*bytes), header.type());
}

bool QtAtomReader::parseAtoms(const std::string& context, const std::function<void()>& parse) {
    try {
        parse();
        return true;
    } catch (const AtomSeekError& error) {
        Log::writef("QtAtomReader: %s %s (%s)", AtomSeekError::kName, error.what(),
                    context.c_str());
        return false;
    }
}

std::optional<uint64_t> QtAtomReader::childrenOffset(const Atom& atom) {
    const uint32_t type = atom.type();
    if (isPlainContainer(type)) return 0;
    if (type == fourCC("stsd") || type == fourCC("dref")) return 8;
    if (type != fourCC("meta")) return std::nullopt;
    // QuickTime's `meta` holds atoms directly; the MPEG-4 one starts with version and flags,
    // which cannot read as an atom header.
    const auto data = atom.data();
    const bool direct = data.size() >= 8 && readBE32(data.data()) >= 8 &&
                        isPrintableType(readBE32(data.data() + 4));
    return direct ? 0 : 4;
}

QtAtomReader::Tree QtAtomReader::atomTree() {
    Tree tree;
    for (const auto& header : atomHeaders_) {
        tree.entries.push_back({header.type(), header.size() - header.headerLength(), 0});
        if (!isPlainContainer(header.type()) && header.type() != fourCC("meta")) continue;
        if (auto atom = loadAtomForHeader(header)) walkChildren(*atom, 1, tree);
    }
    return tree;
}

void QtAtomReader::walkChildren(Atom& parent, int depth, Tree& tree) {
    const auto offset = childrenOffset(parent);
    if (!offset) return;
    if (depth > kMaxAtomDepth) {
        tree.complete = false;
        return;
    }
    const bool whole = parseAtoms(parent.description(), [&] {
        parent.seekAbsolute(*offset);
        // Fewer than 8 bytes left is the end (QuickTime ends some lists with a zero word).
        while (parent.size() - parent.dataLocation() >= 8) {
            Atom child = *parent.readSubAtom();
            tree.entries.push_back({child.type(), child.size(), depth});
            walkChildren(child, depth + 1, tree);
        }
    });
    tree.complete = tree.complete && whole;
}

}  // namespace vorlane
