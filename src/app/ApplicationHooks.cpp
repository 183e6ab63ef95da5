// The one place where the layers above the media model are wired into the application.
#include "app/ApplicationController.h"
#include "formats/ReaderChoice.h"

namespace vorlane {

ApplicationHooks ApplicationHooks::standard() {
    ApplicationHooks hooks;
    hooks.readerFactory = chooseMediaReader;
    // The LTC decoder (audioTimecodeDecoder) and the sync engine's per-file sync information
    // (syncInfoUpdater) are set here when they join the build. Until then an LTC read finds
    // nothing and no sync information is computed.
    return hooks;
}

}  // namespace vorlane
