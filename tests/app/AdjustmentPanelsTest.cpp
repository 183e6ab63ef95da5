// The rules of the offset, AV shift and read-audio-timecode panels over files whose timecode,
// shift and camera are set by hand.
#include <gtest/gtest.h>

#include "app/AVShiftPanelController.h"
#include "app/OffsetPanelController.h"
#include "app/ReadAudioTcPanelController.h"
#include "app/StandardDefaults.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

std::shared_ptr<MediaFile> fileWith(double frameRate, bool dropFrame,
                                    std::optional<std::string> model = std::nullopt,
                                    double shiftSeconds = 0.0) {
    auto file = std::make_shared<MediaFile>("/nowhere/clip.mov");
    for (const int32_t kind : {MediaTrackTypeVideo, MediaTrackTypeAudio}) {
        std::lock_guard lock(file->mutex());
        file->addTrackWithMediaType(kind, 0)->setTimeRange({kCMTimeZero, CMTimeMake(10, 1)});
    }
    if (frameRate > 0.0) {
        auto timecode = TCHelper::helperWithFrameRate(frameRate, dropFrame);
        timecode->setTimecodeString("10:00:00:00");
        timecode->setType(TCTypeFile);
        std::lock_guard lock(file->mutex());
        file->addTimecodeTrackWithTCHelper(timecode);
    }
    if (model) file->setMetaDataValue(kModel, *model);
    if (shiftSeconds != 0.0) file->setAvShift(CMTimeMakeWithSeconds(shiftSeconds, 600));
    return file;
}

class ChosenAnswer : public AlertPresenter {
  public:
    explicit ChosenAnswer(size_t answer) : answer_(answer) {}
    size_t runAlert(const Alert& alert) override {
        shown.push_back(alert);
        return answer_;
    }
    std::vector<Alert> shown;

  private:
    size_t answer_;
};

TEST(OffsetPanel, FilesWithoutCommonRateOnlyTakeSeconds) {
    NotificationCenter center;
    OffsetPanelController panel(center);
    panel.activateWithMediaFiles({fileWith(25, false), fileWith(24, false)});
    EXPECT_FALSE(panel.commonTimecode());
    EXPECT_EQ(panel.frameRateItem(), 0);
    EXPECT_EQ(panel.framesText(), "not applicable");
    EXPECT_EQ(panel.timecodeText(), "not applicable");
    panel.offsetSelectTimeUnit(OffsetPanelController::Frames);
    EXPECT_EQ(panel.timeUnit(), OffsetPanelController::Seconds);
    EXPECT_TRUE(panel.unitEnabled(OffsetPanelController::Seconds));
    EXPECT_FALSE(panel.unitEnabled(OffsetPanelController::Timecode));
    EXPECT_EQ(panel.filesSelectedText(), "2 File(s) selected");
}

TEST(OffsetPanel, CommonRateOffsetsInFramesAndTimecode) {
    NotificationCenter center;
    int updates = 0;
    center.addObserverForName(kUpdateMediaFileNotification,
                              [&](const Notification&) { ++updates; });
    auto first = fileWith(30000.0 / 1001.0, true);
    auto second = fileWith(30000.0 / 1001.0, true);
    auto noTimecode = fileWith(0, false);
    first->setOffset(CMTimeMake(2, 1), 0);
    OffsetPanelController panel(center);
    panel.activateWithMediaFiles({first, second, noTimecode});
    ASSERT_TRUE(panel.commonTimecode());
    EXPECT_EQ(panel.frameRateItem(), 5);   // 29.97 drop frame
    EXPECT_EQ(panel.secondsValue(), 0.0);  // the offsets differ
    panel.offsetSelectTimeUnit(OffsetPanelController::Timecode);
    ASSERT_TRUE(panel.offsetHHMMSSFF("00:01:00;02"));
    EXPECT_EQ(panel.framesText(), "1800");
    EXPECT_EQ(panel.timecodeText(), "00:01:00;02");
    panel.offsetSet();
    MainQueue::drain();
    EXPECT_EQ(updates, 3);
    EXPECT_EQ(second->offsetType(), OffsetPanelController::Timecode);
    EXPECT_EQ(CMTimeCompare(second->offset(), CMTimeMake(1800 * 1001, 30000)), 0)
        << second->offset().description();
    panel.offsetRemove();
    EXPECT_EQ(CMTimeCompare(second->offset(), kCMTimeZero), 0);
}

TEST(OffsetPanel, HigherCommonRatesKeepThePreviousSelection) {
    NotificationCenter center;
    OffsetPanelController panel(center);
    panel.offsetSetFrameRate(3);
    panel.activateWithMediaFiles({fileWith(50, false)});
    EXPECT_EQ(panel.frameRateItem(), 3);
    ASSERT_TRUE(panel.commonTimecode());
    EXPECT_EQ(panel.commonTimecode()->frameRate(), 50.0);
    panel.offsetSetFrameRate(99);  // an unknown item: no rate
    EXPECT_EQ(panel.framesText(), "not applicable");
}

class AVShiftPanelTest : public testing::Test {
  protected:
    AVShiftPanelTest() { StandardDefaults::createAVShiftPresets(defaults); }
    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
};

