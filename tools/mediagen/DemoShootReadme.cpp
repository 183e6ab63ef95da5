// The README of the demo shoot, computed from the plan so that it always says what was made.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "mediagen/DemoShoot.h"

namespace vorlane::mediagen {
namespace {

constexpr int sampleRate = demoShootSampleRate;
constexpr Rate rate = demoShootRate;

int64_t frameOf(const Timecode& label) {
    return frameNumber(label, rate).value_or(0);
}

int64_t samplesPerFrame() {
    return int64_t(sampleRate) * rate.denominator / rate.numerator;
}

// "2 s 12 fr" for a number of frames.
std::string framesText(int64_t frames) {
    const int64_t perSecond = rate.nominalFrames();
    std::string text;
    if (frames >= perSecond) text = std::to_string(frames / perSecond) + " s";
    if (frames % perSecond != 0 || frames == 0)
        text += (text.empty() ? "" : " ") + std::to_string(frames % perSecond) + " fr";
    return text;
}

std::string padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

const char* deviceName(DemoDevice device) {
    switch (device) {
        case DemoDevice::CameraA:
            return "Camera A";
        case DemoDevice::CameraB:
            return "Camera B";
        case DemoDevice::Recorder:
        case DemoDevice::RecorderSplit:
            return "Recorder";
        case DemoDevice::PhoneRecorder:
            return "Phone";
        case DemoDevice::LavRecorder:
            return "Lav";
    }
    return "";
}

// Where a moment lies in a file: a frame for pictures, a sample for sound.
std::string positionText(const DemoFile& file, int64_t frameSinceStart) {
    if (file.hasPicture()) return "frame " + std::to_string(frameSinceStart);
    return "sample " + std::to_string(frameSinceStart * samplesPerFrame());
}

bool covers(const DemoFile& file, const Timecode& moment) {
    return frameOf(moment) >= frameOf(file.start) && frameOf(moment) < frameOf(file.end());
}

int64_t overlapFrames(const DemoFile& a, const DemoFile& b) {
    return std::min(frameOf(a.end()), frameOf(b.end())) -
           std::max(frameOf(a.start), frameOf(b.start));
}

void writeDevices(std::ostringstream& out) {
    out << "Devices\n"
           "  Camera A  QuickTime .mov, H.264 640x360 25p, mono 16-bit PCM scratch sound,\n"
           "            timecode track (tmcd), make/model/creation date as QuickTime keys\n"
           "  Camera B  MPEG-4 .mp4, H.264 640x360 25p, stereo AAC 128 kb/s: channel 1 scratch\n"
           "            sound, channel 2 LTC at -12 dBFS; no timecode track\n"
           "  Recorder  Broadcast WAV 48 kHz 24-bit with bext (TimeReference, sSPEED=025.000-ND,\n"
           "            sSCENE=, sTAKE=, sTAPE=DAY01) and iXML (SPEED, TRACK_LIST, USER);\n"
           "            SC14_T01_1/_2/_3 are one recording split into three mono files\n"
           "            (iXML FILE_SET: TOTAL_FILES 3, one FAMILY_UID)\n"
           "  Phone     MP3 128 kb/s; ID3v2 album \"TC=hh:mm:ss:ff FR=25\", title \"... SC= "
           "TK=\",\n"
           "            comment and TXXX TIMECODE with the timecode; ID3v1 as well\n"
           "  Lav       AIFF 48 kHz 16-bit stereo: channel 1 sound, channel 2 LTC at -12 dBFS\n"
           "LTC and iXML UBITS carry the user bits 17052400. Every picture shows its timecode\n"
           "burnt in.\n\n";
}

void writeFiles(std::ostringstream& out, const DemoShoot& shoot) {
    out << "Files (start = timecode of the first frame or sample; end = first timecode after)\n"
        << "  " << padded("File", 16) << padded("Device", 10) << padded("Start", 13)
        << padded("End", 13) << padded("Length", 8) << "Timecode from\n";
    for (const DemoFile& file : shoot.files) {
        std::string source = file.timecodeSource();
        if (file.device == DemoDevice::Recorder || file.device == DemoDevice::RecorderSplit)
            source += ", TimeReference " +
                      std::to_string(samplesSinceMidnight(file.start, rate, sampleRate));
        out << "  " << padded(file.name, 16) << padded(deviceName(file.device), 10)
            << padded(file.start.text(), 13) << padded(file.end().text(), 13)
            << padded(std::to_string(file.seconds) + " s", 8) << source << "\n";
    }
    out << "\n";
}

void writeClaps(std::ostringstream& out, const DemoShoot& shoot) {
    out << "Claps (a 2 ms pulse in every recording of the moment, a white frame in every\n"
           "camera; sound files count samples at 48 kHz from 0)\n";
    for (const Timecode& clap : shoot.claps) {
        out << "  " << clap.text() << "\n";
        for (const DemoFile& file : shoot.files)
            if (covers(file, clap))
                out << "      " << padded(file.name, 16)
                    << positionText(file, frameOf(clap) - frameOf(file.start)) << "\n";
    }
    out << "\n";
}

void writeSync(std::ostringstream& out, const DemoShoot& shoot) {
    out << "Expected sync: the sound files whose timecode range overlaps each picture file\n";
    for (const DemoFile& picture : shoot.files) {
        if (!picture.hasPicture()) continue;
        out << "  " << picture.name << " (" << picture.start.text() << " - " << picture.end().text()
            << ")\n";
        for (const DemoFile& sound : shoot.files) {
            if (sound.hasPicture() || overlapFrames(picture, sound) <= 0) continue;
            const int64_t offset = frameOf(picture.start) - frameOf(sound.start);
            std::string where;
            if (offset >= 0)
                where = "starts " + framesText(offset) +
                        " before the picture; picture frame 0 = " + positionText(sound, offset);
            else
                where = "starts " + framesText(-offset) + " after the picture, at its frame " +
                        std::to_string(-offset);
            out << "      + " << padded(sound.name, 16) << where << "; overlap "
                << framesText(overlapFrames(picture, sound)) << "\n";
        }
    }
    out << "Camera clips that overlap each other sync only in multicam mode:\n";
    for (size_t i = 0; i < shoot.files.size(); ++i)
        for (size_t j = i + 1; j < shoot.files.size(); ++j) {
            const DemoFile& a = shoot.files[i];
            const DemoFile& b = shoot.files[j];
            if (!a.hasPicture() || !b.hasPicture() || overlapFrames(a, b) <= 0) continue;
            const int64_t offset = frameOf(b.start) - frameOf(a.start);
            out << "  " << a.name << " + " << b.name << ": " << b.name << " starts "
                << framesText(offset < 0 ? -offset : offset) << (offset < 0 ? " before" : " after")
                << "; overlap " << framesText(overlapFrames(a, b)) << "\n";
        }
}

}  // namespace

std::string demoShootReadme(const DemoShoot& shoot) {
    std::ostringstream out;
    out << "Vorlane demo shoot\n"
           "==================\n\n"
           "A small shooting day on 2024-05-17: 25 fps non-drop timecode everywhere, sound at\n"
           "48 kHz. Made by vorlane-demo-shoot from libltc's encoder, libsndfile and the ffmpeg\n"
           "program only, without Vorlane's own code: what this file says is the truth that\n"
           "Vorlane's scan and sync are checked against.\n\n";
    writeDevices(out);
    writeFiles(out, shoot);
    writeClaps(out, shoot);
    writeSync(out, shoot);
    return out.str();
}

}  // namespace vorlane::mediagen
