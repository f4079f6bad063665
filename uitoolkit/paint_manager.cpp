// CPaintManagerUI, resource side. Sections: process-wide state; resource sets; fonts; images and
// draw specs; default attributes and styles.
#include "uitoolkit/paint_manager.h"

#include <cwchar>
#include <cwctype>
#include <vector>

#include "uitoolkit/gdiplus_include.h"
#include "uitoolkit/skin_source.h"

namespace MarkupUI {

// --- process-wide state ---

namespace {

struct ProcessState {
  HINSTANCE instance = nullptr;
  HINSTANCE resourceInstance = nullptr;
  bool useHsl = false;
  short hue = 180;
  short saturation = 100;
  short lightness = 100;
};

ProcessState& Process() {
  static ProcessState* state = new ProcessState();  // lives for the process
  return *state;
}

ScopedFont MakeFont(const wchar_t* face, int height, bool bold, bool underline, bool italic) {
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  if (face != nullptr && face[0] != L'\0') wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfHeight = -height;
  lf.lfWidth = 0;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfItalic = italic ? TRUE : FALSE;
  return ScopedFont(::CreateFontIndirectW(&lf));
}

// The shared default font: the system default GUI font's face, height, weight, underline and
// italic, with the default character set.
void InitSharedDefaultFont(UiFontEntry& entry) {
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  lf.lfCharSet = DEFAULT_CHARSET;
  entry.font.reset(::CreateFontIndirectW(&lf));
  entry.faceName = lf.lfFaceName;
  entry.size = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
  entry.bold = lf.lfWeight >= FW_BOLD;
  entry.underline = lf.lfUnderline != 0;
  entry.italic = lf.lfItalic != 0;
}

}  // namespace

HINSTANCE CPaintManagerUI::Instance() { return Process().instance; }
void CPaintManagerUI::SetInstance(HINSTANCE instance) { Process().instance = instance; }

HINSTANCE CPaintManagerUI::ResourceInstance() {
  return Process().resourceInstance != nullptr ? Process().resourceInstance : Process().instance;
}
void CPaintManagerUI::SetResourceInstance(HINSTANCE instance) { Process().resourceInstance = instance; }

UiString CPaintManagerUI::ModuleFolder() {
  if (Process().instance == nullptr) return UiString();
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(Process().instance, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return UiString();
    if (n < path.size()) break;
    path.resize(path.size() * 2);
  }
  UiString full(path.data());
  int slash = -1;
  for (int i = 0; i < full.Length(); ++i)
    if (full.At(i) == L'\\' || full.At(i) == L'/') slash = i;
  UiString folder = full.Left(slash + 1);
  if (slash < 0) folder = L"\\";
  return folder;
}

const UiString& CPaintManagerUI::ResourceFolder() { return SkinSources().resourceFolder; }

void CPaintManagerUI::SetResourceFolder(const wchar_t* path) {
  UiString folder(path);
  wchar_t last = folder.At(folder.Length() - 1);
  if (!folder.IsEmpty() && last != L'\\' && last != L'/') folder += L'\\';
  SkinSources().resourceFolder = folder;
}

bool CPaintManagerUI::UseMemoryPackage(const void* bytes, size_t length) {
  SkinSourceState& state = SkinSources();
  if (state.packageName == L"membuffer") return true;
  state.packageName = L"membuffer";
  state.package.reset(OpenPackageMemory(bytes, length, nullptr));
  state.packageCached = state.package != nullptr;
  return state.packageCached;
}

bool CPaintManagerUI::UsePackageFile(const wchar_t* name) {
  SkinSourceState& state = SkinSources();
  state.packageName = name;
  state.package.reset();
  state.packageCached = false;
  if (state.packageName.IsEmpty()) return false;
  UiString path = state.resourceFolder;
  path += state.packageName;
  state.package.reset(OpenPackageFile(path.c_str(), nullptr));
  state.packageCached = state.package != nullptr;
  return state.packageCached;
}

const UiString& CPaintManagerUI::PackageName() { return SkinSources().packageName; }
bool CPaintManagerUI::IsPackageCached() { return SkinSources().packageCached; }

UiResourceSet& CPaintManagerUI::SharedResources() {
  static UiResourceSet* shared = [] {
    auto* set = new UiResourceSet();  // lives for the process
    InitSharedDefaultFont(set->defaultFont);
    return set;
  }();
  return *shared;
}

void CPaintManagerUI::SetHsl(bool use, short hue, short saturation, short lightness) {
  Process().useHsl = use;
  Process().hue = hue;
  Process().saturation = saturation;
  Process().lightness = lightness;
}
bool CPaintManagerUI::UseHsl() { return Process().useHsl; }
void CPaintManagerUI::HslValues(short* hue, short* saturation, short* lightness) {
  if (hue) *hue = Process().hue;
  if (saturation) *saturation = Process().saturation;
  if (lightness) *lightness = Process().lightness;
}

// --- resource sets ---

UiResourceSet::UiResourceSet() = default;

UiResourceSet::~UiResourceSet() {
  RemoveAllFonts();
  RemoveAllImages();
  RemoveAllDefaultAttributes();
  RemoveAllStyles();
  RemoveAllDrawSpecs();
}

namespace {

template <typename T>
void DeleteAll(UiStringMap& map) {
  for (int i = 0; i < map.GetSize(); ++i)
    if (const wchar_t* key = map.GetAt(i)) delete static_cast<T*>(map.Find(key, false));
  map.RemoveAll();
}

}  // namespace

void UiResourceSet::RemoveAllFonts() { DeleteAll<UiFontEntry>(customFonts); }
void UiResourceSet::RemoveAllImages() { DeleteAll<UiImageEntry>(images); }
void UiResourceSet::RemoveAllDefaultAttributes() { DeleteAll<UiString>(defaultAttributes); }
void UiResourceSet::RemoveAllStyles() { DeleteAll<UiString>(styles); }
void UiResourceSet::RemoveAllDrawSpecs() { DeleteAll<ImageDrawSpec>(drawSpecs); }

CPaintManagerUI::CPaintManagerUI() {
  const UiResourceSet& shared = SharedResources();
  resources_.disabledTextColor = shared.disabledTextColor;
  resources_.textColor = shared.textColor;
  resources_.linkTextColor = shared.linkTextColor;
  resources_.linkHoverTextColor = shared.linkHoverTextColor;
  resources_.selectedBkColor = shared.selectedBkColor;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) != Gdiplus::Ok) gdiplusToken_ = 0;
}

