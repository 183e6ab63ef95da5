// Destinations that are no plain file, links written through, kept permissions, names at the
// file system's limit, and temporary files that neither a signal nor a killed run leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AtomicFileWriter.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

bool writeText(const fs::path& destination, const std::string& text) {
    const auto writer = AtomicFileWriter::create(destination);
    return writer && writer->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}) &&
           writer->commit();
}

std::vector<std::string> hiddenNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("."))
            names.push_back(entry.path().filename());
    return names;
}

TEST(AtomicFileWriterTest, NeverReplacesFoldersDevicesFifosOrSockets) {
    ScratchFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0);
    fs::create_directory(folder / "folder");
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (folder / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        EXPECT_EQ(::mknod((folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    fs::create_symlink("fifo", folder / "link-to-fifo");
    struct Case {
        const char* name;
        const char* reason;
        fs::file_type type;
    };
    for (const Case& item :
         {Case{"fifo", "it is a FIFO (named pipe), not a file", fs::file_type::fifo},
          Case{"link-to-fifo", "it is a FIFO (named pipe), not a file", fs::file_type::fifo},
          Case{"folder", "it is a folder", fs::file_type::directory},
          Case{"socket", "it is a socket, not a file", fs::file_type::socket},
          Case{"null", "it is a device, not a file", fs::file_type::character}}) {
        SCOPED_TRACE(item.name);
        if (std::string(item.name) == "null" && !root) continue;
        EXPECT_FALSE(AtomicFileWriter::create(folder / item.name));
        EXPECT_EQ(AtomicFileWriter::lastFailure(), item.reason);
        EXPECT_EQ(fs::status(folder / item.name).type(), item.type);
    }
    ::close(listening);
    EXPECT_TRUE(hiddenNames(folder.path()).empty());
    if (!root) GTEST_SKIP() << "device nodes need root (mknod); that case was not run";
}

TEST(AtomicFileWriterTest, LinksAreWrittenThroughAndModesKept) {
    ScratchFolder folder;
    ScratchFolder elsewhere;
    test::writeFile(elsewhere / "document.xml", "earlier");
    ::chmod((elsewhere / "document.xml").c_str(), 0600);
    fs::create_symlink(elsewhere / "document.xml", folder / "absolute");
    fs::create_symlink("absolute", folder / "relative");
    fs::create_symlink("new.xml", folder / "dangling");
    for (const char* link : {"absolute", "relative"}) {
        ASSERT_TRUE(writeText(folder / link, link));
        EXPECT_TRUE(fs::is_symlink(folder / link));
        EXPECT_EQ(test::readFile(elsewhere / "document.xml"), link);
        EXPECT_EQ(fs::status(elsewhere / "document.xml").permissions(), fs::perms(0600));
    }
    ASSERT_TRUE(writeText(folder / "dangling", "new"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling"));
    EXPECT_EQ(test::readFile(folder / "new.xml"), "new");
    EXPECT_TRUE(hiddenNames(folder.path()).empty());
    EXPECT_TRUE(hiddenNames(elsewhere.path()).empty());
}

TEST(AtomicFileWriterTest, NamesUpToTheLimitAndReasonsForFailures) {
    ScratchFolder folder;
    for (const size_t length : {240u, 255u}) {
        const std::string name(length, 'n');
        EXPECT_TRUE(writeText(folder / name, "x"))
            << length << ": " << AtomicFileWriter::lastFailure();
    }
    EXPECT_FALSE(writeText(folder / "gone" / "x.xml", "x"));
    EXPECT_EQ(AtomicFileWriter::lastFailure(), "no such folder " + (folder / "gone").string());
    EXPECT_EQ(AtomicFileWriter::destinationProblem(folder / std::string(256, 'n')),
              "file name too long");
}

TEST(AtomicFileWriterTest, AKilledRunsTemporaryFileIsRemovedByTheNextWriter) {
    ScratchFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = ".day.xml." + std::to_string(ended) + "-7.part";
    const std::string live = ".day.xml." + std::to_string(::getppid()) + "-7.part";
    for (const std::string& name : {stale, live, std::string(".day.xml.notes")})
        test::writeFile(folder / name, "left");
    ASSERT_TRUE(writeText(folder / "day.xml", "new"));
    std::vector<std::string> left = hiddenNames(folder.path());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{live, ".day.xml.notes"}));
}

TEST(AtomicFileWriterTest, InterruptingSignalsRemoveTheTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ScratchFolder folder;
        const pid_t child = ::fork();
        if (child == 0) {
            RemovalOnSignal::installHandlers();
            const auto writer = AtomicFileWriter::create(folder / "day.xml");
            if (!writer || !writer->write(std::vector<uint8_t>(1 << 20, 'x'))) ::_exit(3);
            ::raise(signal);
            ::_exit(4);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(fs::is_empty(folder.path()));
    }
}

}  // namespace
}  // namespace vorlane
