// Arbitrary bytes as the update announcement: it is read as a complete announcement or not at
// all, and both kinds of check answer it without trouble.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto announcement = UpdateCheck::parseAnnouncement(text)) {
        if (!(announcement->version > 0) || !std::isfinite(announcement->version) ||
            !announcement->url.starts_with("http"))
            std::abort();
    }
    // A store without a file: nothing is read or written on disk.
    static UserDefaults store("/nonexistent/vorlane-fuzz/defaults.json");
    for (const auto mode : {UpdateCheck::Mode::Automatic, UpdateCheck::Mode::Manual}) {
        UpdateCheck check(store, mode, 0.1);
        const auto prompt = check.promptForDocument(text, "");
        if (mode == UpdateCheck::Mode::Manual && !prompt) std::abort();  // always answers
        if (prompt) (void)check.answer(UpdateCheck::kDownloadButton, false);
    }
    return 0;
}
