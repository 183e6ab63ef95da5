#include "export/ExportTestSupport.h"

#include <algorithm>
#include <chrono>

#include "TestPaths.h"
#include "app/ExportCommands.h"
#include "app/StandardDefaults.h"
#include "export/XMLExportOptionsController.h"
#include "media/MediaTypes.h"
#include "mediagen/DemoShoot.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Process.h"
#include "support/TestSupport.h"
#include "sync/SyncTestFiles.h"
#include "timecode/TCHelper.h"

namespace vorlane::test {
std::shared_ptr<MediaFile> makeCameraFile(const CameraFile& plan) {
    auto file = makeCamera({.name = plan.name,
                            .timecode = plan.timecode,
                            .rate = plan.rate,
                            .dropFrame = plan.dropFrame,
                            .frames = plan.frames,
                            .audioTracks = plan.audioTracks,
                            .width = plan.width,
                            .height = plan.height,
                            .model = plan.model,
                            .serial = plan.name});
    file->setFilesize(1000 + plan.frames);
    return file;
}

std::shared_ptr<MediaFile> makeRecorderFile(const RecorderFile& plan) {
    auto file = makeRecorder({.name = plan.name,
                              .startSample = plan.startSample,
                              .samples = plan.samples,
                              .channels = plan.channels,
                              .timecodeRate = plan.timecodeRate,
                              .dropFrame = plan.dropFrame,
                              .timecodeChannels = plan.timecodeChannels,
                              .channelNames = plan.channelNames,
                              .model = plan.model,
                              .serial = ""});
    file->setFileContainerType(MediaFileContainerBWF);
    file->setFilesize(uint64_t(plan.samples) * 3 * plan.channels);
    return file;
}

int64_t samplesOf(int hours, int minutes, int seconds) {
    return (int64_t(hours) * 3600 + int64_t(minutes) * 60 + seconds) * 48000;
}

std::shared_ptr<MediaPool> makeExportPool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                          UserDefaults& defaults) {
    static NotificationCenter center;
    auto pool = MediaPool::create(
        [](const std::filesystem::path&, MediaPool&) {
            return MediaReaderChoice{nullptr, {}, "in-memory files only"};
        },
        defaults, center);
    pool->analyzeItemsInBackground(files);
    EXPECT_TRUE(
        MainQueue::runUntil([&] { return !pool->hasPendingAnalysis(); }, std::chrono::seconds(60)));
    MainQueue::drain();
    pool->enumerateSyncGroups();
    return pool;
}

