// CPaintManagerUI: the per-window runtime of the toolkit, and the process-wide resource state.
//
// This part holds the resource side: where skin files come from (resource folder, skin package),
// the shared and per-window resource sets (default colours, fonts by id, images by name, default
// attribute lists, styles, the draw-spec cache), the DPI scale and the text-rendering choice.
// Everything here runs on the UI thread and is not locked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

#include "uitoolkit/dpi_scale.h"
#include "uitoolkit/image_loader.h"
#include "uitoolkit/image_spec.h"
#include "uitoolkit/ui_string.h"

namespace MarkupUI {

struct UiFontEntry {
  ScopedFont font;
  UiString faceName;
  int size = 0;  // pixels (character height)
  bool bold = false;
  bool underline = false;
  bool italic = false;
  bool metricsFilled = false;
  TEXTMETRICW metrics{};  // filled the first time the font is measured (FontMetrics)
};

// One set of resources: every manager has its own; one more is shared by the process. The maps
// own their values (freed by the Remove* functions and the destructor).
struct UiResourceSet {
  UiResourceSet();
  ~UiResourceSet();
  UiResourceSet(const UiResourceSet&) = delete;
  UiResourceSet& operator=(const UiResourceSet&) = delete;

  void RemoveAllFonts();
  void RemoveAllImages();
  void RemoveAllDefaultAttributes();
  void RemoveAllStyles();
  void RemoveAllDrawSpecs();

  uint32_t disabledTextColor = 0xFFA7A6AA;
  uint32_t textColor = 0xFF000000;
  uint32_t linkTextColor = 0xFF0000FF;
  uint32_t linkHoverTextColor = 0xFFD3215F;
  uint32_t selectedBkColor = 0xFFBAE4FF;
  UiFontEntry defaultFont;
  UiStringMap customFonts;        // decimal id -> UiFontEntry*
  UiStringMap images;             // name -> UiImageEntry*
  UiStringMap defaultAttributes;  // class name -> UiString*
  UiStringMap styles;             // style name -> UiString*
  UiStringMap drawSpecs;          // image text + modifier -> ImageDrawSpec*
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // --- process-wide resource state ---
  static HINSTANCE Instance();
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE ResourceInstance();  // falls back to Instance() when none is set
  static void SetResourceInstance(HINSTANCE instance);
  static UiString ModuleFolder();       // ends with "\"; empty without a module handle
  static const UiString& ResourceFolder();
  // Adds a trailing "\" to a non-empty path that ends in neither "\" nor "/".
  static void SetResourceFolder(const wchar_t* path);
  // The skin package held in memory under the name "membuffer"; the bytes are read in place and
  // must outlive the process's use of the skin. Ignored (returns true) while "membuffer" is
  // already in use. False when the bytes are no archive; the package name is set regardless.
  static bool UseMemoryPackage(const void* bytes, size_t length);
  // A package file in the resource folder, opened now and held. False when it cannot be opened.
  static bool UsePackageFile(const wchar_t* name);
  static const UiString& PackageName();
  static bool IsPackageCached();
  static UiResourceSet& SharedResources();
  static void SetHsl(bool use, short hue, short saturation, short lightness);
  static bool UseHsl();
  static void HslValues(short* hue, short* saturation, short* lightness);

  // --- text and drawing choices ---
  bool IsLayered() const { return layered_; }
  bool IsUseGdiplusText() const { return useGdiplusText_; }
  void SetUseGdiplusText(bool use) { useGdiplusText_ = use; }
  int GdiplusTextRenderingHint() const { return textRenderingHint_; }
  void SetGdiplusTextRenderingHint(int hint) { textRenderingHint_ = hint; }
  POINT LastMousePos() const { return lastMousePos_; }
  void SetLastMousePos(POINT point) { lastMousePos_ = point; }
  UiDpiScale* DpiScale();  // created on first use
  // When set, fonts, images, styles and defaults registered through this manager go to the
  // shared set instead of its own.
  void SetForceShared(bool force) { forceShared_ = force; }
  UiResourceSet& OwnResources() { return resources_; }

  // --- default colours ---
  uint32_t DefaultDisabledColor() const { return resources_.disabledTextColor; }
  uint32_t DefaultFontColor() const { return resources_.textColor; }
  uint32_t DefaultLinkFontColor() const { return resources_.linkTextColor; }
  uint32_t DefaultLinkHoverFontColor() const { return resources_.linkHoverTextColor; }
  uint32_t DefaultSelectedBkColor() const { return resources_.selectedBkColor; }
  void SetDefaultColors(uint32_t disabled, uint32_t text, uint32_t link, uint32_t linkHover, uint32_t selected,
                        bool shared);

  // --- fonts ---
  // Sizes are character heights in pixels, scaled by the DPI scale.
  void SetDefaultFontEntry(const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared);
  // Creates a font and files it under `id` (replacing an earlier one). Null when it cannot be made.
  HFONT AddFontEntry(int id, const wchar_t* face, int size, bool bold, bool underline, bool italic, bool shared);
  // The font of `id`: this manager's, then the shared ones; a negative or unknown id gives this
  // manager's default font when it has one, else the shared default font. Never null.
  UiFontEntry* FontById(int id);
  UiFontEntry* FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
  UiFontEntry* FontEntryOf(HFONT font);
  const TEXTMETRICW& FontMetrics(UiFontEntry* entry);
  // Reads a font file through the skin sources and registers it privately for the process; the
  // handle is kept (empty when it failed) and released with the manager.
  void AddFontFile(const wchar_t* name);
  int FontMemoryHandleCount() const { return fontMemoryHandles_.GetSize(); }

  // --- images ---
  // This manager's image, then the shared one, else loaded and registered: no resource type (or
  // an empty one) reads a skin file; with one, `name` must begin with a digit and is read as a
  // decimal resource id. Null when nothing could be loaded.
  const UiImageEntry* ImageByName(const wchar_t* name, const wchar_t* resourceType = nullptr, uint32_t mask = 0,
                                  bool useHsl = false, HINSTANCE module = nullptr);
  void RemoveImage(const wchar_t* name);
  void RemoveAllImages();

  // --- image strings ---
  // The parsed spec of image + modifier, cached under their concatenation. Null for an empty key.
  const ImageDrawSpec* DrawSpecFor(const wchar_t* image, const wchar_t* modifier);

  // --- default attributes and styles ---
  void SetDefaultAttributes(const wchar_t* className, const wchar_t* attributes, bool shared);
  const wchar_t* DefaultAttributesFor(const wchar_t* className) const;
  void DefineStyle(const wchar_t* name, const wchar_t* attributes, bool shared);  // keeps an earlier one
  const wchar_t* StyleFor(const wchar_t* name) const;

 private:
  UiResourceSet& TargetSet(bool shared) { return shared || forceShared_ ? SharedResources() : resources_; }
  HDC MeasureDC();

  UiResourceSet resources_;
  UiPtrArray fontMemoryHandles_;
  std::unique_ptr<UiDpiScale> dpiScale_;
  bool forceShared_ = false;
  bool layered_ = false;
  bool useGdiplusText_ = false;
  int textRenderingHint_ = 0;
  POINT lastMousePos_ = {-1, -1};
  struct DcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
  };
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> measureDc_;  // for font metrics
  ULONG_PTR gdiplusToken_ = 0;
};

}  // namespace MarkupUI
