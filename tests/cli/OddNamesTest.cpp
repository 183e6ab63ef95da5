// File names with control characters and bytes that are not UTF-8: text output shows them
// escaped (a name cannot drive the terminal), JSON adds a lossless "url" beside the "path".
#include <gtest/gtest.h>
#include <sndfile.h>

#include <vector>

#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::ScratchFolder;

// One second of silence as a 48 kHz WAV, written by libsndfile.
void writeSilence(const std::filesystem::path& path) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const std::vector<short> samples(48000, 0);
    sf_write_short(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
}

TEST(OddNamesTest, ControlCharactersAreEscapedAndUnreadableNamesKeepAURL) {
    ScratchFolder config;
    ScratchFolder media;
    writeSilence(media / "tone\x1b]0;owned\x07\xfe.wav");
    test::writeFile(media / "a\x1b[31mred\xff\n.txt", "no media");
    const auto text =
        test::runVorlane(config.path(), {"scan", "--quiet", "--no-ltc", media.path().string()});
    EXPECT_EQ(text.exitStatus, 0) << text.standardError;
    EXPECT_EQ(text.standardOutput.find('\x1b'), std::string::npos) << text.standardOutput;
    EXPECT_NE(text.standardOutput.find("tone\\e]0;owned\\x07\\xfe.wav  WAVE"), std::string::npos)
        << text.standardOutput;
    EXPECT_NE(text.standardOutput.find("a\\e[31mred\\xff\\n.txt: "), std::string::npos);

    const auto json = test::runVorlane(
        config.path(), {"scan", "--quiet", "--no-ltc", "--json", media.path().string()});
    const std::string url = "file://" + media.path().string();
    EXPECT_NE(json.standardOutput.find("\"url\": \"" + url + "/tone%1B%5D0;owned%07%FE.wav\""),
              std::string::npos)
        << json.standardOutput;
    EXPECT_NE(json.standardOutput.find("\"url\": \"" + url + "/a%1B%5B31mred%FF%0A.txt\""),
              std::string::npos);
}

}  // namespace
}  // namespace vorlane
