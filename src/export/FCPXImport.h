// An FCPXML document added to the media pool like a media file: the clips that stand directly in
// its events (or in the root) bring the media files behind them into the pool, carrying the
// clip's name, roles, audio channel sources, note and logging metadata into the file's metadata,
// where the FCPXML export reads them back (the asset's `uid`, the roles).
//
// The document is parsed by the platform's XML document in its tidy mode: what a damaged
// document holds up to the damage is kept. That parser reads nothing but the given bytes: no
// document type definition, no external entity, no entity other than the five predefined ones
// and character references is ever loaded or expanded.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "media/MediaPool.h"
#include "platform/XMLDocument.h"

namespace vorlane {

class MediaFile;

class FCPXImport {
  public:
    // Documents larger than this are not read (a 10,000-clip document is a few megabytes).
    static constexpr uint64_t kMaxDocumentSize = uint64_t(256) << 20;

    // YES for the extension FCPXML in any case; the content is not looked at.
    static bool isSupportedURL(const std::filesystem::path& url);
    // None when the file cannot be read or gives no root element.
    static std::unique_ptr<FCPXImport> initWithURL(const std::filesystem::path& url);
    static std::unique_ptr<FCPXImport> initWithString(std::string_view text);

    // The document's location; none when built from text.
    const std::optional<std::filesystem::path>& sourceURL() const { return sourceURL_; }
    XMLNode xmlRoot() const { return xmlDocument_.root(); }
    // The root's `version`, to two decimals; 0 until the walk ran on an `fcpxml` root.
    double xmlVersion() const { return xmlVersion_; }

    // The first `asset` among the children of the root's `resources` elements with the id;
    // null when the root is not `fcpxml` or nothing matches. The assets are indexed at the
    // first question, so a document of n clips is read in time proportional to n.
    XMLNode resourceWithID(const std::string& identifier) const;
    // Where an asset's media lies: its `src`, else its `media-rep` of kind "original-media",
    // as a file path; none for another scheme or host, a broken escape, or another FCPXML
    // document (a document naming itself would be imported without end).
    std::optional<std::filesystem::path> mediaURLOfAsset(const XMLNode& asset) const;

    // The document walk: the files of the clips, created by the pool, then handed to its
    // analysis (an empty list too).
    void addXMLAssetsToMediaPool(MediaPool& pool);
    // The walk without the analysis: the files created for the clips, in document order.
    std::vector<std::shared_ptr<MediaFile>> mediaFilesForMediaPool(MediaPool& pool);
    // True when the element was a clip whose file was created and appended to the list.
    bool addClipsInNode(const XMLNode& node, std::vector<std::shared_ptr<MediaFile>>& files,
                        MediaPool& pool) const;
    // The file created for one `clip` or `asset-clip`, or none.
    std::shared_ptr<MediaFile> mediaFileWithClipNode(const XMLNode& clip, MediaPool& pool) const;

    // Media that clips named and the pool refused for another reason than holding it already
    // (missing, unsupported), with the pool's reason, in document order.
    struct RefusedMedia {
        std::filesystem::path url;
        std::string reason;
    };
    const std::vector<RefusedMedia>& refusedMedia() const { return refusedMedia_; }

  private:
    FCPXImport(XMLDocument document, std::optional<std::filesystem::path> sourceURL);

    XMLDocument xmlDocument_;
    std::optional<std::filesystem::path> sourceURL_;
    double xmlVersion_ = 0.0;
    // The first asset of every id, in document order; made by the first resourceWithID.
    mutable std::optional<std::unordered_map<std::string, XMLNode>> assetsByID_;
    mutable std::vector<RefusedMedia> refusedMedia_;
};

// The pool's reader choice for an FCPXML document: the document's files join the pool through
// the import, so no entry is answered; `importedDocument` tells that the document was read. A
// document that cannot be parsed, or whose clips name only media that cannot be added, is not
// imported and the reason says why.
MediaReaderChoice importFCPXMLDocument(const std::filesystem::path& url, MediaPool& pool);

}  // namespace vorlane
