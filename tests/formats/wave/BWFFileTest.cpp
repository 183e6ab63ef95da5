#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "formats/wave/BWFFile.h"
#include "formats/wave/BextRecord.h"
#include "formats/wave/RiffFile.h"
#include "formats/wave/WavBytes.h"
#include "platform/ByteOrder.h"
#include "support/Sndfile.h"
#include "support/TestSupport.h"
#include "support/Words.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using test::chunk;
using test::fmtPayload;
using test::riff;

struct BextFields {
    std::string description;
    std::string originator;
    std::string date = "2024-03-09";
    std::string time = "14:03:07";
    uint64_t timeReference = 0;
};

// A `bext` payload of the full record, or only its first `length` bytes.
std::string bextPayload(const BextFields& fields, size_t length = BextRecord::kSize) {
    std::string record(BextRecord::kSize, '\0');
    record.replace(0, fields.description.size(), fields.description);
    record.replace(256, fields.originator.size(), fields.originator);
    record.replace(320, fields.date.size(), fields.date);
    record.replace(330, fields.time.size(), fields.time);
    record.replace(338, 8, test::le64(fields.timeReference));
    return record.substr(0, length);
}

std::string pcm(size_t frames, size_t blockAlign = 6) {
    std::string samples(frames * blockAlign, '\0');
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = char(i * 7);
    return samples;
}

std::shared_ptr<BWFFile> analysed(const fs::path& path) {
    auto file = std::make_shared<BWFFile>(path);
    file->analyzeWithOptions({});
    return file;
}

std::shared_ptr<BWFFile> analysedBytes(const test::ScratchFolder& folder, const std::string& bytes,
                                       const std::string& name = "take.wav") {
    test::writeFile(folder / name, bytes);
    return analysed(folder / name);
}

std::string timecodeText(const MediaFile& file) {
    const auto timecode = file.fileTimecode();
    return timecode ? timecode->timecodeString(TCOptionNone) : "none";
}

// The fields of one row of a recorder's sound report (comma separated, quoted texts).
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

std::vector<std::string> reportRow(const fs::path& report, const std::string& fileName) {
    std::string line;
    for (char c : test::readFile(report) + "\r") {
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        const auto fields = csvFields(line);
        if (fields[0] == fileName) return fields;
        line.clear();
    }
    return {};
}

TEST(BWFFileTest, RecorderFilesMatchTheRecordersSoundReport) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const fs::path folder = testdata / "bwf" / "sounddevices";
    for (auto [name, start] :
         {std::pair{"A101_1.WAV", "12:39:59:00"}, {"A101_2.WAV", "12:40:04:00"}}) {
        SCOPED_TRACE(name);
        auto file = analysed(folder / name);
        // File Name, Channels, Tape, Scene, Take, Sample Rate, Frame Rate, Bit Depth, Length,
        // Start TC, Wild, Circled, User, Notes, T1, T2
        const auto row = reportRow(folder / "WaveAgentSoundReport.csv", name);
        ASSERT_GE(row.size(), 16u);
        const auto timecode = file->fileTimecode();
        ASSERT_TRUE(timecode);
        EXPECT_EQ(timecode->timecodeString(TCOptionNone), start);
        EXPECT_EQ(row[9], start);
        EXPECT_EQ(row[6], "23.97 ND");
        EXPECT_EQ(timecode->frameRate(), 24000.0 / 1001);
        EXPECT_FALSE(timecode->dropFrame());
        EXPECT_EQ(file->reel(), row[2]);
        EXPECT_EQ(file->scene(), row[3]);
        EXPECT_EQ(std::stoi(file->take().value_or("0")), std::stoi(row[4]));
        auto audio = file->firstAudioTrack();
        ASSERT_TRUE(audio);
        EXPECT_EQ(std::to_string(int(audio->audioSampleRate())), row[5]);
        EXPECT_EQ(std::to_string(audio->audioBitDepth()), row[7]);
        EXPECT_EQ(audio->audioChannelCount(), 2u);
        EXPECT_EQ(int(std::lround(file->duration().seconds())), std::stoi(row[8].substr(6)));
        const MetadataList* channels = audio->metaData().at(kAudioChannelList).list();
        ASSERT_TRUE(channels && channels->size() == 2);
        EXPECT_EQ(metadataString(*(*channels)[0].dictionary(), kAudioChannelName), row[14]);
        EXPECT_EQ(metadataString(*(*channels)[1].dictionary(), kAudioChannelName), row[15]);
        EXPECT_EQ(file->manufacturer(), "Sound Devices");
        EXPECT_EQ(file->modelname(), "702T");
        EXPECT_EQ(file->serialnumber(), "S#GR1112089007");
        EXPECT_EQ(file->uniqueDeviceID(), "SOUNDDEVICES702TS#GR1112089007");
    }
}

