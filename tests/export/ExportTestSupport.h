// Shared helpers of the export tests: in-memory cameras and sound recorders, pools of them with
// their own settings, export runs that keep their log, exact reading of rational times and the
// DTD check of written FCPXML.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/ApplicationController.h"
#include "export/ExportRun.h"
#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/CMTime.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/XMLDocument.h"
#include "support/TestSupport.h"

namespace vorlane::test {

struct CameraFile {
    std::string name = "A001C001.mov";
    std::string timecode = "10:00:00:00";  // empty: none
    double rate = 25.0;
    bool dropFrame = false;
    int64_t frames = 250;
    uint32_t audioTracks = 1;  // 2 channels each, 48 kHz
    double width = 1920;
    double height = 1080;
    std::string model = "FX6";
};
std::shared_ptr<MediaFile> makeCameraFile(const CameraFile& plan);

struct RecorderFile {
    std::string name = "T001.wav";
    int64_t startSample = -1;  // on the timecode axis (samples since midnight); -1: none
    int64_t samples = 48000 * 20;
    uint32_t channels = 2;
    double timecodeRate = 25.0;
    bool dropFrame = false;
    uint64_t timecodeChannels = 0;               // channel mask of channels carrying LTC
    std::vector<std::string> channelNames = {};  // recorder's names per channel (iXML)
    std::string model = "MixPre";
};
std::shared_ptr<MediaFile> makeRecorderFile(const RecorderFile& plan);

// Samples at 48 kHz of a time of day.
int64_t samplesOf(int hours, int minutes, int seconds);

// A pool of the files, analysed, with the settings of `defaults`, sync groups numbered.
std::shared_ptr<MediaPool> makeExportPool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                          UserDefaults& defaults);

// The settings store of a test: the standard settings of a first start, with changes.
class TestDefaults {
  public:
    TestDefaults();
    UserDefaults& operator*() { return *defaults_; }
    UserDefaults* operator->() { return defaults_.get(); }

  private:
    std::filesystem::path folder_;
    std::unique_ptr<UserDefaults> defaults_;
};

// The progress panel of a test run: keeps the log, the percents and whether it was stopped.
class RecordingPanel : public ExportRunPanel {
  public:
    void logEntry(const std::string& text) override { log += text; }
    void setPercent(double percent) override { percents.push_back(percent); }
    void stop() override { stopped = true; }
    std::string log;
    std::vector<double> percents;
    bool stopped = false;
};

// An exact rational number of seconds, kept reduced. The times of written documents are read
// into it, so that no check leans on the time arithmetic under test.
class Seconds {
  public:
    __extension__ typedef __int128 Integer;
    Seconds() = default;  // none
    Seconds(Integer numerator, Integer denominator);
    Seconds(CMTime time);  // NOLINT: a time converts implicitly, for comparisons

    bool isValid() const { return denominator_ != 0; }
    // A whole number of steps (frame durations, say).
    bool isMultipleOf(const Seconds& step) const;
    friend Seconds operator+(const Seconds& lhs, const Seconds& rhs);
    friend Seconds operator-(const Seconds& lhs, const Seconds& rhs);
    friend bool operator==(const Seconds& lhs, const Seconds& rhs) = default;
    friend std::ostream& operator<<(std::ostream& out, const Seconds& value);

  private:
    Integer numerator_ = 0;
    Integer denominator_ = 0;
};

// A rational time attribute ("1001/30000s", "0/1s", "5s"); none when it is missing (the test
// fails then) or malformed.
Seconds timeAttribute(const XMLNode& node, const char* name);
// Where an FCPXML element lies on its container's timeline (sync clip, project or multicam): an
// element of a spine or an angle at its offset; an anchored one at its parent's place plus its
// own offset on the parent's timeline, which begins at the parent's start.
Seconds placeInSyncClip(const XMLNode& clip);

// The DTD of the FCPXML version ("1.5" ...) beside the project, when ../shared is there.
std::optional<std::filesystem::path> fcpxmlDTD(const std::string& version);
// xmllint's complaints about the document under the DTD; empty when it is valid.
std::string dtdErrors(const std::filesystem::path& document, const std::filesystem::path& dtd);

// The written document, parsed strictly (the test fails when it is not well-formed XML).
std::optional<XMLDocument> readDocument(const std::filesystem::path& path);

// The demo shooting day, made once for the build tree by the independent generator and shared
// by every test process (made under a lock); nothing when it cannot be made.
std::optional<std::filesystem::path> demoShootFolder();

// The demo shooting day analysed with the standard readers and settings, as the command line
// reads it. Skips when ffprobe is missing or the shoot cannot be made; a fixture deriving from it
// returns from its own SetUp when IsSkipped() or HasFatalFailure().
class AnalysedDemoShootTest : public testing::Test {
  protected:
    void SetUp() override;

    std::filesystem::path shoot;
    ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    std::unique_ptr<ApplicationController> controller;
};

// One XML export run of the pool (an item of the document-kind menu) into the file.
bool runXMLExport(MediaPool& pool, int64_t typeItem, const std::filesystem::path& destination,
                  RecordingPanel& panel, bool includeSyncedClips = true);

}  // namespace vorlane::test

// Skips the test when the demo shoot cannot be made (ffmpeg missing); else binds `variable`.
#define VORLANE_REQUIRE_DEMO_SHOOT(variable)                                     \
    VORLANE_REQUIRE_TOOL("ffmpeg");                                              \
    const auto variable##Optional = ::vorlane::test::demoShootFolder();          \
    if (!variable##Optional) GTEST_SKIP() << "the demo shoot could not be made"; \
    const std::filesystem::path variable = *variable##Optional

// Skips the test when the FCPXML DTDs are not beside the project.
#define VORLANE_REQUIRE_DTD(variable, version)                                             \
    const auto variable##Optional = ::vorlane::test::fcpxmlDTD(version);                   \
    if (!variable##Optional) GTEST_SKIP() << "../shared/dtd is absent; DTD check skipped"; \
    const std::filesystem::path variable = *variable##Optional
