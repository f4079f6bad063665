#include "uitoolkit/image_spec.h"

#include <cstdio>
#include <cwchar>

namespace MarkupUI {

namespace {

bool IsTrue(const UiString& value) { return value.CompareNoCase(L"true") == 0; }

// Four integers, each read with leading-digit rules and followed by one skipped separator.
UiRect ReadRect(const UiString& value) {
  int numbers[4] = {};
  const wchar_t* p = value.c_str();
  for (int& n : numbers) {
    wchar_t* end = nullptr;
    long v = wcstol(p, &end, 10);
    n = v > 0x3FFFFFFF ? 0x3FFFFFFF : v < -0x3FFFFFFF ? -0x3FFFFFFF : static_cast<int>(v);
    p = end;
    if (*p != L'\0') ++p;
  }
  return UiRect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

void ApplyItem(const UiString& key, const UiString& value, const UiDpiScale& scale, ImageDrawSpec* spec) {
  if (value.IsEmpty()) return;
  if (key == L"file" || key == L"res") {
    spec->imageName = value;
  } else if (key == L"restype") {
    spec->resourceType = value;
  } else if (key == L"dest") {
    spec->destination = scale.ScaleRect(ReadRect(value));
  } else if (key == L"source") {
    spec->source = scale.ScaleRect(ReadRect(value));
  } else if (key == L"corner") {
    spec->corner = scale.ScaleRect(ReadRect(value));
  } else if (key == L"mask") {
    const wchar_t* p = value.c_str();
    if (*p == L'#') ++p;
    spec->mask = static_cast<uint32_t>(wcstoul(p, nullptr, 16));
  } else if (key == L"fade") {
    spec->fade = static_cast<uint8_t>(wcstol(value.c_str(), nullptr, 10));
  } else if (key == L"hole") {
    spec->hole = IsTrue(value);
  } else if (key == L"xtiled") {
    spec->tileX = IsTrue(value);
  } else if (key == L"ytiled") {
    spec->tileY = IsTrue(value);
  } else if (key == L"hsl") {
    spec->hsl = IsTrue(value);
  }
}

void ReadItems(const wchar_t* text, const UiDpiScale& scale, ImageDrawSpec* spec) {
  const wchar_t* p = text;
  while (*p != L'\0') {
    while (*p != L'\0' && static_cast<uint32_t>(*p) <= 32) ++p;
    const wchar_t* key = p;
    while (*p != L'=' && static_cast<uint32_t>(*p) > 32) ++p;
    UiString keyText(key, static_cast<int>(p - key));
    while (*p == L' ') ++p;
    if (*p != L'=') return;
    ++p;
    while (*p == L' ') ++p;
    if (*p != L'\'') return;
    const wchar_t* value = ++p;
    while (*p != L'\0' && *p != L'\'') ++p;
    if (*p != L'\'') return;
    ApplyItem(keyText, UiString(value, static_cast<int>(p - value)), scale, spec);
    ++p;
    if (*p != L' ') return;
    ++p;
  }
}

}  // namespace

void ParseImageSpec(const wchar_t* image, const wchar_t* modifier, const UiDpiScale& scale, ImageDrawSpec* spec) {
  if (spec == nullptr) return;
  *spec = ImageDrawSpec();
  spec->drawString = image;
  spec->modifier = modifier;
  spec->imageName = image;
  ReadItems(spec->drawString.c_str(), scale, spec);
  ReadItems(spec->modifier.c_str(), scale, spec);
  int percent = scale.EffectiveScale();
  if (percent != 100) {
    wchar_t replacement[32];
    swprintf(replacement, 32, L"@%d.", percent);
    spec->imageName.Replace(L".", replacement);
  }
}

}  // namespace MarkupUI
