#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "formats/wave/RiffWriter.h"
#include "formats/wave/WavBytes.h"
#include "platform/ByteOrder.h"
#include "support/Sndfile.h"
#include "support/TestSupport.h"
#include "support/Words.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using test::chunk;
using test::fmtPayload;
using test::readWithSndfile;
using test::riff;

constexpr uint64_t kTimeReferenceOffset = 338;

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// An 858-byte `bext` record with originator and time reference.
std::vector<uint8_t> bextRecord(uint64_t timeReference, const std::string& originator) {
    std::vector<uint8_t> record(858, 0);
    std::memcpy(record.data() + 256, originator.data(), std::min<size_t>(originator.size(), 31));
    writeLE64(record.data() + kTimeReferenceOffset, timeReference);
    record[346] = 1;  // version
    return record;
}

std::string ids(const RiffFile& file) {
    std::string text;
    for (const auto& c : file.chunks())
        text += (text.empty() ? "" : ",") + fourCCString(c.id);
    return text;
}

std::vector<uint8_t> rawData(const fs::path& path) {
    auto file = RiffFile::open(path);
    if (!file) return {};
    return file->chunkData(fourCC("data")).value_or(std::vector<uint8_t>{});
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A 24-bit stereo BWF made by libsndfile, with its own `bext` and an iXML chunk.
void writeWithSndfile(const fs::path& path, int format, uint64_t timeReference,
                      const std::string& ixml) {
    test::writeWithSndfile(path, {.format = format,
                                  .timeReference = timeReference,
                                  .originator = "libsndfile test",
                                  .iXML = ixml});
}

std::string decodedMd5(const fs::path& path) {
    return test::runTool(
        test::words("ffmpeg -v error -i", {path.string(), "-map", "0:a", "-f", "md5", "-"}));
}

std::string probedTimeReference(const fs::path& path) {
    return test::probedTag(path, "time_reference");
}

const std::string kNewIxml =
    "<?xml version=\"1.0\"?><BWFXML><IXML_VERSION>1.5</IXML_VERSION>"
    "<SCENE>12</SCENE></BWFXML>";

// Files of libsndfile (BWF with its own bext and iXML, RF64), ffmpeg (extensible format with a
// bext, RF64) and sox: our reader sees what libsndfile sees in the source; the written copy has
// the new bext and iXML before the audio, stays plain RIFF when small, and libsndfile, ffprobe and
// ffmpeg's decoder find the same audio and our time reference in it. The source is untouched.
TEST(RiffWriterTest, ReplacesAndAddsChunksInFilesOfOtherTools) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    VORLANE_REQUIRE_TOOL("sox");
    test::ScratchFolder folder;
    const auto sndfileWav = folder / "sndfile.wav";
    writeWithSndfile(sndfileWav, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1000, "<BWFXML>old</BWFXML>");
    const auto sndfileRf64 = folder / "sndfile_rf64.wav";
    writeWithSndfile(sndfileRf64, SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 777, "<BWFXML/>");
    const auto ffmpegBext = folder / "ffmpeg_bext.wav";
    test::runTool(
        test::words("ffmpeg -v error -f lavfi -i sine=sample_rate=48000:duration=0.5 "
                    "-ac 2 -c:a pcm_s24le -write_bext 1 -metadata time_reference=86400000",
                    {ffmpegBext.string()}));
    const auto ffmpegRf64 = folder / "ffmpeg_rf64.wav";
    test::runTool(
        test::words("ffmpeg -v error -f lavfi -i sine=sample_rate=48000:duration=0.25 "
                    "-rf64 always",
                    {ffmpegRf64.string()}));
    const auto soxFile = folder / "sox.wav";
    test::runTool(test::words("sox -n -r 44100 -b 16 -c 1",
                              {soxFile.string(), "synth", "0.3", "sine", "300"}));

    for (const auto& [source, kind] : {std::pair{sndfileWav, RiffKind::RIFF},
                                       {sndfileRf64, RiffKind::RF64},
                                       {ffmpegBext, RiffKind::RIFF},
                                       {ffmpegRf64, RiffKind::RF64},
                                       {soxFile, RiffKind::RIFF}}) {
        SCOPED_TRACE(source.filename().string());
        const std::string sourceBytes = test::readFile(source);
        const auto before = readWithSndfile(source);
        auto parsed = RiffFile::open(source);
        ASSERT_TRUE(parsed && before);
        EXPECT_FALSE(parsed->damaged());
        EXPECT_EQ(parsed->kind(), kind);
        EXPECT_EQ(int64_t(parsed->sampleFrameCount().value_or(0)), before->frames);
        if (const auto bext = parsed->chunkData(fourCC("bext")); bext && bext->size() >= 346) {
            EXPECT_EQ(readLE64(bext->data() + kTimeReferenceOffset), before->timeReference);
        }
        if (const auto ixml = parsed->chunkData(fourCC("iXML"))) {
            ASSERT_TRUE(before->iXML);
            EXPECT_EQ(std::string(ixml->begin(), ixml->end()).substr(0, before->iXML->size()),
                      before->iXML);
        }

        const auto target = folder / ("out_" + source.filename().string());
        ASSERT_TRUE(
            RiffWriter::writeFileWithChunks(source, target,
                                            {{fourCC("bext"), bextRecord(3600 * 48000, "X")},
                                             {fourCC("iXML"), bytesOf(kNewIxml)}}));
        EXPECT_EQ(test::readFile(source), sourceBytes);
        const auto after = readWithSndfile(target);
        ASSERT_TRUE(after);
        EXPECT_EQ(after->timeReference, uint64_t(3600 * 48000));
        EXPECT_EQ(after->iXML, kNewIxml);
        EXPECT_EQ(after->samples, before->samples);
        EXPECT_EQ(probedTimeReference(target), std::to_string(3600 * 48000));
        EXPECT_EQ(decodedMd5(target), decodedMd5(source));
        EXPECT_EQ(rawData(target), rawData(source));
        auto written = RiffFile::open(target);
        ASSERT_TRUE(written);
        EXPECT_FALSE(written->damaged());
        EXPECT_EQ(written->kind(), RiffKind::RIFF);
        EXPECT_FALSE(written->findChunk(fourCC("ds64")));
        // Other chunks keep their order; the new ones stand before the audio, once each.
        EXPECT_EQ(written->chunks().back().id, fourCC("data"));
        EXPECT_EQ(std::count_if(written->chunks().begin(), written->chunks().end(),
                                [](const auto& c) { return c.id == fourCC("bext"); }),
                  1);
    }
}