TEST(BWFFileTest, FfmpegBextGivesTheTimecodeItWasTold) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    auto make = [&](const std::string& name, const std::string& reference,
                    const std::string& description, const std::string& codec) {
        test::runTool(test::words(
            "ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=0.2 -ac 2 "
            "-write_bext 1 -metadata origination_date=2024-03-09 -metadata "
            "origination_time=14:03:07 -c:a " +
                codec + " -metadata time_reference=" + reference,
            {"-metadata", "description=" + description, "-metadata", "originator=SoundDev: X1 S42",
             (folder / name).string()}));
        return analysed(folder / name);
    };
    auto plain = make("plain.wav", "172800000", "", "pcm_s16le");
    EXPECT_EQ(timecodeText(*plain), "01:00:00.000");  // no rate: seconds
    EXPECT_EQ(plain->fileTimecode()->time(), CMTimeMake(3600, 1));
    EXPECT_EQ(plain->modelname(), "X1");
    EXPECT_EQ(plain->serialnumber(), "S42");
    EXPECT_EQ(plain->firstAudioTrack()->audioBitDepth(), 16u);

    auto pal =
        make("pal.wav", "172800000", "sSPEED=025.000-ND\r\nsSCENE=7B\r\nsTAKE=3\r\n", "pcm_s24le");
    EXPECT_EQ(timecodeText(*pal), "01:00:00:00");
    EXPECT_EQ(pal->scene(), "7B");
    EXPECT_EQ(pal->take(), "3");
    EXPECT_EQ(pal->firstAudioTrack()->audioBitDepth(), 24u);  // extensible format

    auto ntsc = make("ntsc.wav", "172801268", "sSPEED=029.970-DF\r\n", "pcm_s24le");
    EXPECT_EQ(timecodeText(*ntsc), "01:00:00;00");
    EXPECT_EQ(ntsc->fileTimecode()->frameRate(), 30000.0 / 1001);
    // A frame boundary at 23.976: the decimal rate would count one frame short.
    auto film = make("film.wav", "2190940752", "sSPEED=023.976-ND\r\n", "pcm_s16le");
    EXPECT_EQ(timecodeText(*film), "12:39:59:00");

    std::tm parts{};
    parts.tm_year = 124;
    parts.tm_mon = 2;
    parts.tm_mday = 9;
    parts.tm_hour = 14;
    parts.tm_min = 3;
    parts.tm_sec = 7;
    parts.tm_isdst = -1;
    EXPECT_EQ(*pal->metaDataValue(kOriginalCreationDate)->date(),
              std::chrono::system_clock::from_time_t(std::mktime(&parts)));
}

// A 24-bit stereo BWF made by libsndfile with its own `bext` and an iXML chunk.
void writeWithSndfile(const fs::path& path, uint64_t timeReference, const std::string& iXML,
                      const char* originator = "libsndfile") {
    test::writeWithSndfile(path, {.timeReference = timeReference,
                                  .originator = originator,
                                  .description = "sSPEED=025.000-ND\r\nsSCENE=ignored\r\n",
                                  .iXML = iXML});
}

