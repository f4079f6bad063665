// Desktop shortcuts and the game icon that the finishing step places for the user. Every
// operation here fails quietly: finishing goes on whatever the desktop allows.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <string>

// Writes the icon resource ("CUSTOM" 134 of the program file) to
// <launcher folder>\Icons\<package>\Game.Ico, creating the folders. Returns the file's path, or ""
// when the resource is missing or empty or the file cannot be written.
std::wstring WriteGameIcon(const std::wstring& launcherFolder, const std::wstring& packageName);

// "<game name>.lnk" on the desktop: the launcher (folder read afresh from the launcher's component
// key) with " -startpkg <package> <extra> -from DesktopLink", described by the game name, with the
// icon when one was written.
void CreateGameShortcut(const std::wstring& packageName, const std::wstring& gameName, const std::wstring& extraParams,
                        const std::wstring& iconPath);

// "Brindle.lnk" (international) or "Varnholt.lnk" on the desktop: the launcher, no arguments, no icon.
void CreateBrandShortcut(const std::wstring& launcherProgram, bool international);

// Replaces <desktop>\<link file name> by a new shell link. Arguments and icon are set only when not
// null. Returns 1 when the desktop folder cannot be had, else CreateShellLink's result.
HRESULT PlaceDesktopLink(const std::wstring& target, const std::wstring& linkFileName, const wchar_t* arguments,
                         const std::wstring& description, const wchar_t* iconPath);

// Saves a shell link (IShellLinkW + IPersistFile) at `linkPath`. Needs COM on the calling thread.
HRESULT CreateShellLink(const std::wstring& target, const std::wstring& linkPath, const wchar_t* arguments,
                        const std::wstring& description, const wchar_t* iconPath);

// COM for the calling thread while the object lives (apartment-threaded, as the shell wants);
// uninitialised again only when this object's initialisation succeeded.
class ScopedComInit {
 public:
  ScopedComInit() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;

 private:
  HRESULT hr_;
};