// A sparse WAV whose data runs past 4 GiB: the result must be RF64 with the sizes in ds64.
TEST(RiffWriterTest, SwitchesToRf64BeyondFourGiB) {
    test::ScratchFolder folder;
    const auto source = folder / "large.wav";
    const uint64_t dataSize = (uint64_t(1) << 32) + 48000 * 4;  // stereo 16-bit frames
    const std::string head =
        riff(chunk("fmt ", fmtPayload(2, 48000, 16)) + chunk("data", "", true, 0xFFFFFFFF), "RIFF",
             0xFFFFFFFF);
    {
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
        // Marks at the start, across the 4 GiB line and at the very end of the audio.
        for (const uint64_t at : {uint64_t(0), (uint64_t(1) << 32) - 2, dataSize - 4}) {
            ASSERT_EQ(::pwrite(fd, "MARK", 4, off_t(head.size() + at)), 4);
        }
        ASSERT_EQ(::ftruncate(fd, off_t(head.size() + dataSize)), 0);
        ::close(fd);
    }
    const auto target = folder / "large_bwf.wav";
    auto parsed = RiffFile::open(source);
    ASSERT_TRUE(parsed);
    // An even-length iXML: libsndfile 1.2 does not skip the pad byte after odd chunks in RF64
    // files (ffmpeg and our reader do), which would hide the rest of this check.
    std::string ixml = kNewIxml;
    if (ixml.size() % 2) ixml += ' ';
    ASSERT_TRUE(RiffWriter::writeFileWithChunks(
        *parsed, target, {{fourCC("bext"), bextRecord(1, "Z")}, {fourCC("iXML"), bytesOf(ixml)}}));

    auto written = RiffFile::open(target);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->kind(), RiffKind::RF64);
    EXPECT_EQ(ids(*written), "ds64,fmt ,bext,iXML,data");
    EXPECT_FALSE(written->damaged());
    const RiffChunk* data = written->findChunk(fourCC("data"));
    EXPECT_EQ(data->size, dataSize);
    EXPECT_EQ(data->payloadOffset + data->size, written->fileSize());
    EXPECT_EQ(written->sampleFrameCount(), dataSize / 4);
    const auto ds64 = written->chunkData(fourCC("ds64"));
    ASSERT_TRUE(ds64 && ds64->size() >= 28);
    EXPECT_EQ(readLE64(ds64->data()), written->fileSize() - 8);
    EXPECT_EQ(readLE64(ds64->data() + 16), dataSize / 4);
    for (const uint64_t at : {uint64_t(0), (uint64_t(1) << 32) - 2, dataSize - 4}) {
        EXPECT_EQ(written->readPayload(*data, at, 4), bytesOf("MARK")) << at;
    }
    // Holes stayed holes: the copy wrote kilobytes, not gigabytes.
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_LT(uint64_t(info.st_blocks) * 512, uint64_t(64) << 20);

    // libsndfile and ffprobe read the RF64 result with the right length and our time reference.
    const auto view = test::readWithSndfile(target);
    ASSERT_TRUE(view);
    EXPECT_EQ(uint64_t(view->frames), dataSize / 4);
    EXPECT_EQ(view->timeReference, 1u);
    VORLANE_REQUIRE_TOOL("ffprobe");
    EXPECT_EQ(probedTimeReference(target), "1");
}