CPaintManagerUI::~CPaintManagerUI() {
  resources_.RemoveAllFonts();
  resources_.RemoveAllImages();
  resources_.RemoveAllDrawSpecs();
  for (int i = 0; i < fontMemoryHandles_.GetSize(); ++i)
    if (HANDLE font = fontMemoryHandles_.GetAt(i)) ::RemoveFontMemResourceEx(font);
  if (gdiplusToken_ != 0) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

UiDpiScale* CPaintManagerUI::DpiScale() {
  if (!dpiScale_) dpiScale_ = std::make_unique<UiDpiScale>();
  return dpiScale_.get();
}

void CPaintManagerUI::SetDefaultColors(uint32_t disabled, uint32_t text, uint32_t link, uint32_t linkHover,
                                       uint32_t selected, bool shared) {
  for (UiResourceSet* set : {&resources_, shared ? &SharedResources() : nullptr}) {
    if (set == nullptr) continue;
    set->disabledTextColor = disabled;
    set->textColor = text;
    set->linkTextColor = link;
    set->linkHoverTextColor = linkHover;
    set->selectedBkColor = selected;
  }
}

// --- fonts ---

void CPaintManagerUI::SetDefaultFontEntry(const wchar_t* face, int size, bool bold, bool underline, bool italic,
                                          bool shared) {
  ScopedFont font = MakeFont(face, DpiScale()->ScaleValue(size), bold, underline, italic);
  if (!font) return;
  UiFontEntry& entry = TargetSet(shared).defaultFont;
  entry.font = std::move(font);
  entry.faceName = face;
  entry.size = size;
  entry.bold = bold;
  entry.underline = underline;
  entry.italic = italic;
  entry.metricsFilled = false;
}

HFONT CPaintManagerUI::AddFontEntry(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                                    bool shared) {
  ScopedFont font = MakeFont(face, DpiScale()->ScaleValue(size), bold, underline, italic);
  if (!font) return nullptr;
  auto* entry = new UiFontEntry();
  entry->font = std::move(font);
  entry->faceName = face;
  entry->size = size;
  entry->bold = bold;
  entry->underline = underline;
  entry->italic = italic;
  wchar_t key[16];
  swprintf(key, 16, L"%d", id);
  delete static_cast<UiFontEntry*>(TargetSet(shared).customFonts.Set(key, entry));
  return entry->font.get();
}

UiFontEntry* CPaintManagerUI::FontById(int id) {
  if (id >= 0) {
    wchar_t key[16];
    swprintf(key, 16, L"%d", id);
    if (auto* own = static_cast<UiFontEntry*>(resources_.customFonts.Find(key))) return own;
    if (auto* shared = static_cast<UiFontEntry*>(SharedResources().customFonts.Find(key))) return shared;
  }
  if (resources_.defaultFont.font) return &resources_.defaultFont;
  return &SharedResources().defaultFont;
}

UiFontEntry* CPaintManagerUI::FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic) {
  for (UiResourceSet* set : {&resources_, &SharedResources()}) {
    for (int i = 0; i < set->customFonts.GetSize(); ++i) {
      auto* entry = static_cast<UiFontEntry*>(set->customFonts.Find(set->customFonts.GetAt(i), false));
      if (entry && entry->faceName == face && entry->size == size && entry->bold == bold &&
          entry->underline == underline && entry->italic == italic)
        return entry;
    }
  }
  return nullptr;
}

