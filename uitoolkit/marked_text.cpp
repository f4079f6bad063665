// Marked-up text: tags in angle brackets or braces change the style of the text that follows.
//
//   <a [link text]>..</a> link      <b>..</b> bold        <c #rrggbb>..</c> colour
//   <f id>..</f> or <f face size [bold] [underline] [italic]>..</f> font
//   <i>..</i> italic                <i image-string> inline image
//   <n> new line                    <p [extra]>..</p> paragraph (extra line height)
//   <r>..</r> raw text              <s>..</s> selected     <u>..</u> underline
//   <x n> move right n pixels       <y n> line height n
// "<{>" stands for "{", "<}>" for "}", "{<}" for "<" and "{>}" for ">". A closing tag ends the
// innermost open one.
//
// Drawing runs in three steps: the text is cut into runs (text of one style, an image, or a
// layout command), the runs are laid out into lines (wrapped at spaces unless single-line,
// cut with "..." on DT_END_ELLIPSIS), and the lines are drawn.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "uitoolkit/render_engine.h"

namespace MarkupUI {

namespace {

struct Style {
  HFONT font = nullptr;
  uint32_t color = 0;
  int link = -1;  // index into the link list, -1 outside links
  bool selected = false;
  bool raw = false;
};

enum class RunKind { kText, kImage, kNewLine, kParagraph, kMoveX, kLineHeight };

struct Run {
  RunKind kind = RunKind::kText;
  std::wstring text;  // text, or the image string
  Style style;
  int value = 0;      // paragraph extra, move, line height
};

// Fonts derived while drawing (bold, italic, underline, inline faces), owned for one call.
class FontCache {
 public:
  HFONT Variant(HFONT base, int bold, int italic, int underline) {
    LOGFONTW lf{};
    ::GetObjectW(base, sizeof lf, &lf);
    if (bold >= 0) lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    if (italic >= 0) lf.lfItalic = static_cast<BYTE>(italic);
    if (underline >= 0) lf.lfUnderline = static_cast<BYTE>(underline);
    return Get(lf);
  }
  HFONT Face(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    lf.lfHeight = -size;
    lf.lfWidth = 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline;
    lf.lfItalic = italic;
    return Get(lf);
  }

 private:
  HFONT Get(const LOGFONTW& lf) {
    auto key = std::make_tuple(std::wstring(lf.lfFaceName), lf.lfHeight, lf.lfWeight, lf.lfItalic, lf.lfUnderline);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second.get();
    ScopedFont font(::CreateFontIndirectW(&lf));
    HFONT raw = font.get();
    fonts_.emplace(key, std::move(font));
    return raw;
  }
  std::map<std::tuple<std::wstring, LONG, LONG, BYTE, BYTE>, ScopedFont> fonts_;
};

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L' ');
  size_t e = s.find_last_not_of(L' ');
  return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}