TEST(RiffWriterTest, ChunkOrderPaddingAndDuplicates) {
    test::ScratchFolder folder;
    const auto source = folder / "mixed.wav";
    // An odd LIST without its pad byte, metadata after the audio, two iXML chunks.
    test::writeFile(source,
                    riff(chunk("fmt ", fmtPayload(1, 8000, 8)) + chunk("LIST", "INFOa", false) +
                         chunk("iXML", "<a/>") + chunk("data", "12345") + chunk("iXML", "<b/>") +
                         chunk("bext", "old") + chunk("cue ", "cc")));
    const auto target = folder / "out.wav";
    ASSERT_TRUE(RiffWriter::writeFileWithChunks(
        source, target, {{fourCC("bext"), bytesOf("new")}, {fourCC("iXML"), bytesOf("<c/>")}}));
    auto written = RiffFile::open(target);
    ASSERT_TRUE(written);
    EXPECT_EQ(ids(*written), "fmt ,LIST,iXML,bext,data,cue ");
    EXPECT_FALSE(written->damaged());
    EXPECT_EQ(written->chunkData(fourCC("LIST")), bytesOf("INFOa"));
    EXPECT_EQ(written->chunkData(fourCC("iXML")), bytesOf("<c/>"));
    EXPECT_EQ(written->chunkData(fourCC("bext")), bytesOf("new"));
    EXPECT_EQ(written->chunkData(fourCC("data")), bytesOf("12345"));
    // Every odd chunk is padded now and the RIFF size covers the whole file.
    for (const auto& c : written->chunks())
        EXPECT_EQ(c.paddedSize, c.size + (c.size & 1)) << fourCCString(c.id);
    const std::string bytes = test::readFile(target);
    EXPECT_EQ(readLE32(reinterpret_cast<const uint8_t*>(bytes.data()) + 4), bytes.size() - 8);
}

