// The LTC decoder as MediaFile's LTC operations call it. The media model cannot include the
// decoder (it sits above it), so the application installs this function once at start-up, before
// the first file is analysed: ApplicationHooks::standard() (app/ApplicationHooks.cpp) names it as
// the hooks' audioTimecodeDecoder, and the ApplicationController that both front ends create
// passes it to MediaFile::installAudioTimecodeDecoder. Until then every LTC read finds nothing.
#pragma once

namespace vorlane {

struct AudioTimecodeRequest;
class MediaFile;

// Runs one LTC request on the file: an LtcReader with the request's parameters, the first video
// track's rate and, with video, the file's best timescale; then findAudioTimecode(). A file
// without audio, or one not held by a shared pointer, is left as it is.
void decodeAudioTimecode(MediaFile& file, const AudioTimecodeRequest& request);

}  // namespace vorlane
