#include "foundation/drive_choice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rezorev {
namespace {

constexpr uint64_t kGB = 1000ull * 1000 * 1000;

struct Drive {
  wchar_t letter;
  bool fixed = true;
  bool usb = false;
  bool writable = true;
  bool freeKnown = true;
  uint64_t freeBytes = 10 * kGB;
};

// Answers from a table and records every question, to show which probes ran on which drive.
class TableFacts : public DriveFacts {
 public:
  explicit TableFacts(const std::vector<Drive>& drives) {
    for (const Drive& d : drives) drives_[d.letter] = d;
  }
  uint32_t Mask() const {
    uint32_t mask = 0;
    for (const auto& entry : drives_) mask |= 1u << (entry.first - L'A');
    return mask;
  }
  bool IsFixed(wchar_t l) override { return Ask(L"fixed", l).fixed; }
  bool IsUsb(wchar_t l) override { return Ask(L"usb", l).usb; }
  bool CanWrite(wchar_t l) override { return Ask(L"write", l).writable; }
  bool FreeBytes(wchar_t l, uint64_t* bytes) override {
    const Drive& d = Ask(L"free", l);
    if (d.freeKnown) *bytes = d.freeBytes;
    return d.freeKnown;
  }
  std::wstring asked;

 private:
  const Drive& Ask(const wchar_t* what, wchar_t letter) {
    asked += std::wstring(1, letter) + L":" + what + L" ";
    return drives_.at(letter);
  }
  std::map<wchar_t, Drive> drives_;
};

TEST(DriveChoiceTest, PicksTheQualifyingDriveWithMostFreeSpace) {
  struct Case {
    const char* what;
    std::vector<Drive> drives;
    const wchar_t* expected;
  };
  Drive removable{L'E'};
  removable.fixed = false;
  Drive usb{L'E'};
  usb.usb = true;
  usb.freeBytes = 900 * kGB;
  Drive readOnly{L'E'};
  readOnly.writable = false;
  readOnly.freeBytes = 900 * kGB;
  Drive noFreeSpace{L'E'};
  noFreeSpace.freeKnown = false;
  Drive bigD{L'D'};
  bigD.freeBytes = 50 * kGB;
  Drive fullC{L'C'};
  fullC.freeBytes = 0;
  Drive huge{L'Y'};
  huge.freeBytes = 5000000 * kGB;  // beyond 32 bits of bytes and of gigabytes

  const std::vector<Case> cases = {
      {"most free space wins", {{L'C'}, bigD, {L'E'}}, L"D:\\"},
      {"equal free space: later letter", {{L'C'}, {L'D'}, {L'E'}}, L"E:\\"},
      {"not fixed skipped", {{L'C'}, removable}, L"C:\\"},
      {"USB skipped", {{L'C'}, usb}, L"C:\\"},
      {"read-only skipped", {{L'C'}, readOnly}, L"C:\\"},
      {"free space unknown skipped", {{L'C'}, noFreeSpace}, L"C:\\"},
      {"zero bytes free still qualifies", {fullC}, L"C:\\"},
      {"64-bit free space", {{L'C'}, huge, {L'Z'}}, L"Y:\\"},
      {"no qualifying drive", {removable}, L"A:\\"},
      {"no drive at all", {}, L"A:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TableFacts facts(c.drives);
    EXPECT_EQ(ChooseWorkDrive(facts.Mask(), facts), c.expected);
  }
}

TEST(DriveChoiceTest, ProbesStopAtTheFirstNoAndNeverTouchAOrB) {
  Drive a{L'A'};
  Drive b{L'B'};
  Drive cdrom{L'D'};
  cdrom.fixed = false;
  Drive usb{L'E'};
  usb.usb = true;
  Drive readOnly{L'F'};
  readOnly.writable = false;
  TableFacts facts({a, b, cdrom, usb, readOnly});
  EXPECT_EQ(ChooseWorkDrive(facts.Mask(), facts), L"A:\\");
  EXPECT_EQ(facts.asked, L"D:fixed E:fixed E:usb F:fixed F:usb F:write ");
}

}  // namespace
}  // namespace rezorev
