// A second program image instance for identity_win_test: it shares the test helper's ".XvGuid"
// block with every other running instance of itself.
//
//   identity_test_helper hold <result file> <ready event> <release event> <mac text>
//       computes the identifier from the given MAC alone (and the profile file), then stays
//       alive until the release event is set;
//   identity_test_helper stale <result file> <ready event> <release event>
//       marks the block as being computed, as an instance that died while computing would leave
//       it, and stays alive until released;
//   identity_test_helper get <result file> [wait bound in ms]
//       asks for the identifier (MachineIdHex, or a generator with the given wait bound).
//
// The result file receives "before=<state> id=<hex> after=<state>".
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "identity/compute_machine_id.h"
#include "identity/machine_id.h"
#include "identity/profile_store_win.h"

namespace {

using namespace XvMacID;

void WriteResult(const wchar_t* path, uint32_t before, const std::string& id) {
  FILE* file = _wfopen(path, L"wb");
  if (file == nullptr) return;
  std::fprintf(file, "before=%u id=%s after=%u", before, id.c_str(),
               unsigned(ImageSharedIdBlock().state.load()));
  std::fclose(file);
}

int HoldUntilReleased(const wchar_t* readyName, const wchar_t* releaseName) {
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName);
  HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, releaseName);
  if (ready == nullptr || release == nullptr) return 2;
  ::SetEvent(ready);
  const DWORD waited = ::WaitForSingleObject(release, 120000);
  ::CloseHandle(ready);
  ::CloseHandle(release);
  return waited == WAIT_OBJECT_0 ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  const std::wstring mode = argv[1];
  const wchar_t* resultFile = argv[2];
  const uint32_t before = ImageSharedIdBlock().state.load();

  if (mode == L"hold" && argc == 6) {
    MachineFacts facts;
    const std::wstring mac = argv[5];
    facts.mac.assign(mac.begin(), mac.end());
    CSeqIDGenerator generator(&ImageSharedIdBlock(), [&facts](uint8_t id[16]) {
      ProfileFileStore store;
      ComputeMachineId(facts, store, id);
    });
    uint8_t id[16];
    generator.GetId(id);
    WriteResult(resultFile, before, HexLower(id, 16));
    return HoldUntilReleased(argv[3], argv[4]);
  }
  if (mode == L"stale" && argc == 5) {
    ImageSharedIdBlock().state.store(kIdComputing);
    WriteResult(resultFile, before, "");
    return HoldUntilReleased(argv[3], argv[4]);
  }
  if (mode == L"get" && argc == 3) {
    WriteResult(resultFile, before, MachineIdHex());
    return 0;
  }
  if (mode == L"get" && argc == 4) {
    CSeqIDGenerator generator(&ImageSharedIdBlock(), ComputeSystemMachineId,
                              std::chrono::milliseconds(_wtoi(argv[3])));
    uint8_t id[16];
    generator.GetId(id);
    WriteResult(resultFile, before, HexLower(id, 16));
    return 0;
  }
  return 1;
}
