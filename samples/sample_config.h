// Settings of the sample component programs: "key=value" lines.
//
// A sample package carries its settings appended to the end of its own file, after a marker line:
//
//   <the program file> \n[orvix-sample-package]\n exit=1000\n component=7\n version=2.1.0\n
//
// so one built program becomes many packages (each with its own digest) without rebuilding. The
// package passes the settings meant for its installer on to "Setup\Setwright.ini" in the same
// line format, without the marker.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace samples {

constexpr const char* kSampleConfigMarker = "[orvix-sample-package]";
// Only the end of the package file is searched for the marker.
constexpr size_t kSampleConfigTail = 4096;

using SampleConfig = std::map<std::string, std::string>;

// Parses "key=value" lines (LF or CR LF, blank lines skipped, white space around keys and values
// trimmed; a later key replaces an earlier one). False when any other line appears or the text
// holds a byte outside printable ASCII, tab, CR and LF.
bool ParseSampleConfigLines(const std::string& text, SampleConfig& config);

// The settings appended to a package file, given the file's last bytes: the text after the last
// marker line, which must run to the end and parse. An empty map when there is none or it does
// not parse (the program's own bytes are never taken for settings).
SampleConfig FindAppendedSampleConfig(const std::string& fileTail);

// The value of `key` as a signed decimal number, or `fallback` when absent or not a number.
int64_t SampleConfigNumber(const SampleConfig& config, const std::string& key, int64_t fallback);

// The lines that ParseSampleConfigLines reads back as `config`.
std::string FormatSampleConfig(const SampleConfig& config);

}  // namespace samples
