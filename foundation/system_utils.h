// Path, file and process routines of the foundation library. None keeps state between calls.
// Paths are wide (UTF-16) Windows paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rezorev {

// The program's file name: its module path after the last backslash ("OrvixDownloader.exe").
std::wstring ProgramFileName();

// The folder of the program file, absolute, without a trailing backslash. Empty on failure.
std::wstring ProgramDirectory();

// The user's local application data folder, created if missing. Empty on failure.
std::wstring LocalAppDataFolder();

// Creates `path` with all missing parents unless something of that name exists. Failures are
// ignored; callers that care check FileExists afterwards.
void EnsureFolder(const std::wstring& path);

// True if `path` names an existing file or folder.
bool FileExists(const std::wstring& path);

// True if the file was deleted.
bool RemoveFile(const std::wstring& path);

// Moves or renames a file or folder; fails if `to` exists.
bool MoveFileTo(const std::wstring& from, const std::wstring& to);

// Removes the folder `path` (with or without a trailing backslash) and everything below it.
// Returns true if every file and sub folder was removed. What resists removal stays in place:
// the full path of every file that could not be deleted is appended to `failed`, and the folders
// that still hold something remain. False without removing anything when the folder cannot be
// listed. Links to folders (junctions, symbolic links) are removed themselves, never followed:
// what they point to lies outside the tree.
bool RemoveFolderTree(const std::wstring& path, std::vector<std::wstring>& failed);

// Starts `file` with `parameters` through the shell's "open" verb, hidden or shown. Returns false
// if the shell could not start it. With `exitCode` the call waits, without a time limit, for the
// program to end and stores its exit code; if the exit code cannot be learned (no process came
// back, or the wait failed) the result is false and `exitCode` keeps its value. Without
// `exitCode` it returns as soon as the program has started.
bool RunProgram(const std::wstring& file, const std::wstring& parameters, bool hidden,
                uint32_t* exitCode = nullptr);

// True if the text's form in the system ANSI code page contains a double-byte lead byte, which
// happens only on a system whose ANSI code page is a double-byte one (936, 950, 932, 949) and a
// text with a character of that script. Always false for ASCII text.
bool ContainsDbcsLeadByte(const std::wstring& text);

}  // namespace rezorev