TEST(BWFFileTest, LibsndfileIXMLDecidesRateFlagUserBitsAndChannels) {
    test::ScratchFolder folder;
    writeWithSndfile(folder / "df.wav", 172801268,
                     "<?xml version=\"1.0\"?>\n<BWFXML><SPEED><TIMECODE_RATE>30000/1001"
                     "</TIMECODE_RATE><TIMECODE_FLAG>df</TIMECODE_FLAG></SPEED><UBITS>00A1b2C3"
                     "</UBITS><tape>R7</tape><NOTE></NOTE><HISTORY><ORIGINAL_FILENAME>X.WAV"
                     "</ORIGINAL_FILENAME></HISTORY><FILE_SET><TOTAL_FILES>4</TOTAL_FILES>"
                     "<FAMILY_UID>F1</FAMILY_UID></FILE_SET><TRACK_LIST><TRACK><CHANNEL_INDEX>3"
                     "</CHANNEL_INDEX><NAME>Lav</NAME><FUNCTION>LEFT</FUNCTION></TRACK>"
                     "</TRACK_LIST><USER><AUDIO_RECORDER_MODEL>Nova</AUDIO_RECORDER_MODEL>"
                     "<AUDIO_RECORDER_SERIAL_NUMBER>77</AUDIO_RECORDER_SERIAL_NUMBER></USER>"
                     "</BWFXML>",
                     "ZAXCOM");
    auto file = analysed(folder / "df.wav");
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->frameRate(), 30000.0 / 1001);
    EXPECT_TRUE(timecode->dropFrame());
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "01:00:00;00");
    EXPECT_EQ(timecode->rawUserBits(), 0x00a1b2c3u);
    EXPECT_EQ(file->scene(), std::nullopt);  // the description is not read beside iXML
    EXPECT_EQ(file->reel(), "R7");
    EXPECT_FALSE(file->metaDataValue(kNote));
    EXPECT_EQ(file->metaDataString(kOriginalFilename), "X.WAV");
    EXPECT_EQ(file->metaDataString(kBWFFileSetTotalFiles), "4");
    EXPECT_EQ(file->metaDataString(kBWFFileSetFamilyUID), "F1");
    EXPECT_EQ(file->modelname(), "Nova");  // iXML wins over the originator
    EXPECT_EQ(file->serialnumber(), "77");
    auto audio = file->firstAudioTrack();
    EXPECT_EQ(audio->trackNumber(), 3);
    const MetadataDictionary channel =
        *(*audio->metaData().at(kAudioChannelList).list())[0].dictionary();
    EXPECT_EQ(channel, (MetadataDictionary{{kAudioChannelIndex, "3"},
                                           {kAudioChannelName, "Lav"},
                                           {kAudioChannelRouting, "LEFT"}}));
    EXPECT_TRUE(file->metaDataValue(kBWFiXML)->bytes());
    EXPECT_EQ(file->metaDataValue(kBWFbext)->bytes()->size(), BextRecord::kSize);

    writeWithSndfile(folder / "bad.wav", 48000,
                     "<BWFXML><SPEED><TIMECODE_RATE>25/0</TIMECODE_RATE></SPEED></BWFXML>");
    EXPECT_EQ(analysed(folder / "bad.wav")->fileTimecode()->frameRate(), 0.0);
    writeWithSndfile(folder / "garbage.wav", 48000, "\x01\x02 not xml <<<");
    auto garbage = analysed(folder / "garbage.wav");
    EXPECT_EQ(timecodeText(*garbage), "00:00:01.000");  // no rate, and no description either
    EXPECT_TRUE(garbage->metaDataValue(kBWFiXML));
}

