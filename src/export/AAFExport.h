// Writes the synced clips and the sync map into an AAF file for Avid editing systems, through the
// AAF object layer (platform/aaf, the stand-in of the AAF toolkit): the file follows the AAF Edit
// Protocol, its dictionary is extended by the class, type and properties Avid systems read, every
// source file gets one chain of mobs (physical source, file source, master) and every exported
// composition one composition mob whose sequences refer to the master mobs.
//
// Two variants: media linked in place (AMA) and batch import; they differ in the start timecode
// of sources without file timecode and in describing sound files with a reel name as tapes.
// Channels that carry timecode never reach master mobs or compositions.
//
// A failed call of the object layer is logged ("AAF Error ...") and the work goes on with the
// next step; only a file that cannot be created ends the export at once. The file appears at its
// path when closeFile() saved it, complete, and not at all otherwise.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "export/MediaExport.h"
#include "platform/NamedVolume.h"
#include "platform/aaf/AAFFile.h"

namespace vorlane {

class MediaComposition;
class MediaFile;
class MediaSegment;
class TCHelper;

class AAFExport : public MediaExport {
  public:
    // Types of addSequence.
    enum SequenceType : int32_t {
        SequenceSyncMap = 0,
        SequenceSyncedClip = 1,
    };

    explicit AAFExport(const UserDefaults& defaults = UserDefaults::standardUserDefaults());
    ~AAFExport() override;

    // Media linked in place (true) or batch imported.
    bool amaLink() const { return amaLink_; }
    void setAmaLink(bool on) { amaLink_ = on; }

    // Creates the file and extends its dictionary; false when the file cannot be created.
    bool openFile(const std::filesystem::path& url, bool editProtocol);
    // The composition as a composition mob; its mob ID, or nothing when no mob could be made.
    std::optional<aaf::MobID> addSequence(const std::shared_ptr<MediaComposition>& composition,
                                          int32_t type);
    // The master mob of the file, whose mob chain is built here.
    std::optional<aaf::MobID> addClip(const MediaFile& file);
    // The master mob of the file a segment shows.
    std::optional<aaf::MobID> addClipOfSegment(const MediaSegment& segment);
    // Saves and closes the file; false when it could not be written (nothing is left then).
    bool closeFile();

    // Building blocks.
    // The URL of a file for a locator: on a named volume "file:///<volume>/<path on it>", else
    // the plain file URL.
    static std::string volumeBasedURLfromURL(const std::filesystem::path& url,
                                             const std::optional<NamedVolume>& volume);
    static std::string volumeBasedURLfromURL(const std::filesystem::path& url);
    // The compression of a picture by its codec's four-character code.
    static aaf::AUID compressionForFourCC(uint32_t fourCC);
    // The slot of a file's master mob that carries what the segment shows: 1 for the picture;
    // for sound the slot of the first channel of its track.
    static uint32_t findSlotIDForSegment(const MediaSegment& segment);

  private:
    struct SourceMobs;

    // Whether a call of the object layer succeeded; a failure is logged with the line it was
    // made at.
    bool succeeded(aaf::AAFResult result, int line) const;
    void registerAvidExtensions();

    std::optional<aaf::MobID> addClipInternal(const MediaFile& file);
    std::optional<aaf::MobID> addSequenceInternal(
        const std::shared_ptr<MediaComposition>& composition,
        const std::shared_ptr<TCHelper>& timecode, int32_t type);
    std::optional<aaf::MobID> masterMobOfSegment(const MediaSegment& segment);
    void addVideoTracks(const MediaComposition& composition, aaf::AAFMob& mob,
                        const aaf::Rational& editRate, const TCHelper& timecode,
                        uint32_t& nextSlotID);
    void addAudioTracks(const MediaComposition& composition, aaf::AAFMob& mob,
                        const aaf::Rational& editRate, const TCHelper& timecode,
                        uint32_t& nextSlotID);
    void addSourceSlots(const MediaFile& file, SourceMobs& mobs, const aaf::Rational& editRate,
                        int64_t length);
    void addDescriptors(const MediaFile& file, SourceMobs& mobs, bool tapeSource,
                        const aaf::Rational& editRate, int64_t length);

    std::shared_ptr<aaf::AAFSegment> createTimecodeSegment(const TCHelper& timecode,
                                                           int64_t length);
    std::shared_ptr<aaf::AAFSegment> createSourceClipSegment(const aaf::AAFDataDef& dataDef,
                                                             const aaf::SourceRef& sourceRef,
                                                             int64_t length);
    std::shared_ptr<aaf::AAFSegment> createFillerSegment(const aaf::AAFDataDef& dataDef,
                                                         int64_t length);
    std::shared_ptr<aaf::AAFSequence> createSequenceSegment(const aaf::AAFDataDef& dataDef);
    void addSegment(const std::shared_ptr<aaf::AAFSegment>& segment, aaf::AAFSequence& sequence);
    void addSlotWithSegment(const std::shared_ptr<aaf::AAFSegment>& segment, aaf::AAFMob& mob,
                            const aaf::Rational& editRate, uint32_t physicalNum, uint32_t slotID,
                            const std::string& name);
    std::shared_ptr<aaf::AAFMob> createNamedMob(const aaf::AUID& classID, const std::string& name);
    std::shared_ptr<aaf::AAFMob> createSourceMob(const std::string& name);
    std::shared_ptr<aaf::AAFMob> createMasterMob(const std::string& name);
    std::shared_ptr<aaf::AAFMob> createCompositionMob(const std::string& name);
    std::shared_ptr<aaf::AAFEssenceDescriptor> createImportDescriptorForMediaFile(
        const MediaFile& file);
    std::shared_ptr<aaf::AAFEssenceDescriptor> createTapeDescriptorForMediaFile(
        const MediaFile& file);
    std::shared_ptr<aaf::AAFFileDescriptor> createCDCIDescriptorWithMediaFile(
        const MediaFile& file);
    std::shared_ptr<aaf::AAFFileDescriptor> createPCMDescriptorWithMediaFile(const MediaFile& file);
    void addResolutionID(int32_t resolutionID, aaf::AAFDigitalImageDescriptor& descriptor);
    void addLocator(const MediaFile& file, aaf::AAFEssenceDescriptor& descriptor);

    bool amaLink_ = true;
    // The master mob of every source file already in the file, by the file's source URL.
    std::map<std::filesystem::path, aaf::MobID> usedAssets_;

    std::unique_ptr<aaf::AAFFile> aafFile_;
    std::shared_ptr<aaf::AAFHeader> aafHeader_;
    std::shared_ptr<aaf::AAFDictionary> aafDict_;
    std::shared_ptr<aaf::AAFDataDef> aafDefPicture_;
    std::shared_ptr<aaf::AAFDataDef> aafDefSound_;
    std::shared_ptr<aaf::AAFDataDef> aafDefTimecode_;
    std::shared_ptr<aaf::AAFContainerDef> aafContainerKLV_;
    std::shared_ptr<aaf::AAFPropertyDef> aafPropertyDefAvidResolutionID_;
};

}  // namespace vorlane
