#include "ScanCommand.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "MediaJson.h"
#include "PoolRun.h"
#include "app/ApplicationController.h"
#include "media/MediaText.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Text.h"
#include "platform/media/ImageEncoding.h"

namespace vorlane::cli {
namespace {

std::string timecodeCell(const std::shared_ptr<TCHelper>& timecode) {
    if (!timecode) return "-";
    std::string text = timecode->timecodeString(TCOptionWrap24h);
    if (timecode->dropFrame()) text += " DF";
    text += " (" + timecode->frameRateString() + ") ";
    text += timecode->type() == TCTypeAudio ? "audio" : "file";
    return text;
}

std::vector<std::string> rowOf(const MediaFile& file) {
    std::string type = mediaTypeWord(file.type());
    if (file.linkedAudioFile()) type += ", linked";
    const double seconds = CMTimeGetSeconds(file.duration());
    return {file.name(),
            file.fileContainerString(),
            type,
            file.syncGroup() ? std::to_string(file.syncGroup()) : "-",
            timecodeCell(file.timecode()),
            std::isfinite(seconds) ? formatMediaText("%.2fs", seconds) : "-",
            file.readableVideoInfo(),
            file.readableAudioInfo()};
}

void printTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], printableText(row[column]).size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            const std::string cell = printableText(row[column]);
            line += cell;
            if (column + 1 < row.size()) line += std::string(widths[column] - cell.size() + 2, ' ');
        }
        std::cout << line << "\n";
    }
}

void printHuman(const MediaPool& pool,
                const std::vector<ApplicationController::SkippedPath>& skipped, bool withSyncInfo) {
    std::vector<std::vector<std::string>> rows = {
        {"Name", "Container", "Type", "Group", "Timecode", "Duration", "Video", "Audio"}};
    if (withSyncInfo) rows.front().push_back("Sync");
    for (const auto& file : pool.files()) {
        rows.push_back(rowOf(*file));
        if (withSyncInfo) rows.back().push_back(file->infoText().empty() ? "-" : file->infoText());
    }
    printTable(rows);
    std::cout << pool.count() << (pool.count() == 1 ? " file" : " files") << "\n";
    if (skipped.empty()) return;
    std::cout << "\nSkipped:\n";
    for (const auto& entry : skipped)
        std::cout << "  " << printableText(entry.path.native()) << ": "
                  << printableText(entry.reason) << "\n";
}

void printJson(const MediaPool& pool,
               const std::vector<ApplicationController::SkippedPath>& skipped, bool withSyncInfo) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const auto& file : pool.files())
        files.push_back(mediaFileJson(*file, withSyncInfo));
    nlohmann::ordered_json skippedJson = nlohmann::ordered_json::array();
    for (const auto& entry : skipped)
        skippedJson.push_back(
            withPathURL({{"path", entry.path.string()}, {"reason", entry.reason}}, entry.path));
    const nlohmann::ordered_json document = {{"files", files}, {"skipped", skippedJson}};
    std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << "\n";
}

// A PNG name for the file's thumbnail that no other thumbnail of this run took.
std::filesystem::path thumbnailPath(const std::filesystem::path& folder, const MediaFile& file,
                                    std::set<std::string>& taken) {
    const std::string name = file.sourceURLPath().filename().string();
    std::string candidate = name + ".png";
    for (int number = 2; taken.count(candidate); ++number)
        candidate = name + "-" + std::to_string(number) + ".png";
    taken.insert(candidate);
    return folder / candidate;
}

// Writes every file's thumbnail picture into the folder as PNG; files shown by an application
// picture only (sound files, files without a decodable frame) get none. False after reporting
// on stderr when the folder cannot be made or a picture not written.
bool writeThumbnails(const MediaPool& pool, const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "vorlane: " << printableText(folder.native())
                  << ": cannot make the thumbnail folder\n";
        return false;
    }
    std::set<std::string> taken;
    bool written = true;
    for (const auto& file : pool.files()) {
        const std::optional<std::vector<uint8_t>> png = encodePNG(file->thumbnail());
        if (!png) continue;
        const std::filesystem::path path = thumbnailPath(folder, *file, taken);
        const auto writer = AtomicFileWriter::create(path);
        if (!writer || !writer->write(*png) || !writer->commit()) {
            std::cerr << "vorlane: " << printableText(path.native())
                      << ": cannot write the thumbnail: " << AtomicFileWriter::lastFailure()
                      << "\n";
            written = false;
        }
    }
    return written;
}

}  // namespace

int runScanCommand(const std::vector<std::string>& arguments) {
    int status = kExitSuccess;
    const auto input = parsePathInput(
        arguments, {"--json", "--no-ltc", "--no-thumbnails", "--sync-info", "--quiet"},
        {"--thumbnails"}, "paths", status);
    if (!input) return status;
    const ParsedArguments& options = input->arguments;
    const std::optional<std::string> thumbnailFolder = options.value("--thumbnails");
    if (thumbnailFolder && options.has("--no-thumbnails"))
        return usageError("--thumbnails and --no-thumbnails exclude each other");

    ApplicationController controller;
    MediaPool& pool = controller.mediaPool();
    MetadataDictionary overrides;
    if (options.has("--no-ltc")) overrides[kAnalyzeReadAudioTc] = false;
    if (options.has("--no-thumbnails")) overrides[kAnalyzeCreateThumbnail] = false;
    pool.setAnalysisOptionOverrides(overrides);

    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    pool.enumerateSyncGroups();
    const bool withSyncInfo = options.has("--sync-info");
    if (withSyncInfo) {
        if (controller.canShowSyncInfo())
            controller.showSyncInfo();
        else
            std::cerr << "vorlane: sync information is not available in this version\n";
        ApplicationController::waitFor([] { return true; });
    }
    const bool thumbnailsWritten = !thumbnailFolder || writeThumbnails(pool, *thumbnailFolder);
    if (options.has("--json"))
        printJson(pool, result.skipped, withSyncInfo);
    else
        printHuman(pool, result.skipped, withSyncInfo);
    return allRead && thumbnailsWritten ? kExitSuccess : kExitInputFailed;
}

int runInfoCommand(const std::vector<std::string>& arguments) {
    int status = kExitSuccess;
    const auto input = parsePathInput(arguments, {"--detailed", "--quiet"}, {}, "files", status);
    if (!input) return status;
    ApplicationController controller;
    ApplicationController::AddResult result;
    const bool allRead = analyzePaths(controller, *input, result);
    const int32_t level = input->arguments.has("--detailed") ? 1 : 0;
    bool first = true;
    for (const auto& file : controller.mediaPool().files()) {
        if (!first) std::cout << "\n";
        first = false;
        std::cout << printableText(file->metaDescription(level), true);
    }
    return allRead ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