TestDefaults::TestDefaults() {
    static int counter = 0;
    folder_ =
        std::filesystem::temp_directory_path() /
        ("vorlane-export-defaults-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(folder_);
    defaults_ = std::make_unique<UserDefaults>(folder_ / "defaults.json");
    StandardDefaults::createIfNeeded(*defaults_);
}

Seconds::Seconds(Integer numerator, Integer denominator) {
    if (denominator == 0) return;
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    Integer a = numerator < 0 ? -numerator : numerator;
    Integer b = denominator;
    while (b != 0) {
        const Integer rest = a % b;
        a = b;
        b = rest;
    }
    numerator_ = numerator / a;
    denominator_ = denominator / a;
}

Seconds::Seconds(CMTime time)
    : Seconds(time.isValid() ? Integer(time.value) : 0, time.isValid() ? time.timescale : 0) {}

bool Seconds::isMultipleOf(const Seconds& step) const {
    if (!isValid() || !step.isValid() || step.numerator_ == 0) return false;
    // (n1/d1) / (n2/d2) is whole when n1 d2 is a multiple of d1 n2.
    return (numerator_ * step.denominator_) % (denominator_ * step.numerator_) == 0;
}

Seconds operator+(const Seconds& lhs, const Seconds& rhs) {
    if (!lhs.isValid() || !rhs.isValid()) return {};
    return {lhs.numerator_ * rhs.denominator_ + rhs.numerator_ * lhs.denominator_,
            lhs.denominator_ * rhs.denominator_};
}

Seconds operator-(const Seconds& lhs, const Seconds& rhs) {
    return lhs + Seconds(-rhs.numerator_, rhs.denominator_);
}

std::ostream& operator<<(std::ostream& out, const Seconds& value) {
    if (!value.isValid()) return out << "none";
    return out << static_cast<long long>(value.numerator_) << "/"
               << static_cast<long long>(value.denominator_) << "s";
}

Seconds timeAttribute(const XMLNode& node, const char* name) {
    const auto text = node.attribute(name);
    EXPECT_TRUE(text) << node.name() << " has no " << name;
    if (!text || text->size() < 2 || text->back() != 's') return {};
    const std::string body = text->substr(0, text->size() - 1);
    const size_t slash = body.find('/');
    try {
        if (slash == std::string::npos) return {std::stoll(body), 1};
        return {std::stoll(body.substr(0, slash)), std::stoll(body.substr(slash + 1))};
    } catch (...) {
        return {};
    }
}

Seconds placeInSyncClip(const XMLNode& clip) {
    const XMLNode parent = clip.parent();
    if (parent.name() == "spine" || parent.name() == "mc-angle")
        return timeAttribute(clip, "offset");
    return placeInSyncClip(parent) +
           (timeAttribute(clip, "offset") - timeAttribute(parent, "start"));
}

std::optional<std::filesystem::path> fcpxmlDTD(const std::string& version) {
    std::string underscored = version;
    std::replace(underscored.begin(), underscored.end(), '.', '_');
    const std::filesystem::path dtd = std::filesystem::path(VORLANE_SOURCE_DIR).parent_path() /
                                      "shared" / "dtd" / ("FCPXMLv" + underscored + ".dtd");
    std::error_code error;
    if (!std::filesystem::is_regular_file(dtd, error)) return std::nullopt;
    return dtd;
}

std::string dtdErrors(const std::filesystem::path& document, const std::filesystem::path& dtd) {
    const auto result =
        runProcess({"xmllint", "--noout", "--dtdvalid", dtd.string(), document.string()});
    if (!result) return "xmllint cannot be started";
    if (result->exitStatus == 0) return {};
    return result->standardError.empty() ? "xmllint failed" : result->standardError;
}

std::optional<XMLDocument> readDocument(const std::filesystem::path& path) {
    auto document = XMLDocument::parse(readFile(path), XMLDocument::ParseMode::Strict);
    EXPECT_TRUE(document) << path << " is not well-formed";
    return document;
}

std::optional<std::filesystem::path> demoShootFolder() {
    const std::filesystem::path folder =
        std::filesystem::path(VORLANE_BINARY_DIR) / "test-media" / "demo-shoot";
    std::string message;
    const auto shoot = mediagen::makeDemoShoot(folder, &message);
    EXPECT_TRUE(shoot) << message;
    if (!shoot) return std::nullopt;
    return folder;
}

void AnalysedDemoShootTest::SetUp() {
    VORLANE_REQUIRE_TOOL("ffprobe");
    VORLANE_REQUIRE_DEMO_SHOOT(made);
    shoot = made;
    StandardDefaults::createIfNeeded(defaults);
    controller =
        std::make_unique<ApplicationController>(ApplicationHooks::standard(), defaults, center);
    controller->addPaths({shoot});
    ASSERT_TRUE(controller->waitForAnalysis(std::chrono::seconds(300)));
    controller->mediaPool().enumerateSyncGroups();
}

bool runXMLExport(MediaPool& pool, int64_t typeItem, const std::filesystem::path& destination,
                  RecordingPanel& panel, bool includeSyncedClips) {
    XMLExportOptionsController options;
    options.xmlTypeSelect(typeItem);
    ExportCommands commands(pool);
    commands.preselectOptions(options);
    options.setSyncedClipsChecked(includeSyncedClips);
    options.readSettings();
    return commands.exportXML(destination, options, panel);
}

}  // namespace vorlane::test
