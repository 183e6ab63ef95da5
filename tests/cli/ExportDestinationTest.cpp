// Runs `vorlane export` against destinations that are no plain file: device nodes and FIFOs are
// refused and stay as they were, "-o -" and a log FIFO are written as streams, and failures name
// their reason (a missing folder, a full disk) without a log problem failing a written document.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

class ExportDestinationTest : public testing::Test {
  protected:
    void SetUp() override { test::writeFile(media / "notes.txt", "no media"); }

    ProcessResult exportXML(const std::vector<std::string>& options,
                            const std::vector<std::string>& prefix = {}) {
        std::vector<std::string> arguments = {"export", "xml", "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(media.path().string());
        return test::runVorlane(config.path(), arguments, prefix);
    }

    bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    ScratchFolder config;
    ScratchFolder media;
    ScratchFolder out;
};

TEST_F(ExportDestinationTest, DevicesAndFifosAreRefusedAndKept) {
    ASSERT_EQ(::mkfifo((out / "fifo").c_str(), 0644), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod((out / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    for (const char* name : {"fifo", "null"}) {
        if (std::string(name) == "null" && !root) continue;
        const auto result = exportXML({"-o", (out / name).string()});
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_TRUE(has(result.standardError,
                        "not a file (-o - writes the document to standard "
                        "output)"))
            << result.standardError;
    }
    EXPECT_TRUE(fs::is_fifo(out / "fifo"));
    if (!root) GTEST_SKIP() << "device nodes need root (mknod); that case was not run";
    EXPECT_TRUE(fs::is_character_file(out / "null"));
}

TEST_F(ExportDestinationTest, StandardOutputAndALogFifoAreStreams) {
    ScratchFolder temporary;
    ASSERT_EQ(::mkfifo((out / "log").c_str(), 0644), 0);
    const int reader = ::open((out / "log").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const auto result = exportXML({"-o", "-", "--log", (out / "log").string()},
                                  {"env", "TMPDIR=" + temporary.path().string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(result.standardOutput.starts_with("<?xml")) << result.standardOutput;
    EXPECT_TRUE(has(result.standardOutput, "<name>Untitled SyncMap</name>"));
    EXPECT_TRUE(has(result.standardError, "XML Export ended."));  // the log, off the document
    std::string log(65536, '\0');
    log.resize(size_t(std::max<ssize_t>(0, ::read(reader, log.data(), log.size()))));
    ::close(reader);
    EXPECT_TRUE(has(log, "XML Export ended.")) << log;
    EXPECT_TRUE(fs::is_fifo(out / "log"));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

TEST_F(ExportDestinationTest, FailuresSayWhatHappened) {
    auto result = exportXML({"-o", (out / "gone" / "day.xml").string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(has(result.standardError, "no such folder " + (out / "gone").string()))
        << result.standardError;
    EXPECT_FALSE(has(result.standardError, "write-protected"));

    result =
        exportXML({"-o", (out / "day.xml").string(), "--log", (out / "gone" / "log").string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(has(result.standardError, "warning: cannot write the log")) << result.standardError;
    EXPECT_TRUE(fs::exists(out / "day.xml"));

    if (::geteuid() != 0 || !programExists("unshare"))
        GTEST_SKIP() << "the full-disk case needs root and unshare (a private tmpfs)";
    const fs::path full = out / "full";
    fs::create_directory(full);
    result = exportXML({"-o", (full / "day.xml").string()},
                       {"unshare", "-m", "sh", "-c",
                        "mount -t tmpfs -o size=12k tmpfs \"$0\" && "
                        "head -c 12288 /dev/zero > \"$0/fill\"; exec \"$@\"",
                        full.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(has(result.standardError, "day.xml: no space left on device"))
        << result.standardError;
}

}  // namespace
}  // namespace vorlane
