#include "uitoolkit/image_loader.h"

#include <cstring>
#include <vector>

#include "uitoolkit/image_decode.h"
#include "uitoolkit/paint_manager.h"
#include "uitoolkit/skin_source.h"

namespace MarkupUI {

namespace {

bool ReadResourceBytes(HINSTANCE module, const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes) {
  HINSTANCE candidates[] = {module, CPaintManagerUI::ResourceInstance(), ::GetModuleHandleW(nullptr)};
  for (HINSTANCE candidate : candidates) {
    if (candidate == nullptr) continue;
    HRSRC resource = ::FindResourceW(candidate, name, type);
    if (resource == nullptr) continue;
    HGLOBAL loaded = ::LoadResource(candidate, resource);
    DWORD size = ::SizeofResource(candidate, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) return false;
    bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<UiImageEntry> LoadImageEntry(const wchar_t* name, const wchar_t* resourceType, uint32_t maskColor,
                                             HINSTANCE module) {
  std::vector<uint8_t> bytes;
  if (resourceType != nullptr && resourceType[0] != L'\0') {
    if (!ReadResourceBytes(module, name, resourceType, bytes)) return nullptr;
  } else if (!ReadSkinFile(name, true, bytes)) {
    return nullptr;
  }
  DecodedImage decoded;
  if (!DecodeSkinImage(bytes.data(), bytes.size(), maskColor, &decoded)) return nullptr;
  bytes = std::vector<uint8_t>();

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = decoded.width;
  info.bmiHeader.biHeight = -decoded.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(decoded.pixels.size() * 4);
  void* bits = nullptr;
  ScopedBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return nullptr;
  memcpy(bits, decoded.pixels.data(), decoded.pixels.size() * 4);

  auto entry = std::make_unique<UiImageEntry>();
  entry->bitmap = std::move(bitmap);
  entry->pixels = static_cast<uint32_t*>(bits);
  entry->width = decoded.width;
  entry->height = decoded.height;
  entry->hasAlpha = decoded.hasAlpha;
  return entry;
}

std::unique_ptr<UiImageEntry> LoadImageByName(const wchar_t* name, uint32_t maskColor, HINSTANCE module) {
  // Image aliases of the text table would rename the file here; this program defines none.
  return LoadImageEntry(name, nullptr, maskColor, module);
}

}  // namespace MarkupUI
