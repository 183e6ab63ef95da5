// EXIF properties of an image, read with Exiv2 and grouped like an image reader's properties:
// "{TIFF}" (the main image directory: Make, Model, DateTime, ...), "{Exif}" (the EXIF directory:
// DateTimeOriginal, BodySerialNumber, LensModel, ...) and "{ExifAux}" (what the makers' notes of
// Canon, Nikon, Panasonic and Olympus cameras tell: Firmware, SerialNumber, LensModel,
// LensSerialNumber). Every value is text. Images are JPEG (with an APP1 EXIF block), TIFF and
// TIFF-based raw files (DNG, CR2, ORF, RW2) or a bare EXIF block; other files give nothing.
//
// The library's errors and warnings end at this boundary: a damaged image answers nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/MetadataValue.h"

namespace vorlane::ExifProperties {

inline constexpr char kGroupTIFF[] = "{TIFF}";
inline constexpr char kGroupExif[] = "{Exif}";
inline constexpr char kGroupExifAux[] = "{ExifAux}";

// The properties of an image file; nothing when it cannot be read, is no regular file of at
// most 64 MiB, or holds no EXIF.
std::optional<MetadataDictionary> propertiesOfFile(const std::filesystem::path& url);
// The same for an image in memory.
std::optional<MetadataDictionary> propertiesOfImageData(std::span<const uint8_t> data);
// A bare EXIF block: the APP1 segment of a JPEG (marker, length, "Exif\0\0", TIFF structure),
// the same without marker and length, or the TIFF structure alone.
std::optional<MetadataDictionary> propertiesOfExifSegment(std::span<const uint8_t> segment);

}  // namespace vorlane::ExifProperties