// Description lines and originators the recorder files and ffmpeg's bext above do not show.
TEST(BWFFileTest, DescriptionLinesOriginatorsAndDevices) {
    EXPECT_EQ(BWFFile::findArgument("SCENE=", "sSPEED=025\r\nsSCENE=12\r\nzSCENE=13"), "12");
    EXPECT_EQ(BWFFile::findArgument("TAPE=", "sTAKE=4"), std::nullopt);
    EXPECT_EQ(BWFFile::findArgument("", "x"), std::nullopt);

    test::ScratchFolder folder;
    struct Case {
        std::string originator, description;
        const char *maker, *model, *serial;
        double rate;
        bool dropFrame;
    };
    for (const Case& c : std::vector<Case>{
             {"Sound Dev: B C", "sSPEED=025.000-ND\r\n", "Sound Devices", "B", "C", 25.0, false},
             // Five parts: not the recorder's pattern.
             {"Sound Dev: A B C", "", nullptr, "Sound Dev: A B C", nullptr, 0.0, false},
             {"Sound Dev: 633", "sSPEED=023.976-ND", nullptr, "Sound Dev: 633", nullptr,
              24000.0 / 1001, false},
             {"ZOOM F8n  ", "sSPEED=12.5", nullptr, "ZOOM F8n", nullptr, 12.5, false},
             {"", "no keys here", nullptr, nullptr, nullptr, 0.0, false}}) {
        SCOPED_TRACE(c.originator);
        auto file = analysedBytes(
            folder, riff(chunk("bext", bextPayload({c.description, c.originator})) +
                         chunk("fmt ", fmtPayload(2, 48000, 24)) + chunk("data", pcm(10))));
        EXPECT_EQ(file->manufacturer(),
                  c.maker ? std::optional<std::string>(c.maker) : std::nullopt);
        EXPECT_EQ(file->modelname(), c.model ? std::optional<std::string>(c.model) : std::nullopt);
        EXPECT_EQ(file->serialnumber(),
                  c.serial ? std::optional<std::string>(c.serial) : std::nullopt);
        EXPECT_EQ(file->fileTimecode()->frameRate(), c.rate);
        EXPECT_EQ(file->fileTimecode()->dropFrame(), c.dropFrame);
    }

    // Zaxcom recorders write one file per channel; each mono file counts as its own device.
    auto zaxcom = analysedBytes(
        folder, riff(chunk("bext", bextPayload({"sTAPE=day2\r\n", "Zaxcom Nomad"})) +
                     chunk("fmt ", fmtPayload(1, 48000, 24)) + chunk("data", pcm(10, 3))));
    EXPECT_EQ(zaxcom->uniqueDeviceID(), "ZAXCOMNOMADDAY2");
    auto poly = analysedBytes(
        folder, riff(chunk("bext", bextPayload({"sTAPE=day2\r\n", "Zaxcom Nomad"})) +
                     chunk("fmt ", fmtPayload(2, 48000, 24)) + chunk("data", pcm(10))));
    EXPECT_EQ(poly->uniqueDeviceID(), "ZAXCOMNOMAD");
}