// Cuts the text into runs. Link texts are appended to `linkTexts` in order of appearance.
std::vector<Run> Tokenize(const wchar_t* text, Style base, CPaintManagerUI* manager, FontCache& fonts,
                          std::vector<std::wstring>& linkTexts) {
  std::vector<Run> runs;
  std::vector<Style> stack{base};
  auto addChar = [&](wchar_t ch) {
    if (runs.empty() || runs.back().kind != RunKind::kText || runs.back().style.font != stack.back().font ||
        runs.back().style.color != stack.back().color || runs.back().style.link != stack.back().link ||
        runs.back().style.selected != stack.back().selected) {
      runs.push_back(Run{RunKind::kText, L"", stack.back(), 0});
    }
    runs.back().text += ch;
  };
  auto command = [&](RunKind kind, int value, const std::wstring& textValue = L"") {
    runs.push_back(Run{kind, textValue, stack.back(), value});
  };

  for (const wchar_t* p = text; *p != L'\0';) {
    wchar_t open = *p;
    if (open != L'<' && open != L'{') {
      addChar(*p++);
      continue;
    }
    wchar_t close = open == L'<' ? L'>' : L'}';
    // A bracket pair around a single other bracket stands for that bracket.
    if (p[1] != L'\0' && p[2] == close &&
        ((open == L'<' && (p[1] == L'{' || p[1] == L'}')) || (open == L'{' && (p[1] == L'<' || p[1] == L'>')))) {
      addChar(p[1]);
      p += 3;
      continue;
    }
    bool opening = p[1] >= L'a' && p[1] <= L'z' && (p[2] == L' ' || p[2] == L'>' || p[2] == L'}');
    bool closing = p[1] == L'/';
    if (stack.back().raw && !(closing && p[2] == L'r')) {
      addChar(*p++);
      continue;
    }
    const wchar_t* end = opening || closing ? wcschr(p, close) : nullptr;
    if (end == nullptr) {
      addChar(*p++);
      continue;
    }
    if (closing) {
      if (stack.size() > 1) stack.pop_back();
      p = end + 1;
      continue;
    }
    wchar_t tag = p[1];
    bool bare = p[2] == close;
    std::wstring args = Trim(std::wstring(p + 2, end));
    p = end + 1;
    Style next = stack.back();
    switch (tag) {
      case L'a':
        next.link = static_cast<int>(linkTexts.size());
        next.color = manager->DefaultLinkFontColor();
        linkTexts.push_back(args);
        break;
      case L'b':
        next.font = fonts.Variant(next.font, 1, -1, -1);
        break;
      case L'c': {
        std::wstring hex = !args.empty() && args[0] == L'#' ? args.substr(1) : args;
        next.color = 0xFF000000u | (static_cast<uint32_t>(wcstoul(hex.c_str(), nullptr, 16)) & 0xFFFFFF);
        break;
      }
      case L'f': {
        if (!args.empty() && iswdigit(static_cast<wint_t>(args[0]))) {
          next.font = manager->FontById(static_cast<int>(wcstol(args.c_str(), nullptr, 10)))->font.get();
        } else {
          std::vector<std::wstring> words;
          for (size_t b = 0, e; b < args.size(); b = e + 1) {
            e = args.find(L' ', b);
            if (e == std::wstring::npos) e = args.size();
            if (e > b) words.push_back(args.substr(b, e - b));
          }
          if (!words.empty()) {
            int size = words.size() > 1 ? static_cast<int>(wcstol(words[1].c_str(), nullptr, 10)) : 12;
            auto has = [&](const wchar_t* w) { return std::find(words.begin() + 1, words.end(), w) != words.end(); };
            next.font = fonts.Face(words[0], manager->DpiScale()->ScaleValue(size), has(L"bold"), has(L"underline"),
                                   has(L"italic"));
          }
        }
        break;
      }
      case L'i':
        if (!bare) {  // an inline image: no style change, nothing to close
          command(RunKind::kImage, 0, args);
          continue;
        }
        next.font = fonts.Variant(next.font, -1, 1, -1);
        break;
      case L'n':
        command(RunKind::kNewLine, 0);
        continue;
      case L'p':
        command(RunKind::kParagraph, static_cast<int>(wcstol(args.c_str(), nullptr, 10)));
        break;
      case L'r':
        next.raw = true;
        break;
      case L's':
        next.selected = true;
        break;
      case L'u':
        next.font = fonts.Variant(next.font, -1, -1, 1);
        break;
      case L'x':
        command(RunKind::kMoveX, static_cast<int>(wcstol(args.c_str(), nullptr, 10)));
        continue;
      case L'y':
        command(RunKind::kLineHeight, static_cast<int>(wcstol(args.c_str(), nullptr, 10)));
        continue;
      default:
        continue;  // unknown tags are dropped
    }
    stack.push_back(next);
  }
  return runs;
}

struct Placed {
  const Run* run;
  std::wstring text;  // the part of a text run on this line
  int x = 0;
  int width = 0;
  int height = 0;
  int ascent = 0;
};

struct Line {
  std::vector<Placed> items;
  int top = 0;
  int width = 0;
  int height = 0;
  int ascent = 0;
  int fixedHeight = 0;  // <y n>
};

}  // namespace

