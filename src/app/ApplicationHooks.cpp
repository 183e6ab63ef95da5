// The one place where the layers above the media model are wired into the application.
#include "app/ApplicationController.h"
#include "formats/ReaderChoice.h"
#include "timecode/ltc/LtcDecoding.h"

namespace vorlane {

ApplicationHooks ApplicationHooks::standard() {
    ApplicationHooks hooks;
    hooks.readerFactory = chooseMediaReader;
    hooks.audioTimecodeDecoder = decodeAudioTimecode;
    // The sync engine's per-file sync information (syncInfoUpdater) is set here when it joins
    // the build. Until then no sync information is computed.
    return hooks;
}

}  // namespace vorlane
