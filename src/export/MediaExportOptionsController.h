// The options of the movie exports (synchronised movies, timecode-embedded movies): video codec
// and bit rate, picture resize, audio codec, rate and depth, reference movies, and which of the
// two runs is wanted. Plain state for the option view that the GUI shows: pop-up items are
// named by their tags, the rules that enable, hide and select items follow the user's choices,
// and readSettings copies the controls into the fields the run reads. The codec, resize and
// audio items are loaded from the defaults store when the view is about to be shown and saved
// when it is hidden.
#pragma once

#include <cstdint>
#include <set>

#include "media/MediaTypes.h"
#include "platform/UserDefaults.h"

namespace vorlane {

class MediaExportOptionsController {
  public:
    MediaExportOptionsController();

    void loadUserDefaults(const UserDefaults& defaults);
    void saveUserDefaults(UserDefaults& defaults) const;
    void readSettings();

    // The values of the items, by tag.
    static uint32_t videoCodecForTag(int64_t tag);
    static uint32_t videoBitRateForTag(int64_t tag);
    static MediaSize videoSizeForTag(int64_t tag);
    struct AudioChoice {
        uint32_t codec = 0;
        double sampleRate = 0.0;
        double bitDepth = 0.0;
    };
    static AudioChoice audioForTag(int64_t tag);

    uint32_t selectedVideoCodec() const { return videoCodecForTag(videoCodecTag_); }
    uint32_t selectedVideoBitRate() const { return videoBitRateForTag(videoCodecTag_); }
    MediaSize selectedVideoSize() const { return videoSizeForTag(videoResizeTag_); }

    // Rules of the controls.
    // A codec was chosen: keeping the source's video fixes the size to the source's; the
    // AVC-Intra codecs allow only 1920 × 1080 and the sizes they cannot take are hidden.
    void videoCodecSelectionPopup(int64_t tag);
    // A reference movie keeps video and audio as they are and cannot be resized.
    void createQuicktimeRefCheckbox(bool on);
    // Set at start-up from what the platform's codecs support.
    void showHEVCCodecs(bool show);
    void showAVCIntraCodecs(bool show);
    void showQTReferenceCheckbox(bool enable);

    // Controls.
    int64_t videoCodecTag() const { return videoCodecTag_; }
    int64_t videoResizeTag() const { return videoResizeTag_; }
    void setVideoResizeTag(int64_t tag) { videoResizeTag_ = tag; }
    int64_t audioCodecTag() const { return audioCodecTag_; }
    void setAudioCodecTag(int64_t tag) { audioCodecTag_ = tag; }
    bool videoCodecEnabled() const { return videoCodecEnabled_; }
    bool videoResizeEnabled() const { return videoResizeEnabled_; }
    bool qtRefChecked() const { return qtRefChecked_; }
    bool qtRefEnabled() const { return qtRefEnabled_; }
    // The radio buttons: synchronised movies, or movies with embedded timecode.
    bool synchronizedSelected() const { return synchronizedSelected_; }
    void setSynchronizedSelected(bool on) { synchronizedSelected_ = on; }
    bool isVideoCodecItemHidden(int64_t tag) const { return hiddenCodecTags_.count(tag) != 0; }
    bool isResizeItemHidden(int64_t tag) const { return hiddenResizeTags_.count(tag) != 0; }

    // Fields read by the run.
    uint32_t videoCodec() const { return videoCodec_; }
    uint32_t videoBitRate() const { return videoBitRate_; }
    MediaSize videoSize() const { return videoSize_; }
    uint32_t audioCodec() const { return audioCodec_; }
    double audioSampleRate() const { return audioSampleRate_; }
    double audioBitDepth() const { return audioBitDepth_; }
    bool createQTRef() const { return createQTRef_; }
    bool synchronizedMovieExport() const { return synchronizedMovieExport_; }

  private:
    void showCodecTags(int64_t first, int64_t last, bool show);

    int64_t videoCodecTag_ = 0;
    int64_t videoResizeTag_ = 0;
    int64_t audioCodecTag_ = 0;
    bool videoCodecEnabled_ = true;
    bool videoResizeEnabled_ = false;
    bool qtRefChecked_ = false;
    bool qtRefEnabled_ = true;
    bool synchronizedSelected_ = true;
    std::set<int64_t> hiddenCodecTags_;
    std::set<int64_t> hiddenResizeTags_;

    uint32_t videoCodec_ = 0;
    uint32_t videoBitRate_ = 0;
    MediaSize videoSize_;
    uint32_t audioCodec_ = 0;
    double audioSampleRate_ = 0.0;
    double audioBitDepth_ = 0.0;
    bool createQTRef_ = false;
    bool synchronizedMovieExport_ = true;
};

}  // namespace vorlane