void DrawMarkedText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, uint32_t argb, RECT* links,
                    UiString* linkTexts, int& linkCount, int font, UINT style) {
  int linkCapacity = linkCount;
  linkCount = 0;
  if (dc == nullptr || manager == nullptr || text == nullptr) return;
  const bool singleLine = (style & DT_SINGLELINE) != 0;
  const int boxWidth = rect.right - rect.left;

  FontCache fonts;
  std::vector<std::wstring> foundLinks;
  Style base;
  base.font = manager->FontById(font)->font.get();
  base.color = argb;
  std::vector<Run> runs = Tokenize(text, base, manager, fonts, foundLinks);

  // --- layout ---
  HGDIOBJ oldFont = ::SelectObject(dc, base.font);
  std::vector<Line> lines(1);
  int paragraphExtra = 0;
  auto fontMetrics = [&](HFONT f) {
    ::SelectObject(dc, f);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    return tm;
  };
  auto newLine = [&]() {
    Line& last = lines.back();
    if (last.height == 0) last.height = fontMetrics(base.font).tmHeight;
    lines.push_back(Line{});
    lines.back().top = last.top + (last.fixedHeight > 0 ? last.fixedHeight : last.height) + paragraphExtra;
    paragraphExtra = 0;
  };
  auto place = [&](Placed item) {
    Line& line = lines.back();
    item.x = line.width;
    line.width += item.width;
    line.height = std::max(line.height, item.height);
    line.ascent = std::max(line.ascent, item.ascent);
    line.items.push_back(std::move(item));
  };

  for (const Run& run : runs) {
    switch (run.kind) {
      case RunKind::kNewLine:
        if (!singleLine) newLine();
        break;
      case RunKind::kParagraph:
        if (!singleLine && !lines.back().items.empty()) newLine();
        paragraphExtra = run.value;
        break;
      case RunKind::kMoveX:
        lines.back().width += run.value;
        break;
      case RunKind::kLineHeight:
        lines.back().fixedHeight = run.value;
        break;
      case RunKind::kImage: {
        const ImageDrawSpec* spec = manager->DrawSpecFor(run.text.c_str(), nullptr);
        const UiImageEntry* image =
            spec ? manager->ImageByName(spec->imageName, spec->resourceType.IsEmpty() ? nullptr : spec->resourceType.c_str(),
                                        spec->mask)
                 : nullptr;
        if (image == nullptr) break;
        int w = spec->destination.IsZero() ? image->width : spec->destination.Width();
        int h = spec->destination.IsZero() ? image->height : spec->destination.Height();
        if (!singleLine && lines.back().width + w > boxWidth && !lines.back().items.empty()) newLine();
        place(Placed{&run, L"", 0, w, h, h});
        break;
      }
      case RunKind::kText: {
        TEXTMETRICW tm = fontMetrics(run.style.font);
        std::wstring rest = run.text;
        while (!rest.empty()) {
          int available = boxWidth - lines.back().width;
          int fit = 0;
          SIZE size{};
          ::GetTextExtentExPointW(dc, rest.c_str(), static_cast<int>(rest.size()), std::max(available, 0), &fit,
                                  nullptr, &size);
          if (singleLine || fit >= static_cast<int>(rest.size())) {
            place(Placed{&run, rest, 0, size.cx, tm.tmHeight, tm.tmAscent});
            break;
          }
          // Wrap at the last space that fits; a word longer than a line is cut where it ends.
          size_t cut = rest.rfind(L' ', static_cast<size_t>(std::max(fit, 0)));
          if (cut == std::wstring::npos || cut == 0 || static_cast<int>(cut) > fit) {
            if (!lines.back().items.empty() || lines.back().width > 0) {
              newLine();
              continue;
            }
            cut = static_cast<size_t>(std::max(fit, 1));
          }
          std::wstring head = rest.substr(0, cut);
          ::GetTextExtentPoint32W(dc, head.c_str(), static_cast<int>(head.size()), &size);
          place(Placed{&run, head, 0, size.cx, tm.tmHeight, tm.tmAscent});
          rest = rest.substr(cut);
          size_t start = rest.find_first_not_of(L' ');
          rest = start == std::wstring::npos ? L"" : rest.substr(start);
          newLine();
        }
        break;
      }
    }
  }
  if (lines.back().height == 0) lines.back().height = fontMetrics(base.font).tmHeight;

  // A single line that does not fit is cut with "..." on request.
  if (singleLine && (style & DT_END_ELLIPSIS) && lines[0].width > boxWidth) {
    Line& line = lines[0];
    SIZE dots{};
    for (size_t i = 0; i < line.items.size(); ++i) {
      Placed& item = line.items[i];
      if (item.x + item.width <= boxWidth) continue;
      if (item.run->kind == RunKind::kText) {
        ::SelectObject(dc, item.run->style.font);
        ::GetTextExtentPoint32W(dc, L"...", 3, &dots);
        int fit = 0;
        SIZE size{};
        ::GetTextExtentExPointW(dc, item.text.c_str(), static_cast<int>(item.text.size()),
                                std::max<int>(0, boxWidth - item.x - dots.cx), &fit, nullptr, &size);
        item.text = item.text.substr(0, static_cast<size_t>(fit)) + L"...";
        ::GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
        item.width = size.cx;
      }
      line.items.resize(i + 1);
      line.width = item.x + item.width;
      break;
    }
  }

  int totalHeight = lines.back().top + (lines.back().fixedHeight > 0 ? lines.back().fixedHeight : lines.back().height);
  int maxWidth = 0;
  for (const Line& line : lines) maxWidth = std::max(maxWidth, line.width);
  if (style & DT_CALCRECT) {
    rect.right = rect.left + maxWidth;
    rect.bottom = rect.top + totalHeight;
    ::SelectObject(dc, oldFont);
    linkCount = 0;
    return;
  }

  // --- drawing ---
  int offsetY = 0;
  if (singleLine && (style & DT_VCENTER)) offsetY = (rect.bottom - rect.top - totalHeight) / 2;
  else if (singleLine && (style & DT_BOTTOM)) offsetY = rect.bottom - rect.top - totalHeight;
  // Where an item of a line lands: lines aligned in the box, items on their line's base line.
  auto placedBox = [&](const Line& line, const Placed& item) {
    const int offsetX =
        (style & DT_CENTER) ? (boxWidth - line.width) / 2 : (style & DT_RIGHT) ? boxWidth - line.width : 0;
    RECT box = {rect.left + offsetX + item.x, rect.top + offsetY + line.top + line.ascent - item.ascent, 0, 0};
    box.right = box.left + item.width;
    box.bottom = box.top + item.height;
    return box;
  };
  POINT mouse = manager->LastMousePos();
  std::vector<std::vector<RECT>> linkRects(foundLinks.size());
  for (const Line& line : lines) {
    for (const Placed& item : line.items) {
      const RECT box = placedBox(line, item);
      if (item.run->style.link >= 0) linkRects[static_cast<size_t>(item.run->style.link)].push_back(box);
    }
  }
  auto hovered = [&](int link) {
    if (link < 0) return false;
    for (const RECT& r : linkRects[static_cast<size_t>(link)])
      if (::PtInRect(&r, mouse)) return true;
    return false;
  };
  ::SetBkMode(dc, TRANSPARENT);
  UiClip clip;
  if (!(style & DT_NOCLIP)) clip = ClipToRect(dc, rect);
  for (const Line& line : lines) {
    for (const Placed& item : line.items) {
      const RECT box = placedBox(line, item);
      if (item.run->kind == RunKind::kImage) {
        DrawImageString(dc, manager, box, rect, item.run->text.c_str());
        continue;
      }
      const Style& s = item.run->style;
      if (s.selected) FillColor(dc, box, manager->DefaultSelectedBkColor());
      uint32_t color = hovered(s.link) ? manager->DefaultLinkHoverFontColor() : s.color;
      ::SelectObject(dc, s.font);
      ::SetTextColor(dc, ToColorRef(color));
      ::TextOutW(dc, box.left, box.top, item.text.c_str(), static_cast<int>(item.text.size()));
    }
  }
  ::SelectObject(dc, oldFont);

  for (size_t link = 0; link < linkRects.size(); ++link) {
    for (const RECT& r : linkRects[link]) {
      if (linkCount >= linkCapacity) return;
      if (links != nullptr) links[linkCount] = r;
      if (linkTexts != nullptr) linkTexts[linkCount] = foundLinks[link].c_str();
      ++linkCount;
    }
  }
}

}  // namespace MarkupUI
