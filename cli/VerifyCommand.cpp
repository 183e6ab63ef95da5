#include "VerifyCommand.h"

#include <cmath>
#include <iostream>
#include <nlohmann/json.hpp>

#include "MediaJson.h"
#include "PoolRun.h"
#include "app/SyncMasters.h"
#include "media/MediaText.h"
#include "platform/Text.h"
#include "sync/MediaSyncIndex.h"
#include "sync/audio/AudioSyncCheck.h"

namespace vorlane::cli {
namespace {

const char* verdictWord(AudioSyncCheck::Verdict verdict) {
    switch (verdict) {
        case AudioSyncCheck::Verdict::Agrees:
            return "agrees";
        case AudioSyncCheck::Verdict::Disagrees:
            return "disagrees";
        case AudioSyncCheck::Verdict::CannotConfirm:
            return "cannot confirm";
        case AudioSyncCheck::Verdict::NotChecked:
            break;
    }
    return "not checked";
}

// Differences below what the text shows print without a sign flip ("+0.000", not "-0.000").
double shown(double value) {
    return std::abs(value) < 5e-4 ? 0.0 : value;
}

nlohmann::ordered_json orNull(bool present, double value) {
    return present ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json driftJson(const AudioSyncCheck& check) {
    if (!check.drift) return nullptr;
    const AudioDrift& drift = *check.drift;
    if (!drift.measured())
        return {{"measured", false}, {"reason", audioSyncProblemText(drift.problem)}};
    return {{"measured", true},
            {"ppm", drift.ppm},
            {"frames", drift.framesOver(check.takeSeconds, check.frameRate)},
            {"confidence", drift.confidence}};
}

nlohmann::ordered_json checkJson(const MediaFile& camera, const AudioSyncCheck& check) {
    const bool measured = check.hasAudioOffset();
    return withPathURL(
        {{"path", camera.sourceURLPath().string()},
         {"name", camera.name()},
         {"recorder", check.recorder ? check.recorder->name() : ""},
         {"verdict", verdictWord(check.verdict)},
         {"text", check.text()},
         {"frameRate", check.frameRate},
         {"timecodeOffset", orNull(check.timecodeOffsetSeconds.has_value(),
                                   check.timecodeOffsetSeconds.value_or(0.0))},
         {"audioOffset", orNull(measured, check.audioOffsetSeconds)},
         {"differenceFrames", orNull(measured, check.differenceFrames())},
         {"differenceMilliseconds", orNull(measured, check.differenceSeconds() * 1000.0)},
         {"confidence", check.confidence},
         {"takeSeconds", check.takeSeconds},
         {"drift", driftJson(check)}},
        camera.sourceURLPath());
}

void printCheck(std::ostream& out, const MediaFile& camera, const AudioSyncCheck& check) {
    out << printableText(camera.name()) << " with "
        << (check.recorder ? printableText(check.recorder->name()) : "?") << ": " << check.text()
        << "\n  ";
    if (check.timecodeOffsetSeconds)
        out << formatMediaText("timecode offset %.6f s, ", *check.timecodeOffsetSeconds);
    if (check.hasAudioOffset())
        out << formatMediaText("audio offset %.6f s, ", check.audioOffsetSeconds)
            << formatMediaText("difference %+.3f frames (%+.3f ms), ",
                               shown(check.differenceFrames()),
                               shown(check.differenceSeconds() * 1000.0));
    out << formatMediaText("confidence %.2f\n", check.confidence);
    if (!check.drift) return;
    if (check.drift->measured())
        out << formatMediaText(
            "  drift %+.1f ppm: %+.2f frames over the take (%.1f s)\n", check.drift->ppm,
            check.drift->framesOver(check.takeSeconds, check.frameRate), check.takeSeconds);
    else
        out << "  drift not measured: " << audioSyncProblemText(check.drift->problem) << "\n";
}

}  // namespace

int runVerifyCommand(const std::vector<std::string>& arguments) {
    int status = kExitSuccess;
    auto input = parsePathInput(arguments, {"--json", "--quiet"}, {}, "paths", status);
    if (!input) return status;
    ApplicationController controller;
    MediaPool& pool = controller.mediaPool();
    ApplicationController::AddResult result;
    bool allAgree = analyzePaths(controller, *input, result);
    pool.enumerateSyncGroups();

    const CompositionSettings settings = CompositionSettings::fromUserDefaults(pool.userDefaults());
    const auto index = MediaSyncIndex::indexWithMediaPool(pool);
    AudioSyncCheckOptions options;
    options.measureDrift = true;
    nlohmann::ordered_json clips = nlohmann::ordered_json::array();
    size_t checked = 0;
    for (const std::shared_ptr<MediaFile>& camera : syncMasterFiles(pool, std::nullopt)) {
        const AudioSyncCheck check = checkAudioSyncOfFile(camera, index, settings, options);
        if (!check.checked()) continue;
        if (check.verdict == AudioSyncCheck::Verdict::Disagrees) allAgree = false;
        if (input->arguments.has("--json"))
            clips.push_back(checkJson(*camera, check));
        else
            printCheck(std::cout, *camera, check);
        ++checked;
    }
    if (input->arguments.has("--json"))
        std::cout << nlohmann::ordered_json{{"clips", clips}}.dump(
                         2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    else if (checked == 0)
        std::cout << "no synced clip whose picture overlaps a sound file\n";
    return allAgree ? kExitSuccess : kExitInputFailed;
}

}  // namespace vorlane::cli
