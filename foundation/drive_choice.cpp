#include "foundation/drive_choice.h"

namespace rezorev {

std::wstring ChooseWorkDrive(uint32_t presentDrives, DriveFacts& facts) {
  wchar_t answer = L'A';
  uint64_t mostFree = 0;
  for (int bit = 2; bit <= 25; ++bit) {  // C to Z
    if ((presentDrives & (1u << bit)) == 0) continue;
    const wchar_t letter = static_cast<wchar_t>(L'A' + bit);
    uint64_t freeBytes = 0;
    if (!facts.IsFixed(letter) || facts.IsUsb(letter) || !facts.CanWrite(letter) ||
        !facts.FreeBytes(letter, &freeBytes)) {
      continue;
    }
    if (freeBytes >= mostFree) {  // ">=": on equal free space the later letter wins
      answer = letter;
      mostFree = freeBytes;
    }
  }
  return std::wstring{answer, L':', L'\\'};
}

}  // namespace rezorev
