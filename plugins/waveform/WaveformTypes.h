#pragma once

// How the bytes of an answer are read. Auto is only ever a user's choice;
// detection always resolves it to one of the others.
enum class EWaveFormat { Auto, Text, Int8, UInt8, Int16, UInt16, Int32, Float32, Float64, Image };
enum class EByteOrder { Auto, Little, Big };
enum class EImageType { None, Png, Bmp, Jpeg, Gif };

// Bytes per sample of a binary format; 0 for Auto, Text and Image.
int SampleSize(EWaveFormat eFormat);

// Stable names for the settings store ("auto", "text", "int8", ..., "image").
const char* FormatKey(EWaveFormat eFormat);
EWaveFormat FormatFromKey(const char* pszKey, EWaveFormat eDefault);