TEST(BWFFileTest, DamagedFilesEndAnalysisWithWhatWasRead) {
    test::ScratchFolder folder;
    const std::string fmt = chunk("fmt ", fmtPayload(2, 48000, 24));
    const std::string bext = chunk("bext", bextPayload({"", "Rec", "", "", 48000}));
    const std::string good = riff(bext + fmt + chunk("data", pcm(480)));

    auto plain = analysedBytes(folder, riff(fmt + chunk("data", pcm(480))));
    ASSERT_EQ(plain->tracks().size(), 1u);
    EXPECT_EQ(plain->firstAudioTrack()->fourCC(), fourCC("lpcm"));
    EXPECT_EQ(plain->firstAudioTrack()->sourceTrackID(), 1);
    EXPECT_EQ(plain->duration(), CMTimeMake(480, 48000));
    EXPECT_EQ(plain->fileContainerType(), MediaFileContainerWAVE);
    EXPECT_FALSE(plain->hasTimecode());

    struct Case {
        const char* what;
        std::string bytes;
        size_t tracks;
        const char* timecode;
    };
    const std::vector<Case> cases = {
        {"empty", "", 0, "none"},
        {"header only", "RIFF", 0, "none"},
        {"cut in fmt", good.substr(0, 12 + bext.size() + 14), 0, "none"},
        {"cut in data", good.substr(0, good.size() - 101), 1, "00:00:01.000"},
        {"data past the end", riff(bext + fmt + chunk("data", pcm(10), true, 1 << 30)), 1,
         "00:00:01.000"},
        {"bext past the end",
         riff(fmt + chunk("data", pcm(10)) +
              chunk("bext", bextPayload({}).substr(0, 400), true, 858)),
         1, "00:00:00.000"},
        {"odd chunk without pad",
         riff(chunk("junk", "abc", false) + bext + fmt + chunk("data", pcm(10))), 1,
         "00:00:01.000"},
        {"bext with TimeReference only",
         riff(chunk("bext", bextPayload({"", "", "", "", 96000}, 346)) + fmt +
              chunk("data", pcm(10))),
         1, "00:00:02.000"},
        {"bext without TimeReference",
         riff(chunk("bext", bextPayload({"", "Rec", "", "", 96000}, 300)) + fmt +
              chunk("data", pcm(10))),
         1, "none"},
        {"garbage iXML",
         riff(bext + chunk("iXML", std::string("\0<\xff\xfe", 4)) + fmt + chunk("data", pcm(10))),
         1, "00:00:01.000"},
        {"iXML too large to be metadata",
         riff(bext + chunk("iXML", "<BWFXML>" + std::string(1 << 20, ' ') + "</BWFXML>") + fmt +
              chunk("data", pcm(10))),
         1, "00:00:01.000"},
        {"RF64 without ds64", riff(bext + fmt + chunk("data", pcm(10), true, 0xFFFFFFFF), "RF64"),
         1, "00:00:01.000"},
        {"no data", riff(bext + fmt), 0, "none"},
        {"compressed format",
         riff(bext + chunk("fmt ", fmtPayload(2, 48000, 16, 0x55)) + chunk("data", pcm(10))), 0,
         "none"},
        {"zero sample rate",
         riff(bext + chunk("fmt ", fmtPayload(2, 0, 16)) + chunk("data", pcm(10))), 0, "none"},
        {"float", riff(bext + chunk("fmt ", fmtPayload(2, 48000, 32, 3)) + chunk("data", pcm(10))),
         1, "00:00:01.000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto file = analysedBytes(folder, c.bytes);
        EXPECT_EQ(file->tracks().size(), c.tracks + (std::string(c.timecode) != "none"));
        EXPECT_EQ(timecodeText(*file), c.timecode);
    }
    auto shortBext = analysedBytes(folder, cases[8].bytes);
    EXPECT_EQ(shortBext->fileContainerType(), MediaFileContainerBWF);
    EXPECT_EQ(shortBext->modelname(), "Rec");
    EXPECT_EQ(shortBext->metaDataValue(kBWFbext)->bytes()->size(), BextRecord::kSize);
    auto badDate =
        analysedBytes(folder, riff(chunk("bext", bextPayload({"", "", "2024-02-30", "12:00:00"})) +
                                   fmt + chunk("data", pcm(1))));
    EXPECT_FALSE(badDate->metaDataValue(kOriginalCreationDate));
    EXPECT_FALSE(analysed(folder / "missing.wav")->hasAudio());
}

TEST(BWFFileTest, ZoomSplitRecordings) {
    test::ScratchFolder folder;
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "ZOOM0001.WAV"));  // folder is empty
    test::writeFile(folder / "ZOOM0001.WAV", "");
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "ZOOM0001.WAV"));  // alone
    test::writeFile(folder / ".ZOOM0002.WAV", "");
    test::writeFile(folder / "ZOOM0001.hprj", "");
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "ZOOM0001.WAV"));  // no second recording
    test::writeFile(folder / "ZOOM0002.wav", "");
    test::writeFile(folder / "TAKE0001.WAV", "");
    fs::create_directory(folder / "ZOOM0003.WAV");
    EXPECT_EQ(BWFFile::zoomFilesForURL(folder / "ZOOM0002.wav"),
              (std::vector{folder / "ZOOM0001.WAV", folder / "ZOOM0002.wav"}));
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "TAKE0001.WAV"));
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "ZOOM001.WAV"));
    EXPECT_FALSE(BWFFile::zoomFilesForURL(folder / "ZOOMA001.WAV"));
    EXPECT_TRUE(BWFFile::isSupportedURL("/a/b.Wav"));
    EXPECT_FALSE(BWFFile::isSupportedURL("/a/b.wave"));
}

std::string audioData(const fs::path& path) {
    auto file = RiffFile::open(path);
    const auto data = file ? file->chunkData(fourCC("data")) : std::nullopt;
    return data ? std::string(data->begin(), data->end()) : std::string();
}

void ffmpegWav(const fs::path& path, const std::string& codec, int channels) {
    test::runTool(
        test::words("ffmpeg -v error -f lavfi -i "
                    "sine=frequency=440:sample_rate=48000:duration=0.3 -c:a " +
                        codec + " -ac " + std::to_string(channels),
                    {path.string()}));
}

