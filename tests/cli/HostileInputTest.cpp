// The built `vorlane` on input a hostile or careless user hands it: files and folders it may not
// read, a link to a file already named, and sound files that declare absurd sample rates.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestPaths.h"
#include "platform/Process.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

// A mono 16-bit WAV of 4800 silent frames at the rate its format chunk declares.
std::string waveBytes(uint32_t rate) {
    std::string bytes;
    const auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += char(value >> (8 * i));
    };
    bytes += "RIFF";
    put(36 + 9600, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    for (const uint32_t field : {1u, 1u})  // integer PCM, one channel
        put(field, 2);
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    bytes += "data";
    put(9600, 4);
    return bytes.append(9600, '\0');
}

class HostileInputTest : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::permissions(media.path(), std::filesystem::perms(0755));
        std::filesystem::permissions(config.path(), std::filesystem::perms(0777));
    }
    // Runs `vorlane` as an ordinary user: as root, through setpriv as nobody.
    ProcessResult run(const std::vector<std::string>& arguments, bool unprivileged = false) {
        std::vector<std::string> command;
        if (unprivileged && ::geteuid() == 0)
            command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        command.insert(command.end(), {"env", "VORLANE_CONFIG_DIR=" + config.path().string(),
                                       VORLANE_BINARY_DIR "/vorlane"});
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runProcess(command).value_or(ProcessResult{});
    }
    std::string make(const std::string& name, const std::string& bytes = "notes") {
        const auto path = media / name;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, bytes);
        return path.string();
    }

    ScratchFolder config;
    ScratchFolder media;
};

TEST_F(HostileInputTest, UnreadableInputIsReportedAsPermissionDenied) {
    if (::geteuid() == 0 && !programExists("setpriv"))
        GTEST_SKIP() << "running as root without setpriv to drop privileges";
    namespace fs = std::filesystem;
    make("locked/a.wav");
    make("day/closed/b.wav");
    make("day/notes.txt");
    make("unsearchable/c.wav");
    make("secret.wav");
    fs::permissions(media / "locked", fs::perms::none);
    fs::permissions(media / "day/closed", fs::perms::none);
    fs::permissions(media / "unsearchable", fs::perms(0644));
    fs::permissions(media / "secret.wav", fs::perms::none);
    const auto result =
        run({"scan", "--no-ltc", "--no-thumbnails", "--quiet", (media / "locked").string(),
             (media / "day").string(), (media / "unsearchable/c.wav").string(),
             (media / "secret.wav").string()},
            true);
    fs::permissions(media / "locked", fs::perms(0755));
    fs::permissions(media / "day/closed", fs::perms(0755));
    fs::permissions(media / "unsearchable", fs::perms(0755));
    EXPECT_EQ(result.exitStatus, 1);
    for (const char* name : {"locked", "day/closed", "unsearchable/c.wav", "secret.wav"}) {
        const std::string line = (media / name).string() + ": permission denied";
        EXPECT_NE(result.standardOutput.find("  " + line + "\n"), std::string::npos)
            << name << " not skipped:\n"
            << result.standardOutput;
        // Only what was named makes the run fail.
        EXPECT_EQ(result.standardError.find("vorlane: " + line) != std::string::npos,
                  std::string(name) != "day/closed")
            << result.standardError;
    }
    EXPECT_EQ(result.standardError.find("no audio or video"), std::string::npos);
}

TEST_F(HostileInputTest, ALinkToAFileInTheDayIsTheSameFile) {
    make("day/a.wav", waveBytes(48000));
    std::filesystem::create_symlink(media / "day/a.wav", media / "day/link.wav");
    const auto result =
        run({"scan", "--no-ltc", "--no-thumbnails", "--quiet", media.path().string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(result.standardOutput.find("\n1 file\n"), std::string::npos) << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("link.wav: already in the pool as a.wav"),
              std::string::npos)
        << result.standardOutput;
}

TEST_F(HostileInputTest, ASampleRateNoRecorderUsesIsRefusedWithTheReason) {
    const auto wav = make("huge.wav", waveBytes(2147483647u));
    const auto low = make("low.wav", waveBytes(999));
    const auto result = run({"info", wav, low});
    EXPECT_EQ(result.exitStatus, 1);
    for (const char* rate : {"2147483647", "999"}) {
        EXPECT_NE(result.standardError.find(std::string("sample rate ") + rate +
                                            " Hz is outside 1 kHz to 768 kHz"),
                  std::string::npos)
            << result.standardError;
    }
    EXPECT_NE(result.standardError.find(wav + ": no audio or video could be read"),
              std::string::npos);
    // AIFF and MXF sound declaring the rate (seeds of the fuzz targets) is left out the same way.
    const std::string seeds = VORLANE_SOURCE_DIR "/fuzz/corpus/";
    const auto others = run({"info", seeds + "media_asset/rate_2147483647.aif",
                             seeds + "mxf_file/rate_2147483647.mxf"});
    EXPECT_EQ(others.exitStatus, 1);  // the AIFF holds nothing else, the MXF file its picture
    for (const char* name : {"rate_2147483647.aif", "rate_2147483647.mxf"}) {
        EXPECT_NE(others.standardError.find(std::string(name) +
                                            " is left out: sample rate 2147483647 Hz"),
                  std::string::npos)
            << others.standardError;
    }
    // The bounds themselves are rates recorders use.
    const auto edges = run({"info", "--quiet", make("edge1k.wav", waveBytes(1000)),
                            make("edge768k.wav", waveBytes(768000))});
    EXPECT_EQ(edges.exitStatus, 0) << edges.standardError;
}

}  // namespace
}  // namespace vorlane
