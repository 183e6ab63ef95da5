// The movie exports on the demo shooting day (made by ffmpeg, libsndfile and libltc's encoder),
// checked by ffmpeg, ffprobe and mediainfo: the synced movie's timecode track, the recorder's clap
// on the camera's clap to the sample, picture packets copied bit for bit, LTC channels silent
// and the others untouched; every file of the embed-timecode run readable with its timecode,
// transport-stream H.264 that decodes frame for frame; names of repeated exports, cancels and a
// full disk that leave nothing half-written.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>

#include "app/ApplicationController.h"
#include "app/ExportCommands.h"
#include "app/StandardDefaults.h"
#include "export/ExportTestSupport.h"
#include "export/MediaExportOptionsController.h"
#include "export/MovieExport.h"
#include "export/MovieExportRun.h"
#include "media/MediaPool.h"
#include "mediagen/DemoShoot.h"
#include "platform/ByteOrder.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class RecordingPanel : public MovieExportRunPanel {
  public:
    void logEntry(const std::string& text) override { log += text; }
    void setPercent(double) override {}
    void stop() override { stopped = true; }
    bool aborted() const override { return abortAfter >= 0 && countOf("...") > size_t(abortAfter); }
    size_t countOf(const std::string& text) const {
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }
    std::string log;
    bool stopped = false;
    int abortAfter = -1;  // aborts once this many files were written
};

