// Camera metadata of a QuickTime or MPEG-4 file, read from its atoms: the movie's user-data items
// (moov/udta), its QuickTime metadata keys (a `meta` atom with the handler 'mdta' in moov or in
// moov/udta), and an XML document that some cameras embed as an `xml ` box in a top-level `meta`
// box. The items carry the platform's key spaces, keys and formats, so the QuickTime reader looks
// them up like the platform's items; unlike those, they include the binary user-data items
// cameras write ("CNCV", "PANA", "FIRM").
//
// Only the metadata atoms are loaded: the movie's children are found from their headers, and an
// atom larger than kMaxMetadataAtomSize is skipped. A damaged atom ends the reading of that atom
// (its AtomSeekError is caught and logged); what was read before stays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/quicktime/Atom.h"
#include "formats/quicktime/QtAtomReader.h"
#include "platform/media/AssetTypes.h"

namespace vorlane {

// User data of MPEG-4 family files, named as on the platform.
inline constexpr const char* kMetadataFormatISOUserData = "org.mp4ra";

class QtMetadataReader {
  public:
    // Cameras write thumbnails of some hundred kilobytes into user data; nothing they write
    // comes near this.
    static constexpr uint64_t kMaxMetadataAtomSize = 16ull << 20;
    // A file-type atom holds a few brands.
    static constexpr uint64_t kMaxFileTypeSize = 4096;

    explicit QtMetadataReader(QtAtomReader& reader) : reader_(reader) {}

    // The major brand of the file-type atom; nothing without one.
    std::optional<uint32_t> majorBrand();
    // User-data items (in the QuickTime user-data format for QuickTime movies, the ISO one for
    // other brands) and QuickTime metadata items, in file order.
    std::vector<MetadataItem> metadataItems();
    // The document of the first `meta`/`xml ` box at the top level after a file-type atom whose
    // major brand is `brand`; nothing when the brand differs or there is none.
    std::optional<std::vector<uint8_t>> xmlMetaForFileType(uint32_t brand);

    // The parsers over loaded atoms. They raise AtomSeekError at damage; run them inside
    // QtAtomReader::parseAtoms. Items found before the damage are already appended.
    static void appendUserDataItems(Atom& userData, const std::string& format,
                                    std::vector<MetadataItem>& items);
    // A `meta` atom (with or without version and flags); only the 'mdta' handler's items.
    static void appendMetadataKeyItems(Atom& meta, std::vector<MetadataItem>& items);

  private:
    QtAtomReader& reader_;
};

// An item's text: its string value, else its bytes as text up to the first NUL.
std::optional<std::string> metadataItemText(const MetadataItem& item);

}  // namespace vorlane
