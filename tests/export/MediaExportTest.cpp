// What every exporter shares: project settings, progress scaled into a run's share, timecodes
// made safe to compute with, the fit of a picture into the project frame.
#include <gtest/gtest.h>

#include "export/MediaExport.h"
#include "platform/DefaultsKeys.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

class RecordingDelegate : public ExportProgressDelegate {
  public:
    void updateExportProgress(double percent) override { values.push_back(percent); }
    std::vector<double> values;
};

TEST(MediaExportTest, ReadsTheAudioChoicesFromTheStore) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setBool(true, DefaultsKey::muteAudioTimecode);
    defaults.setInteger(1, DefaultsKey::multicam);
    MediaExport exporter(defaults);
    EXPECT_TRUE(exporter.muteAudioTimecode());
    EXPECT_TRUE(exporter.multicam());
    EXPECT_FALSE(exporter.keepOriginalAudio());
}

TEST(MediaExportTest, ProgressIsScaledIntoTheRunsShare) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    MediaExport exporter(defaults);
    exporter.exportProgress(50);  // no delegate: nothing happens
    auto delegate = std::make_shared<RecordingDelegate>();
    exporter.setDelegate(delegate);
    exporter.setExportProgressScaling(0.25);
    exporter.setExportProgressOffset(50);
    exporter.exportProgress(40);
    exporter.exportProgress(100);
    EXPECT_EQ(delegate->values, (std::vector<double>{60, 75}));
}

TEST(MediaExportTest, ValidatedTimecodes) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    MediaExport exporter(defaults);
    exporter.setProjectFramerate(30000.0 / 1001.0);
    exporter.setProjectDropFrame(true);

    const auto none = exporter.validateTimecode(nullptr);
    EXPECT_EQ(none->frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(none->dropFrame());
    EXPECT_EQ(none->time(), kCMTimeZero);

    const auto seconds = TCHelper::helperWithTime(CMTimeMake(36000, 1));
    const auto atRate = exporter.validateTimecode(seconds);
    EXPECT_NE(atRate, seconds);
    EXPECT_EQ(atRate->frameRate(), 30000.0 / 1001.0);
    EXPECT_EQ(atRate->time(), CMTimeMake(36000, 1));

    const auto plain = TCHelper::helperWithFrameRate(25, false);
    EXPECT_EQ(exporter.validateTimecode(plain), plain);
}

TEST(MediaExportTest, PicturesFitIntoTheProjectFrame) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    MediaExport exporter(defaults);
    EXPECT_EQ(exporter.scaleRatioForSize(3840, 2160), 0.5);
    EXPECT_EQ(exporter.scaleRatioForSize(1440, 1080), 1.0);  // fit by height
    EXPECT_EQ(exporter.scaleRatioForSize(0, 0), 1.0);
    EXPECT_EQ(exporter.scaleRatioForSize(1920, 0), 1.0);
    EXPECT_DOUBLE_EQ(exporter.scaleRatioForSize(1280, 960), 1080.0 / 960.0);
    EXPECT_EQ(exporter.scaleRatioForSize(4096, 1716), 1920.0 / 4096.0);  // fit by width
}

}  // namespace
}  // namespace vorlane