// One channel of one audio stream, decoded by ffmpeg to 16-bit samples at 48 kHz.
std::vector<int16_t> channelSamples(const fs::path& file, int stream, int channel) {
    const std::string bytes = test::runTool({"ffmpeg", "-v", "error", "-i", file.string(), "-map",
                                             "0:a:" + std::to_string(stream), "-af",
                                             "pan=mono|c0=c" + std::to_string(channel), "-f",
                                             "s16le", "-c:a", "pcm_s16le", "-ar", "48000", "-"});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The leading edge of the clap: the first sample louder than half the loudest.
int64_t clapSample(const std::vector<int16_t>& samples) {
    int loudest = 0;
    for (const int16_t sample : samples)
        loudest = std::max(loudest, std::abs(int(sample)));
    for (size_t i = 0; i < samples.size(); ++i)
        if (2 * std::abs(int(samples[i])) > loudest) return int64_t(i);
    return -1;
}

std::string probe(const fs::path& file, const std::string& entries,
                  const std::string& select = "") {
    std::vector<std::string> command = {"ffprobe", "-v", "error"};
    if (!select.empty()) command.insert(command.end(), {"-select_streams", select});
    command.insert(command.end(),
                   {"-show_entries", entries, "-of", "default=nw=1:nk=1", file.string()});
    return test::runTool(command);
}

// The checksums of the video frames (decoded) or packets (copied), without their timing.
std::vector<std::string> frameChecksums(const fs::path& file, bool packets) {
    std::vector<std::string> command = {"ffmpeg",      "-v",   "error", "-i",
                                        file.string(), "-map", "0:v:0"};
    if (packets) command.insert(command.end(), {"-c", "copy"});
    command.insert(command.end(), {"-f", "framemd5", "-"});
    std::vector<std::string> sums;
    std::istringstream lines(test::runTool(command));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') sums.push_back(line.substr(line.rfind(',') + 1));
    return sums;
}

class MovieExportTest : public test::AnalysedDemoShootTest {
  protected:
    void SetUp() override {
        AnalysedDemoShootTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (const auto& file : controller->mediaPool().files())
            files[file->name()] = file;
        options.readSettings();
    }

    MovieExportRun run(RecordingPanel& panel,
                       std::shared_ptr<MovieWriter> writer = MovieWriter::standardWriter()) {
        return MovieExportRun(controller->mediaPool(), panel, ExportCommands::logHeader(defaults),
                              std::move(writer));
    }

    std::map<std::string, std::shared_ptr<MediaFile>> files;
    MediaExportOptionsController options;
};

TEST_F(MovieExportTest, SyncedMoviesHoldTheTimecodeTheCopiedPictureAndTheSoundAtItsOffset) {
    const fs::path out = folder / "movies";
    fs::create_directory(out);
    std::map<fs::path, std::string> sources;
    for (const auto& entry : fs::directory_iterator(shoot))
        sources[entry.path()] = test::readFile(entry.path());
    RecordingPanel panel;
    auto movies = run(panel);
    EXPECT_TRUE(movies.exportMovies(out, options));
    EXPECT_EQ(movies.statistics().first, 5);
    EXPECT_TRUE(panel.stopped);
    const std::string log = test::readFile(out / "vorlane_log.txt");
    EXPECT_EQ(log, panel.log);
    EXPECT_NE(log.find("Statistics: 5 file(s) synced, 0 file(s) not synced, 0 file(s) failed."),
              std::string::npos);

    // Camera A's first take: timecode track at the camera's start, 25 fps, 24-hour wrap.
    const fs::path take = out / "A001_C001.mov";
    EXPECT_EQ(probe(take, "stream_tags=timecode", "d"), "10:00:02:00\n");
    EXPECT_EQ(test::runTool(
                  {"mediainfo", "--Inform=Other;%TimeCode_FirstFrame% %FrameRate%", take.string()}),
              "10:00:02:00 25.000\n");
    const std::string keys = test::runTool({"exiftool", "-G1", take.string()});
    for (const char* item :
         {"Make                            : Vorlane",
          "Apple Proapps Modelname         : Demo Camera A",
          "Apple Proapps Reel              : A001", "Apple Proapps Scene             : 12",
          "Software                        : Vorlane"})
        EXPECT_NE(keys.find(item), std::string::npos) << item;
    EXPECT_EQ(frameChecksums(take, true), frameChecksums(shoot / "A001_C001.mov", true));
    // The clap of 10:00:05:00 is picture frame 75: heard there by the camera and the recorder.
    const std::string indexes = probe(take, "stream=index", "a");
    const int streams = int(std::count(indexes.begin(), indexes.end(), '\n'));
    ASSERT_GE(streams, 2);
    EXPECT_EQ(clapSample(channelSamples(take, 0, 0)), 75 * 1920);
    EXPECT_EQ(clapSample(channelSamples(take, streams - 1, 0)), 75 * 1920);

    // Take 3: the lavalier's LTC channel is silent, its sound channel the source's from 1 s on.
    const fs::path third = out / "A001_C003.mov";
    const std::string channels = probe(third, "stream=channels", "a");
    const int lav =
        int(std::count(channels.begin(), channels.begin() + channels.find("2\n"), '\n'));
    const auto ltc = channelSamples(third, lav, 1);
    EXPECT_TRUE(std::all_of(ltc.begin(), ltc.end(), [](int16_t s) { return s == 0; }));
    const auto sound = channelSamples(third, lav, 0);
    const auto source = channelSamples(shoot / "LAV_0001.aif", 0, 0);
    ASSERT_GE(sound.size(), size_t(9 * 48000));
    EXPECT_TRUE(std::equal(sound.begin(), sound.begin() + 9 * 48000, source.begin() + 48000));

    for (const auto& [path, bytes] : sources)
        EXPECT_EQ(test::readFile(path), bytes) << path;
}

TEST_F(MovieExportTest, EmbeddedTimecodeIsReadableInEveryFileAndTransportStreamsDecodeAlike) {
    const fs::path out = folder / "timecode";
    fs::create_directory(out);
    RecordingPanel panel;
    auto embed = run(panel);
    EXPECT_TRUE(embed.exportTimecode(out, options));
    const auto plan = mediagen::demoShootPlan(shoot);
    int written = 0;
    for (const mediagen::DemoFile& file : plan.files) {
        const fs::path stem = out / fs::path(file.name).stem();
        if (file.hasPicture()) {
            EXPECT_EQ(probe(stem.string() + ".mov", "stream_tags=timecode", "d"),
                      file.start.text() + "\n");
        } else if (fs::exists(stem.string() + ".wav")) {
            const int64_t reference = mediagen::samplesSinceMidnight(
                file.start, mediagen::demoShootRate, mediagen::demoShootSampleRate);
            EXPECT_EQ(probe(stem.string() + ".wav", "format_tags=time_reference"),
                      std::to_string(reference) + "\n");
            EXPECT_EQ(
                test::runTool({"mediainfo", "--Inform=Audio;%Delay%", stem.string() + ".wav"}),
                std::to_string(reference / 48) + ".000000\n");
            EXPECT_NE(test::runTool({"exiftool", "-G1", stem.string() + ".wav"})
                          .find("Bwfxml Speed Master Speed       : 25"),
                      std::string::npos);
        } else {
            continue;  // the lavalier carries nothing but LTC besides its sound: passed over
        }
        ++written;
    }
    EXPECT_EQ(embed.statistics().first, written);

    // H.264 in a transport stream, no timecode: copied into a movie that decodes alike.
    const fs::path stream = folder / "AVCHD.m2ts";
    test::runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=d=2:r=25:s=320x240",
                   "-c:v", "libx264", "-bf", "2", "-g", "12", "-f", "mpegts", stream.string()});
    auto pool =
        std::make_unique<ApplicationController>(ApplicationHooks::standard(), defaults, center);
    pool->addPaths({stream});
    ASSERT_TRUE(pool->waitForAnalysis(60s));
    RecordingPanel streamPanel;
    MovieExportRun streamRun(pool->mediaPool(), streamPanel, ExportCommands::logHeader(defaults));
    EXPECT_TRUE(streamRun.exportTimecode(out, options));
    EXPECT_EQ(streamRun.statistics().second, 1);
    EXPECT_EQ(frameChecksums(out / "AVCHD_no_timecode_found.mov", false),
              frameChecksums(stream, false));
}