TEST_F(AVShiftPanelTest, CommonShiftIgnoresZeroAndDropsDifferentShifts) {
    AVShiftPanelController panel(defaults, center);
    panel.activateWithMediaFiles(
        {fileWith(25, false, "Cam", 0.0), fileWith(25, false, "Cam", 0.04)});
    EXPECT_EQ(panel.sliderLabel(), "+40 Milliseconds");
    panel.activateWithMediaFiles(
        {fileWith(25, false, "Cam", 0.04), fileWith(25, false, "Cam", 0.08)});
    EXPECT_EQ(panel.sliderValue(), 0.0);
}

TEST_F(AVShiftPanelTest, TwoCameraModelsAllowNeitherAddNorRemove) {
    AVShiftPanelController panel(defaults, center);
    panel.activateWithMediaFiles({fileWith(25, false, "A"), fileWith(25, false, "B")});
    EXPECT_TRUE(panel.unknownCamera());
    EXPECT_EQ(panel.items()[panel.selectedItem()], "<multiple selection or unknown>");
    EXPECT_FALSE(panel.addEnabled());
    EXPECT_FALSE(panel.removeEnabled());
    panel.avShiftSlider(3);
    EXPECT_FALSE(panel.addEnabled());
    panel.activateWithMediaFiles({fileWith(25, false, "A"), fileWith(25, false)});
    EXPECT_TRUE(panel.unknownCamera());
}

TEST_F(AVShiftPanelTest, PresetsAreAddedReplacedAndRemovedAfterConfirmation) {
    AVShiftPanelController panel(defaults, center);
    auto file = fileWith(25, false, "Canon EOS 5D Mark III");
    panel.activateWithMediaFiles({file});
    EXPECT_EQ(panel.items()[panel.selectedItem()], "Canon EOS 5D Mark III (-40ms)");
    EXPECT_TRUE(panel.removeEnabled());

    auto newCamera = fileWith(25, false, "Cam X");
    panel.activateWithMediaFiles({newCamera});
    EXPECT_EQ(panel.items()[panel.selectedItem()], "< Cam X >");
    EXPECT_TRUE(panel.addEnabled());
    panel.avShiftSlider(-4);
    panel.presetAdd();
    EXPECT_EQ(panel.presets().back().shift, "-0.04");
    EXPECT_EQ(panel.items()[panel.selectedItem()], "Cam X (-40ms)");
    EXPECT_EQ(panel.presets().size(), 5u);

    // Changing the value replaces the camera's preset.
    panel.avShiftSlider(8);
    EXPECT_TRUE(panel.addEnabled());
    panel.presetAdd();
    EXPECT_EQ(panel.presets().size(), 5u);
    EXPECT_EQ(panel.presets().back().shift, "0.08");

    ChosenAnswer cancel(1);
    panel.presetRemove(cancel);
    ASSERT_EQ(cancel.shown.size(), 1u);
    EXPECT_EQ(cancel.shown[0].informativeText, "Do you really want to remove \"Cam X (+80ms)\"?");
    EXPECT_EQ(panel.presets().size(), 5u);
    ChosenAnswer confirm(0);
    panel.presetRemove(confirm);
    EXPECT_EQ(panel.presets().size(), 4u);
    EXPECT_EQ(panel.items()[panel.selectedItem()], "< Cam X >");
    // Nothing selected that is a preset: nothing asked.
    ChosenAnswer unasked(0);
    panel.presetRemove(unasked);
    EXPECT_TRUE(unasked.shown.empty());

    AVShiftPanelController reloaded(defaults, center);
    reloaded.loadPresets();
    EXPECT_EQ(reloaded.presets().size(), 4u);

    panel.avShiftSlider(-4);
    panel.avShiftSet();
    EXPECT_EQ(CMTimeCompare(newCamera->shiftTime(), CMTimeMake(-24, 600)), 0);
    panel.avShiftRemove();
    EXPECT_EQ(CMTimeCompare(newCamera->shiftTime(), kCMTimeZero), 0);
}

TEST(ReadAudioTcPanel, ChoicesAreStoredAndMakeTheRequest) {
    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    ReadAudioTcPanelController panel(defaults);
    panel.loadUserDefaults(3);
    EXPECT_EQ(panel.filesSelectedText(), "3 File(s) selected");
    panel.rateIndex = 4;
    panel.trackIndex = 2;
    panel.channelIndex = 0;
    panel.rangesIndex = 3;
    panel.offsetText = "-2";
    const AudioTimecodeRequest request = panel.readTimecode();
    EXPECT_DOUBLE_EQ(request.frameRate, 30000.0 / 1001.0);
    EXPECT_EQ(request.track, 1);
    EXPECT_EQ(request.channel, -1);
    EXPECT_EQ(request.offset, -2);
    EXPECT_EQ(request.readingRanges, LtcReadingRanges::WholeFile);

    ReadAudioTcPanelController again(defaults);
    again.loadUserDefaults(1);
    EXPECT_EQ(again.rateIndex, 4);
    EXPECT_EQ(again.rangesIndex, 3);
    EXPECT_EQ(again.offsetText, "-2");
}

}  // namespace
}  // namespace vorlane
