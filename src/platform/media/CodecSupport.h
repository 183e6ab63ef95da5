// Whether the linked FFmpeg libraries read and write the professional picture formats that the
// exports offer: ProRes, DNxHD and the AVC-Intra classes of H.264. Stands in for the other
// platform's professional video formats bundle in the settings sheet.
#pragma once

namespace vorlane::CodecSupport {

// The "prores", "dnxhd" and "h264" decoders are all present.
bool professionalFormatsDecode();
// The "prores_ks", "dnxhd" and "libx264" encoders are all present.
bool professionalFormatsEncode();

}  // namespace vorlane::CodecSupport
