// Connects the media model to the LTC decoder. The media model cannot include the decoder (it
// sits above it), so MediaFile's LTC operations call one installed function; the application
// installs it once at start-up, before the first file is analysed:
//
//     vorlane::installLtcDecoder();   // the app controller / `vorlane` main, at start
//
// Until then every LTC read of a MediaFile finds nothing.
#pragma once

namespace vorlane {

struct AudioTimecodeRequest;
class MediaFile;

// Runs one LTC request on the file: an LtcReader with the request's parameters, the first video
// track's rate and, with video, the file's best timescale; then findAudioTimecode(). A file
// without audio is left as it is.
void decodeAudioTimecode(MediaFile& file, const AudioTimecodeRequest& request);

// Installs decodeAudioTimecode as MediaFile's decoder. Safe to call more than once.
void installLtcDecoder();

}  // namespace vorlane