TEST_F(MovieExportTest, NTSCRatesKeepTheirRateAndDropFrameInTheTimecodeTrack) {
    const fs::path cameras = folder / "ntsc";
    fs::create_directory(cameras);
    for (const auto& [name, rate, timecode] : {std::tuple{"DF.mov", "30000/1001", "01:00:00;00"},
                                               {"P23.mov", "24000/1001", "01:00:00:00"}})
        test::runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                       std::string("testsrc=d=1:s=320x240:r=") + rate, "-c:v", "mpeg4", "-timecode",
                       timecode, (cameras / name).string()});
    auto pool =
        std::make_unique<ApplicationController>(ApplicationHooks::standard(), defaults, center);
    pool->addPaths({cameras});
    ASSERT_TRUE(pool->waitForAnalysis(60s));
    const fs::path out = folder / "ntsc-out";
    fs::create_directory(out);
    RecordingPanel panel;
    EXPECT_TRUE(MovieExportRun(pool->mediaPool(), panel, ExportCommands::logHeader(defaults))
                    .exportTimecode(out, options));
    const auto mediainfo = [](const fs::path& file) {
        return test::runTool(
            {"mediainfo", "--Inform=Other;%TimeCode_FirstFrame% %FrameRate%", file.string()});
    };
    EXPECT_EQ(mediainfo(out / "DF.mov"), "01:00:00;00 29.970\n");
    EXPECT_EQ(mediainfo(out / "P23.mov"), "01:00:00:00 23.976\n");
}

