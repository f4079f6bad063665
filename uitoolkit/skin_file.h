// Reading whole files of the skin from disk (the thin platform layer under the skin sources).
#pragma once

#include <cstdint>
#include <vector>

namespace MarkupUI {

enum class SkinFileResult { kOk, kOpenFailed, kEmpty, kTooLarge, kShortRead };

// Opens `path` for reading (shared for reading, existing files only) and reads it whole into
// `bytes`. A file larger than `maxBytes` is not read (kTooLarge); `bytes` is left empty on failure.
SkinFileResult ReadWholeSkinFile(const wchar_t* path, uint64_t maxBytes, std::vector<uint8_t>& bytes);

}  // namespace MarkupUI
