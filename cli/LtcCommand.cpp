#include "LtcCommand.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

#include "CommandLine.h"
#include "ConsoleProgress.h"
#include "MediaJson.h"
#include "app/ApplicationController.h"
#include "media/MediaText.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vorlane::cli {
namespace {

template <typename Number>
std::optional<Number> parseNumber(const std::string& text) {
    Number value{};
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

// The request from the options; a usage error sets `error`.
std::optional<AudioTimecodeRequest> requestOf(const ParsedArguments& options, std::string& error) {
    AudioTimecodeRequest request;
    if (const auto text = options.value("--fps")) {
        const auto rate = parseNumber<double>(*text);
        if (!rate || !std::isfinite(*rate) || *rate < 0.0 || *rate > 1000.0) {
            error = "--fps needs a frame rate (0 detects it), not '" + *text + "'";
            return std::nullopt;
        }
        request.frameRate = *rate;
    }
    const auto counted = [&](const char* option, int32_t& field) {
        const auto text = options.value(option);
        if (!text) return true;
        const auto number = parseNumber<int32_t>(*text);
        if (!number || *number < 1) {
            error = std::string(option) + " counts from 1, not '" + *text + "'";
            return false;
        }
        field = *number - 1;
        return true;
    };
    // A setting's code 0-4 as the setting's type.
    const auto setting = [&](const char* option, auto& field, auto withCode) {
        const auto text = options.value(option);
        if (!text) return true;
        const auto number = parseNumber<int32_t>(*text);
        const auto value = number ? withCode(*number) : std::nullopt;
        if (!value) {
            error = std::string(option) + " takes 0 to 4, not '" + *text + "'";
            return false;
        }
        field = *value;
        return true;
    };
    if (!counted("--track", request.track) || !counted("--channel", request.channel) ||
        !setting("--ranges", request.readingRanges, readingRangesWithCode) ||
        !setting("--algorithm", request.readingAlgorithm, readingAlgorithmWithCode)) {
        return std::nullopt;
    }
    if (const auto text = options.value("--offset")) {
        const auto frames = parseNumber<int32_t>(*text);
        if (!frames) {
            error = "--offset needs a number of frames, not '" + *text + "'";
            return std::nullopt;
        }
        request.offset = *frames;
    }
    return request;
}

std::string requestText(const AudioTimecodeRequest& request, const MediaFile& file) {
    std::string text = "read " + description(request.readingRanges) + " (windows " +
                       std::to_string(int32_t(request.readingRanges)) + ") with " +
                       description(request.readingAlgorithm) + " (algorithm " +
                       std::to_string(int32_t(request.readingAlgorithm)) + "), ";
    text += request.frameRate == 0.0 ? std::string("frame rate detected")
                                     : formatMediaText("frame rate %g", request.frameRate);
    const int32_t tracks = file.audioTrackCount();
    text += request.track < 0
                ? formatMediaText(", all %d audio track%s", tracks, tracks == 1 ? "" : "s")
                : formatMediaText(", audio track %d", request.track + 1);
    text += request.channel < 0 ? std::string(", all channels")
                                : formatMediaText(", channel %d", request.channel + 1);
    if (request.offset != 0) text += formatMediaText(", offset %+d frames", request.offset);
    return text;
}

std::vector<std::shared_ptr<TCHelper>> audioTimecodes(const MediaFile& file) {
    std::lock_guard lock(file.mutex());
    std::vector<std::shared_ptr<TCHelper>> found;
    for (const auto& track : file.tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode() && track->timecode()->type() == TCTypeAudio)
            found.push_back(track->timecode());
    return found;
}

void printHuman(const MediaFile& file, const std::vector<std::shared_ptr<TCHelper>>& found) {
    std::cout << printableText(file.sourceURLPath().native()) << ": " << found.size()
              << " audio timecode" << (found.size() == 1 ? "" : "s") << "\n";
    for (const auto& timecode : found) {
        std::cout << "  " << timecode->timecodeString(TCOptionWrap24h) << "  "
                  << timecode->frameRateString() << "  " << timecode->dropFrameString()
                  << "  user bits " << timecode->userBitsString() << "  " << timecode->source()
                  << "\n";
    }
}

}  // namespace

int runLtcCommand(const std::vector<std::string>& arguments) {
    std::string error;
    const auto options = parseArguments(
        arguments, {"--json", "--quiet"},
        {"--fps", "--track", "--channel", "--offset", "--ranges", "--algorithm"}, error);
    if (!options) return usageError(error);
    if (options->positionals.size() != 1) return usageError("ltc takes one file");
    const auto request = requestOf(*options, error);
    if (!request) return usageError(error);
    const std::filesystem::path path = options->positionals.front();
    const bool quiet = options->has("--quiet");
    if (quiet) Log::setStandardErrorEnabled(false);

    ApplicationController controller;
    // The file's own analysis reads no LTC: the one read is this command's.
    controller.mediaPool().setAnalysisOptionOverrides(
        {{kAnalyzeReadAudioTc, false}, {kAnalyzeCreateThumbnail, false}});
    std::unique_ptr<ConsoleProgress> progress;
    if (!quiet) {
        progress =
            std::make_unique<ConsoleProgress>(std::cerr, ConsoleProgress::styleForStandardError());
        controller.setProgressDisplay(progress.get());
    }
    const auto added = controller.addPaths({path});
    controller.waitForAnalysis();
    if (added.added.size() != 1) {
        const std::string reason =
            added.skipped.empty() ? "not a media file Vorlane reads" : added.skipped[0].reason;
        std::cerr << "vorlane: " << printableText(path.native()) << ": " << reason << "\n";
        return kExitInputFailed;
    }
    const std::shared_ptr<MediaFile> file = added.added.front();
    if (!file->hasAudio()) {
        std::cerr << "vorlane: " << printableText(path.native())
                  << ": no audio tracks to read timecode from\n";
        return kExitInputFailed;
    }
    const auto reading = controller.readAudioTimecodeOfFiles({file}, *request);
    ApplicationController::waitFor([&reading] { return reading->isFinished(); });
    controller.setProgressDisplay(nullptr);

    const auto found = audioTimecodes(*file);
    if (options->has("--json")) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& timecode : found)
            list.push_back(timecodeJson(timecode));
        std::cout << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    } else if (!found.empty()) {
        printHuman(*file, found);
    }
    if (found.empty()) {
        std::string why = requestText(*request, *file);
        if (request->track >= file->audioTrackCount())
            why = formatMediaText("there is no audio track %d (the file has %d)",
                                  request->track + 1, file->audioTrackCount());
        std::cerr << "vorlane: " << printableText(path.native()) << ": no audio timecode found; "
                  << why << " (" << file->readableAudioInfo() << ")\n";
        return kExitInputFailed;
    }
    return kExitSuccess;
}

}  // namespace vorlane::cli
