// Host build: the install run itself is Windows-only, so the engine's hooks that reach the process
// configuration and the run report have neutral stand-ins here; the catalogue and the plan, which
// the host build tests, never call them.
#include "installer/install_engine.h"

std::wstring CInstallEngine::TempDir() const { return std::wstring(); }

std::wstring CInstallEngine::InstallDir() const { return std::wstring(); }

void CInstallEngine::Report(int32_t, int32_t, int32_t, int32_t) {}
