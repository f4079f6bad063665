#include "app/language_choice.h"

#include "foundation/ascii_text.h"

namespace {

using rezorev::EqualsIgnoringAsciiCase;

constexpr uint16_t kChinesePrc = 0x0804;

}  // namespace

const std::vector<std::wstring>& SupportedLanguages() {
  static const std::vector<std::wstring> names = {L"en", L"zh_CN", L"pt", L"ru", L"tr",
                                                  L"vi", L"id",    L"ko", L"th", L"zh_TW"};
  return names;
}

bool IsSupportedLanguage(const std::wstring& name) {
  for (const std::wstring& supported : SupportedLanguages())
    if (EqualsIgnoringAsciiCase(name, supported)) return true;
  return false;
}

std::wstring DetectLanguage(const LanguageFacts& facts) {
  if (!facts.storedLanguage.empty() && IsSupportedLanguage(facts.storedLanguage)) return facts.storedLanguage;
  if (facts.uiLanguage == kChinesePrc) return L"zh_CN";
  std::wstring full = facts.localeCountry.empty() ? std::wstring() : facts.localeLanguage + L"_" + facts.localeCountry;
  if (!full.empty() && IsSupportedLanguage(full)) return full;
  if (!facts.localeLanguage.empty() && IsSupportedLanguage(facts.localeLanguage)) return facts.localeLanguage;
  return L"zh_CN";
}

std::wstring ApplyChannelLanguage(std::wstring language, const std::string& packageName, int32_t international,
                                  bool* peltoPackage) {
  std::wstring package(packageName.begin(), packageName.end());  // compared as ASCII
  *peltoPackage = EqualsIgnoringAsciiCase(package, L"com.pelto.brawlmoor");
  if (*peltoPackage) language = L"vi";
  if (international == 0) return L"zh_CN";
  if (EqualsIgnoringAsciiCase(language, L"zh_CN") || EqualsIgnoringAsciiCase(language, L"zh")) return L"en";
  return language;
}