TEST(BWFFileTest, WrittenTimecodeIsReadByOtherToolsAndKeepsTheAudio) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    // A camera file at 23.976 whose start, taken as seconds in floating point times the sample
    // rate, would come out one sample short. The 24-bit and six-channel targets are written by
    // ffmpeg in the extensible format.
    auto source = std::make_shared<MediaFile>(folder / "A001.mov");
    auto timecode = TCHelper::helperWithFrameRate(24000.0 / 1001, false);
    ASSERT_TRUE(timecode->setTimecodeString("10:00:00:01"));
    timecode->setType(TCTypeFile);
    timecode->setRawUserBits(0x12311801);
    source->addTimecodeTrackWithTCHelper(timecode);
    source->setMetaDataValue(kScene, "A101");
    source->setMetaDataValue(kTake, "2");

    for (auto [name, codec, channels] : {std::tuple{"stereo24.wav", "pcm_s24le", 2},
                                         {"mono16.wav", "pcm_s16le", 1},
                                         {"six24.wav", "pcm_s24le", 6}}) {
        SCOPED_TRACE(name);
        const fs::path target = folder / name;
        ffmpegWav(target, codec, channels);
        const std::string audioBefore = audioData(target);
        const auto samplesBefore = test::readWithSndfile(target)->samples;
        ASSERT_TRUE(BWFFile::writeBWFTimecodeOfMediaFile(*source, target));

        const auto written = *test::readWithSndfile(target);
        EXPECT_EQ(written.timeReference, 1729730002u);
        EXPECT_EQ(written.originator, "Vorlane Studio");
        EXPECT_EQ(written.samples, samplesBefore);
        EXPECT_EQ(audioData(target), audioBefore);
        EXPECT_EQ(test::probedTag(target, "time_reference"), "1729730002");

        auto reread = analysed(target);
        EXPECT_EQ(timecodeText(*reread), "10:00:00:01");
        EXPECT_EQ(reread->fileTimecode()->frameRate(), 24000.0 / 1001);
        EXPECT_EQ(reread->fileTimecode()->rawUserBits(), 0x12311801u);
        EXPECT_EQ(reread->scene(), "A101");
        EXPECT_EQ(reread->take(), "2");
        EXPECT_EQ(reread->firstAudioTrack()->audioChannelCount(), unsigned(channels));
    }
    EXPECT_NE(test::readWithSndfile(folder / "mono16.wav")
                  ->iXML->find("<TIMECODE_RATE>24000/1001</TIMECODE_RATE>\n        "
                               "<TIMECODE_FLAG>NDF</TIMECODE_FLAG>"),
              std::string::npos);

    // Float audio is no target; neither is a file that is no WAV. Both stay as they were.
    const fs::path floating = folder / "float.wav";
    ffmpegWav(floating, "pcm_f32le", 2);
    const fs::path text = folder / "notes.wav";
    test::writeFile(text, "not a wave file");
    for (const fs::path& path : {floating, text, folder / "missing.wav"}) {
        const std::string before = fs::exists(path) ? test::readFile(path) : "";
        EXPECT_FALSE(BWFFile::writeBWFTimecodeOfMediaFile(*source, path)) << path;
        EXPECT_EQ(fs::exists(path) ? test::readFile(path) : "", before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 5);
}

TEST(BWFFileTest, RecorderMetadataIsCarriedIntoTheWrittenFile) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const fs::path original = testdata / "bwf" / "sounddevices" / "A101_1.WAV";
    auto recording = analysed(original);
    const fs::path target = folder / "export.wav";
    ffmpegWav(target, "pcm_s24le", 2);
    ASSERT_TRUE(BWFFile::writeBWFTimecodeOfMediaFile(*recording, target));
    const auto written = *test::readWithSndfile(target);
    EXPECT_EQ(written.timeReference, 2190940753u);
    EXPECT_EQ(written.originator, "Sound Dev: 702T S#GR1112089007");
    auto originalIXML = RiffFile::open(original)->chunkData(fourCC("iXML"));
    EXPECT_EQ(written.iXML, std::string(originalIXML->begin(), originalIXML->end()));
    auto reread = analysed(target);
    EXPECT_EQ(timecodeText(*reread), "12:39:59:00");
    EXPECT_EQ(reread->metaDataValue(kBWFbext), recording->metaDataValue(kBWFbext));
    EXPECT_EQ(reread->modelname(), "702T");
}

}  // namespace
}  // namespace vorlane