UiFontEntry* CPaintManagerUI::FontEntryOf(HFONT font) {
  if (font == nullptr) return nullptr;
  for (UiResourceSet* set : {&resources_, &SharedResources()}) {
    if (set->defaultFont.font.get() == font) return &set->defaultFont;
    for (int i = 0; i < set->customFonts.GetSize(); ++i) {
      auto* entry = static_cast<UiFontEntry*>(set->customFonts.Find(set->customFonts.GetAt(i), false));
      if (entry && entry->font.get() == font) return entry;
    }
  }
  return nullptr;
}

HDC CPaintManagerUI::MeasureDC() {
  if (!measureDc_) measureDc_.reset(::CreateCompatibleDC(nullptr));
  return measureDc_.get();
}

const TEXTMETRICW& CPaintManagerUI::FontMetrics(UiFontEntry* entry) {
  if (!entry->metricsFilled && entry->font) {
    HDC dc = MeasureDC();
    HGDIOBJ old = ::SelectObject(dc, entry->font.get());
    entry->metricsFilled = ::GetTextMetricsW(dc, &entry->metrics) != FALSE;
    ::SelectObject(dc, old);
  }
  return entry->metrics;
}

void CPaintManagerUI::AddFontFile(const wchar_t* name) {
  std::vector<uint8_t> bytes;
  HANDLE font = nullptr;
  if (ReadSkinFile(name, true, bytes)) {
    DWORD installed = 0;
    font = ::AddFontMemResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &installed);
  }
  fontMemoryHandles_.Add(font);  // an empty handle records a font that could not be added
}

// --- images and draw specs ---

const UiImageEntry* CPaintManagerUI::ImageByName(const wchar_t* name, const wchar_t* resourceType, uint32_t mask,
                                                 bool /*useHsl*/, HINSTANCE module) {
  if (name == nullptr || name[0] == L'\0') return nullptr;
  if (auto* own = static_cast<const UiImageEntry*>(resources_.images.Find(name))) return own;
  if (auto* shared = static_cast<const UiImageEntry*>(SharedResources().images.Find(name))) return shared;

  std::unique_ptr<UiImageEntry> entry;
  if (resourceType == nullptr || resourceType[0] == L'\0') {
    entry = LoadImageByName(name, mask, module);
  } else if (iswdigit(static_cast<wint_t>(name[0]))) {
    int id = static_cast<int>(wcstol(name, nullptr, 10));
    entry = LoadImageEntry(MAKEINTRESOURCEW(id), resourceType, mask, module);
  }
  if (!entry) return nullptr;
  entry->resourceType = resourceType;
  entry->maskColor = mask;
  UiImageEntry* stored = entry.release();
  TargetSet(false).images.Insert(name, stored);
  return stored;
}

void CPaintManagerUI::RemoveImage(const wchar_t* name) {
  if (auto* own = static_cast<UiImageEntry*>(resources_.images.Find(name))) {
    delete own;
    resources_.images.Remove(name);
  } else if (auto* shared = static_cast<UiImageEntry*>(SharedResources().images.Find(name))) {
    delete shared;
    SharedResources().images.Remove(name);
  }
}

void CPaintManagerUI::RemoveAllImages() { resources_.RemoveAllImages(); }

const ImageDrawSpec* CPaintManagerUI::DrawSpecFor(const wchar_t* image, const wchar_t* modifier) {
  UiString key(image);
  key += modifier;
  if (key.IsEmpty()) return nullptr;
  UiStringMap& cache = TargetSet(false).drawSpecs;
  if (auto* cached = static_cast<const ImageDrawSpec*>(cache.Find(key))) return cached;
  auto* spec = new ImageDrawSpec();
  ParseImageSpec(image, modifier, *DpiScale(), spec);
  cache.Insert(key, spec);
  return spec;
}

// --- default attributes and styles ---

void CPaintManagerUI::SetDefaultAttributes(const wchar_t* className, const wchar_t* attributes, bool shared) {
  if (className == nullptr || attributes == nullptr) return;
  delete static_cast<UiString*>(TargetSet(shared).defaultAttributes.Set(className, new UiString(attributes)));
}

const wchar_t* CPaintManagerUI::DefaultAttributesFor(const wchar_t* className) const {
  if (auto* own = static_cast<UiString*>(resources_.defaultAttributes.Find(className))) return own->c_str();
  if (auto* shared = static_cast<UiString*>(SharedResources().defaultAttributes.Find(className))) return shared->c_str();
  return nullptr;
}

void CPaintManagerUI::DefineStyle(const wchar_t* name, const wchar_t* attributes, bool shared) {
  if (name == nullptr || attributes == nullptr) return;
  auto* text = new UiString(attributes);
  if (!TargetSet(shared).styles.Insert(name, text)) delete text;
}

const wchar_t* CPaintManagerUI::StyleFor(const wchar_t* name) const {
  if (auto* own = static_cast<UiString*>(resources_.styles.Find(name))) return own->c_str();
  if (auto* shared = static_cast<UiString*>(SharedResources().styles.Find(name))) return shared->c_str();
  return nullptr;
}

}  // namespace MarkupUI
