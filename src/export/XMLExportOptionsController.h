// The options of the XML export (FCPXML and XML interchange): the state of the option view's
// controls (kind of document, project frame rate, video format and audio rate, synced clips,
// opening in the editor, custom picture size), the rules that tie the controls together, and
// the plain fields that a run reads once the user confirmed the save panel (readSettings).
//
// No toolkit code: the GUI shows these controls as widgets bound to this object; the command
// line sets them from its options. The kind of document and the open-in-editor box are loaded
// from the defaults store when the view is about to be shown, and they and the frame rate are
// saved when it is about to be hidden. Frame rate and video format are preselected from the
// media pool instead of being restored.
#pragma once

#include <cstdint>
#include <string>

#include "media/MediaTypes.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class TCHelper;

// Values of `xmlType`.
inline constexpr uint32_t kXMLTypeLinkedClips = 0;  // XML interchange, synced clips as clip items
inline constexpr uint32_t kXMLTypeNestedClips = 1;  // XML interchange, synced clips as sequences
inline constexpr uint32_t kXMLTypeFCPXML = 100;     // FCPXML

class XMLExportOptionsController {
  public:
    // Items of the kind-of-document menu.
    enum XMLTypeItem : int64_t {
        XMLTypeItemNestedSequences = 0,
        XMLTypeItemLinkedClips = 1,
        XMLTypeItemFCPXML17 = 2,
        XMLTypeItemFCPXML16 = 3,
        XMLTypeItemFCPXML15 = 4,
    };

    XMLExportOptionsController();

    // The view is about to be shown / hidden.
    void loadUserDefaults(const UserDefaults& defaults);
    void saveUserDefaults(UserDefaults& defaults) const;

    // Copies the controls into the plain fields below.
    void readSettings();

    // Preselection from the pool: the timecode's rate (exact equality; an unlisted rate leaves
    // the selection) and the largest picture size.
    void selectFrameRate(const TCHelper& timecode);
    void selectVideoSize(double width, double height);

    // The kind-of-document menu was set: applies its row (see readXMLType).
    void xmlTypeSelect(int64_t index);
    // The video-format menu was set: the custom fields are enabled for the custom item, else
    // they show the selected size and are disabled.
    void videoFormatSelect(int64_t index);
    // Applies the kind-of-document row: xmlType, fcpxVersion, the save panel's file type, and
    // the synced-clips box, its help button and the open-in-editor box. An index outside the
    // menu changes nothing.
    void readXMLType();

    // What the selected items stand for.
    double selectedFrameRate() const;
    bool selectedDropFrame() const;
    double selectedVideoWidth() const;
    double selectedVideoHeight() const;
    bool selectedInterlaced() const;
    double selectedAudioSampleRate() const;

    // Controls.
    int64_t xmlTypeIndex() const { return xmlTypeIndex_; }
    int64_t frameRateIndex() const { return frameRateIndex_; }
    void setFrameRateIndex(int64_t index) { frameRateIndex_ = index; }
    int64_t videoFormatIndex() const { return videoFormatIndex_; }
    int64_t audioFormatIndex() const { return audioFormatIndex_; }
    void setAudioFormatIndex(int64_t index) { audioFormatIndex_ = index; }
    bool syncedClipsChecked() const { return syncedClipsChecked_; }
    void setSyncedClipsChecked(bool on) { syncedClipsChecked_ = on; }
    bool syncedClipsHelpShown() const { return syncedClipsHelpShown_; }
    bool openInFCPChecked() const { return openInFCPChecked_; }
    void setOpenInFCPChecked(bool on) { openInFCPChecked_ = on; }
    bool openInFCPShown() const { return openInFCPShown_; }
    double customVideoWidth() const { return customVideoWidth_; }
    double customVideoHeight() const { return customVideoHeight_; }
    void setCustomVideoSize(double width, double height);
    bool customVideoFieldsEnabled() const { return customVideoFieldsEnabled_; }
    // The file type the save panel allows ("xml" or "fcpxml").
    const std::string& allowedFileType() const { return allowedFileType_; }

    // Fields read by the run.
    uint32_t xmlType() const { return xmlType_; }
    double fcpxVersion() const { return fcpxVersion_; }
    MediaSize projectSize() const { return projectSize_; }
    double projectFrameRate() const { return projectFrameRate_; }
    bool projectDropFrame() const { return projectDropFrame_; }
    bool projectInterlaced() const { return projectInterlaced_; }
    double projectAudioSampleRate() const { return projectAudioSampleRate_; }
    bool includeSyncedClips() const { return includeSyncedClips_; }
    bool openInFCPX() const { return openInFCPX_; }

  private:
    // Controls, as a fresh view shows them: XML with nested sequences, 25 fps, 1920 × 1080,
    // 48 kHz.
    int64_t xmlTypeIndex_ = XMLTypeItemNestedSequences;
    int64_t frameRateIndex_ = 2;
    int64_t videoFormatIndex_ = 4;
    int64_t audioFormatIndex_ = 2;
    bool syncedClipsChecked_ = false;
    bool syncedClipsHelpShown_ = true;
    bool openInFCPChecked_ = false;
    bool openInFCPShown_ = false;
    double customVideoWidth_ = 1920;
    double customVideoHeight_ = 1080;
    bool customVideoFieldsEnabled_ = false;
    std::string allowedFileType_ = "xml";

    uint32_t xmlType_ = kXMLTypeNestedClips;
    double fcpxVersion_ = 1.7;
    MediaSize projectSize_{1920, 1080};
    double projectFrameRate_ = 25.0;
    bool projectDropFrame_ = false;
    bool projectInterlaced_ = false;
    double projectAudioSampleRate_ = 48000;
    bool includeSyncedClips_ = false;
    bool openInFCPX_ = false;
};

}  // namespace vorlane
