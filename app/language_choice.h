// The choice of the interface language, as pure rules over facts read from the system.
//
// Supported languages, in the order they are searched (each has a locale file in the skin):
//   en, zh_CN, pt, ru, tr, vi, id, ko, th, zh_TW
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The ten supported names, in search order.
const std::vector<std::wstring>& SupportedLanguages();

// True when `name` equals a supported name without regard to case.
bool IsSupportedLanguage(const std::wstring& name);

// What the system says, for a language that was not stored by an earlier run.
struct LanguageFacts {
  std::wstring storedLanguage;   // "UserLanguage" read with read-only access; empty when none
  uint16_t uiLanguage = 0;       // GetUserDefaultUILanguage
  std::wstring localeLanguage;   // ISO 639 name of the user locale ("pt"); empty on failure
  std::wstring localeCountry;    // ISO 3166 name of the user locale ("BR"); empty on failure
};

// Detection: a stored supported name; else "zh_CN" for a Chinese (PRC) interface (0x0804); else
// language_COUNTRY when supported; else the language name when supported; else "zh_CN".
std::wstring DetectLanguage(const LanguageFacts& facts);

// The channel's rules on top of the detected language: the package "com.pelto.brawlmoor" (ASCII,
// any case) gets "vi" and sets `*peltoPackage`; international 0 always gets "zh_CN"; otherwise
// "zh_CN" or "zh" (any case) becomes "en".
std::wstring ApplyChannelLanguage(std::wstring language, const std::string& packageName, int32_t international,
                                  bool* peltoPackage);
