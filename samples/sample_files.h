// File and resource helpers of the sample component programs (Win32).
#pragma once

#include <string>

namespace samples {

// Resource ids of the programs the samples carry inside them (type RCDATA).
constexpr int kSetwrightResource = 101;  // in the package: the installer it unpacks
constexpr int kLumaportResource = 102;   // in Setwright: the launcher it installs as "Lumaport.exe"

// This program's own file path; empty on failure.
std::wstring OwnProgramPath();

// The folder part of `path` (before the last backslash), without a trailing backslash.
std::wstring FolderOf(const std::wstring& path);

// Up to `count` bytes from the end of the file; empty when it cannot be read.
std::string ReadFileTail(const std::wstring& path, size_t count);

// Reads a whole (small) file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// Creates or replaces the file with `bytes`; false on any failure.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// Appends `bytes` to the file, creating it when missing.
bool AppendToFile(const std::wstring& path, const std::string& bytes);

// The bytes of this module's RCDATA resource `id`; empty when missing.
std::string ResourceBytes(int id);

}  // namespace samples