TEST_F(MovieExportTest, RepeatedExportsAreNumberedAndAStoppedOneLeavesNothing) {
    const auto& take = files.at("A001_C002.mov");
    MovieExport exporter(folder.path(), defaults);
    for (int i = 0; i < 3; ++i) {
        exporter.exportClipAsync(take, MovieFileType::QuickTimeMovie);
        EXPECT_FALSE(exporter.exportFailed()) << exporter.errorMessage();
    }
    for (const char* name :
         {"A001_C002.mov", "A001_C002_vorlane001.mov", "A001_C002_vorlane002.mov"})
        EXPECT_TRUE(fs::exists(folder / name)) << name;

    const fs::path out = folder / "stopped";
    fs::create_directory(out);
    MovieExport stopped(out, defaults);
    stopped.setCancelExporting(true);
    stopped.exportClipAsync(take, MovieFileType::QuickTimeMovie);
    EXPECT_TRUE(stopped.exportFailed());
    EXPECT_EQ(stopped.errorMessage(), "manually stopped");
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(MovieExportTest, EveryOfferedEncoderWritesAMovieThatDecodesCompletely) {
    for (const auto& [codec, encoder] : {std::pair{fourCC("apch"), "prores_ks"},
                                         {fourCC("AVdh"), "dnxhd"},
                                         {fourCC("avc1"), "libx264"}}) {
        if (!MovieWriter::encoderAvailable(encoder)) continue;
        SCOPED_TRACE(encoder);
        MovieExport exporter(folder.path(), defaults);
        exporter.setVideoCodec(codec);
        exporter.setExportName(encoder);
        exporter.exportClipAsync(files.at("A001_C001.mov"), MovieFileType::QuickTimeMovie);
        ASSERT_FALSE(exporter.exportFailed()) << exporter.errorMessage();
        EXPECT_EQ(frameChecksums(*exporter.outputURL(), false).size(), 250u);
    }
}

// A writer whose second movie finds the disk full.
class FillingWriter : public MovieWriter {
  public:
    MovieWriteResult writeMovie(const MovieWriterJob& job, const MovieWriterObserver&) override {
        if (++written == 2) return {MovieWriteStatus::DiskFull, "No space left on device"};
        test::writeFile(job.destination, "movie");
        return {};
    }
    int written = 0;
};

TEST_F(MovieExportTest, AFullDiskEndsTheRunWithItsLogAndACancelStopsAfterTheFile) {
    const fs::path out = folder / "full";
    fs::create_directory(out);
    RecordingPanel panel;
    auto full = run(panel, std::make_shared<FillingWriter>());
    EXPECT_FALSE(full.exportMovies(out, options));
    EXPECT_EQ(full.statistics().first + full.statistics().failed, 2);
    EXPECT_NE(panel.log.find("\n>>>> error 28: No space left on device"), std::string::npos);
    EXPECT_EQ(panel.log.find("...failed!"), std::string::npos);
    EXPECT_EQ(test::readFile(out / "vorlane_log.txt"), panel.log);

    const fs::path cancelled = folder / "cancelled";
    fs::create_directory(cancelled);
    RecordingPanel cancelling;
    cancelling.abortAfter = 0;
    auto stopped = run(cancelling, std::make_shared<FillingWriter>());
    stopped.exportTimecode(cancelled, options);
    EXPECT_NE(cancelling.log.find("Export has been cancelled by user..."), std::string::npos);
    EXPECT_EQ(stopped.statistics().first + stopped.statistics().second, 1);
}

TEST_F(MovieExportTest, TheCommandRefusesAFolderItCannotWriteAndConvertsTheSound) {
    const fs::path config = folder / "config";
    const auto missing = test::runVorlane(
        config,
        {"export", "movies", "-o", (folder / "none").string(), (shoot / "A001_C001.mov").string()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.standardError.find("no such folder"), std::string::npos);

    const fs::path out = folder / "cli";
    fs::create_directory(out);
    const auto written =
        test::runVorlane(config, {"export", "timecode", "--quiet", "--audio", "lpcm-96-24", "-o",
                                  out.string(), (shoot / "A001_C001.mov").string()});
    EXPECT_EQ(written.exitStatus, 0) << written.standardError;
    EXPECT_NE(written.standardOutput.find("1 file(s) with timecode"), std::string::npos);
    EXPECT_EQ(probe(out / "A001_C001.mov", "stream=sample_rate,bits_per_sample", "a"),
              "96000\n24\n");
}

}  // namespace
}  // namespace vorlane