TEST(RiffWriterTest, ReplacesTheSourceItselfAtomically) {
    test::ScratchFolder folder;
    const auto file = folder / "inplace.wav";
    test::writeFile(file, riff(chunk("fmt ", fmtPayload(1, 8000, 16)) + chunk("data", "abcdef")));
    ASSERT_TRUE(RiffWriter::writeFileWithChunks(file, file, {{fourCC("bext"), bytesOf("b")}}));
    auto written = RiffFile::open(file);
    ASSERT_TRUE(written);
    EXPECT_EQ(ids(*written), "fmt ,bext,data");
    EXPECT_EQ(written->chunkData(fourCC("data")), bytesOf("abcdef"));
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"inplace.wav"});
}

// Restores a resource limit and a signal disposition when the test ends.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

// Makes a folder immutable (even for root) while it lives; false when the file system refuses.
class ImmutableFolder {
  public:
    explicit ImmutableFolder(const fs::path& folder) : folder_(folder) {
        const auto result = runProcess({"chattr", "+i", folder.string()});
        active_ = result && result->exitStatus == 0;
    }
    ~ImmutableFolder() {
        if (active_) runProcess({"chattr", "-i", folder_.string()});
    }
    bool active() const { return active_; }

  private:
    fs::path folder_;
    bool active_ = false;
};

TEST(RiffWriterTest, NeverLeavesAHalfWrittenDestination) {
    test::ScratchFolder folder;
    const auto source = folder / "source.wav";
    const std::string audio(3 << 20, '\x5a');
    test::writeFile(source, riff(chunk("fmt ", fmtPayload(2, 48000, 16)) + chunk("data", audio)));
    const std::string sourceBytes = test::readFile(source);
    const auto out = folder.path() / "out";
    fs::create_directory(out);
    const auto target = out / "target.wav";
    test::writeFile(target, "previous contents");
    const std::vector<RiffChunkPayload> bext{{fourCC("bext"), bextRecord(5, "W")}};

    // The folder does not exist.
    EXPECT_FALSE(RiffWriter::writeFileWithChunks(source, folder / "absent/target.wav", bext));

    // The disk refuses more bytes midway (a file size limit stands in for a full disk).
    {
        FileSizeLimit limit(1 << 20);
        EXPECT_FALSE(RiffWriter::writeFileWithChunks(source, target, bext));
    }
    EXPECT_EQ(test::readFile(target), "previous contents");
    EXPECT_EQ(folderEntries(out), std::vector<std::string>{"target.wav"});

    // The folder takes no new files.
    {
        ImmutableFolder locked(out);
        if (locked.active()) {
            EXPECT_FALSE(RiffWriter::writeFileWithChunks(source, target, bext));
        }
    }
    EXPECT_EQ(folderEntries(out), std::vector<std::string>{"target.wav"});

    // The source shrinks between the scan and the copy.
    const auto shrinking = folder / "shrinking.wav";
    fs::copy_file(source, shrinking);
    auto parsed = RiffFile::open(shrinking);
    ASSERT_TRUE(parsed);
    fs::resize_file(shrinking, 2 << 20);
    EXPECT_FALSE(RiffWriter::writeFileWithChunks(*parsed, target, bext));
    EXPECT_EQ(test::readFile(target), "previous contents");
    EXPECT_EQ(folderEntries(out), std::vector<std::string>{"target.wav"});

    // A source whose audio is cut short is refused before anything is written.
    const auto truncated = folder / "truncated.wav";
    test::writeFile(truncated, sourceBytes.substr(0, sourceBytes.size() / 2));
    EXPECT_FALSE(RiffWriter::writeFileWithChunks(truncated, target, bext));
    EXPECT_EQ(test::readFile(target), "previous contents");
    EXPECT_EQ(folderEntries(out), std::vector<std::string>{"target.wav"});

    EXPECT_EQ(test::readFile(source), sourceBytes);
    // And with everything in order it works.
    EXPECT_TRUE(RiffWriter::writeFileWithChunks(source, target, bext));
    EXPECT_EQ(rawData(target), rawData(source));
}

}  // namespace
}  // namespace vorlane
