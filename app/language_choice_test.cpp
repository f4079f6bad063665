#include "app/language_choice.h"

#include <gtest/gtest.h>

TEST(LanguageChoice, Detection) {
  struct Case {
    LanguageFacts facts;
    const wchar_t* expected;
  } cases[] = {
      {{L"ko", 0x0409, L"en", L"US"}, L"ko"},
      {{L"KO", 0x0409, L"en", L"US"}, L"KO"},     // kept as stored
      {{L"fr", 0x0409, L"en", L"US"}, L"en"},     // stored but unsupported: detected anew
      {{L"", 0x0804, L"en", L"US"}, L"zh_CN"},    // Chinese (PRC) interface
      {{L"", 0x0404, L"zh", L"TW"}, L"zh_TW"},    // language_COUNTRY supported
      {{L"", 0x0416, L"pt", L"BR"}, L"pt"},       // pt_BR is not, pt is
      {{L"", 0x0416, L"pt", L""}, L"pt"},         // country query failed
      {{L"", 0x040c, L"fr", L"FR"}, L"zh_CN"},    // nothing supported
      {{L"", 0x0409, L"", L""}, L"zh_CN"},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectLanguage(c.facts), c.expected) << c.facts.localeLanguage.size();
}

TEST(LanguageChoice, ChannelRules) {
  struct Case {
    const wchar_t* detected;
    const char* package;
    int international;
    const wchar_t* expected;
    bool pelto;
  } cases[] = {
      {L"en", "", 0, L"zh_CN", false},   // a domestic channel is always Chinese
      {L"zh_CN", "", 1, L"en", false},   // an international channel never is
      {L"ZH", "", 1, L"en", false},
      {L"zh_TW", "", 1, L"zh_TW", false},
      {L"pt", "", 1, L"pt", false},
      {L"en", "com.pelto.brawlmoor", 1, L"vi", true},
      {L"en", "COM.Pelto.BrawlMoor", 1, L"vi", true},
      {L"en", "com.pelto.brawlmoor", 0, L"zh_CN", true},
      {L"en", "com.pelto.brawlmoor2", 1, L"en", false},
  };
  for (const Case& c : cases) {
    bool pelto = !c.pelto;
    EXPECT_EQ(ApplyChannelLanguage(c.detected, c.package, c.international, &pelto), c.expected) << c.package;
    EXPECT_EQ(pelto, c.pelto) << c.package;
  }
}
