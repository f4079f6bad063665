// Markup parser. Sections: reading and conversion; the in-place parser (content, attributes,
// character data); nodes and their lazily mapped attributes.
#include "uitoolkit/markup.h"

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "uitoolkit/skin_source.h"
#include "uitoolkit/wide_utf8.h"

namespace MarkupUI {

namespace {

bool IsSpace(wchar_t c) { return static_cast<uint32_t>(c) <= 32 && c != L'\0'; }

// Character classes below 128, looked up rather than computed per character: whitespace (codes 1
// to 32; the zero that ends the text is not whitespace) and name characters (letters, digits,
// "_", ":").
// Two more classes end a run of character data: the end of the text, "&", and the stop
// character of element data ("<") or of an attribute value (a double quote).
constexpr uint8_t kSpaceClass = 1;
constexpr uint8_t kNameClass = 2;
constexpr uint8_t kEndsElementData = 4;
constexpr uint8_t kEndsAttributeValue = 8;
struct ClassTable {
  uint8_t ascii[128] = {};
  constexpr ClassTable() {
    for (int c = 1; c <= 32; ++c) ascii[c] = kSpaceClass;
    for (int c = 0; c < 128; ++c)
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':')
        ascii[c] = kNameClass;
    ascii[0] |= kEndsElementData | kEndsAttributeValue;
    ascii['&'] |= kEndsElementData | kEndsAttributeValue;
    ascii['<'] |= kEndsElementData;
    ascii['"'] |= kEndsAttributeValue;
  }
};
constexpr ClassTable kClasses;

// Equal over `n` characters; inline because the C library's wmemcmp is a slow call on Windows.
bool SameChars(const wchar_t* a, const wchar_t* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

uint8_t ClassOf(wchar_t c) {
  uint32_t code = static_cast<uint32_t>(c);
  return code < 128 ? kClasses.ascii[code] : 0;
}

bool IsNameChar(wchar_t c) {
  uint32_t code = static_cast<uint32_t>(c);
  if (code < 128) return (kClasses.ascii[code] & kNameClass) != 0;
  return iswalnum(static_cast<wint_t>(c)) != 0;
}

void CopyCut(wchar_t* dest, size_t destChars, const wchar_t* source) {
  size_t n = 0;
  while (n + 1 < destChars && source[n] != L'\0') {
    dest[n] = source[n];
    ++n;
  }
  dest[n] = L'\0';
}

struct Entity {
  const wchar_t* name;  // with the closing ";"
  size_t length;
  wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"lt;", 3, L'<'}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
};

}  // namespace

// --- reading and conversion ---

void CXmlMarkup::Clear() {
  text_.reset();
  textLength_ = 0;
  elements_ = std::vector<XmlElementRecord>();
  count_ = 0;
  capacity_ = 0;
}

bool CXmlMarkup::ParseText(const wchar_t* text) {
  Clear();
  if (text == nullptr) text = L"";
  size_t n = wcslen(text);
  text_.reset(new wchar_t[n + 1]);
  memcpy(text_.get(), text, (n + 1) * sizeof(wchar_t));
  textLength_ = n;
  return Parse();
}

bool CXmlMarkup::ParseBytes(const void* bytes, size_t size, int /*encoding*/) {
  Clear();
  const char* p = static_cast<const char*>(bytes);
  if (p == nullptr) size = 0;
  if (size >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
    p += 3;
    size -= 3;
  }
  text_.reset(new wchar_t[size + 1]);  // decoded straight into the one text buffer
  // Like ParseText, the text ends at its first zero (in UTF-8 only a zero byte decodes to zero).
  textLength_ = DecodeUtf8(p, size, text_.get(), true);
  text_[textLength_] = L'\0';
  return Parse();
}

bool CXmlMarkup::ParseSkinFile(const wchar_t* name) {
  Clear();
  std::vector<uint8_t> bytes;
  if (const wchar_t* error = ReadMarkupFile(name, bytes)) {
    errorMessage_[0] = L'\0';
    errorLocation_[0] = L'\0';
    CopyCut(errorMessage_, 100, error);
    CopyCut(errorLocation_, 50, name ? name : L"");
    return false;
  }
  return ParseBytes(bytes.data(), bytes.size());
}

CXmlMarkupNode CXmlMarkup::RootNode() const {
  if (count_ < 2) return CXmlMarkupNode();
  return CXmlMarkupNode(this, 1);
}

// --- the in-place parser ---

bool CXmlMarkup::Fail(const wchar_t* message, size_t pos) {
  CopyCut(errorMessage_, 100, message);
  CopyCut(errorLocation_, 50, pos <= textLength_ ? text_.get() + pos : L"");
  Clear();
  return false;
}

uint32_t CXmlMarkup::ReserveElement() {
  if (count_ >= capacity_) {
    capacity_ += capacity_ / 2 + 500;
    elements_.reserve(capacity_);
  }
  elements_.push_back(XmlElementRecord{});
  return count_++;
}

void CXmlMarkup::SkipWhitespace(size_t& pos) const {
  const wchar_t* t = text_.get();
  size_t p = pos;  // a local: the loop must not store through the reference on every step
  while (IsSpace(t[p])) ++p;
  pos = p;
}

void CXmlMarkup::SkipName(size_t& pos) const {
  const wchar_t* t = text_.get();
  size_t p = pos;
  while (IsNameChar(t[p])) ++p;
  pos = p;
}

bool CXmlMarkup::Parse() {
  errorMessage_[0] = L'\0';
  errorLocation_[0] = L'\0';
  ReserveElement();  // entry 0: the placeholder parent of the top level
  size_t pos = 0;
  return ParseContent(0, pos, 0);
}

// Parses the content of element `parent` (0 = the top level) from `pos`. Returns true at the end
// of the content: at an end tag (left for the caller) or at the end of the text where allowed.
bool CXmlMarkup::ParseContent(uint32_t parent, size_t& pos, int depth) {
  if (depth > kMaxDepth) return Fail(L"Elements nested too deeply", pos);
  wchar_t* t = text_.get();
  uint32_t previous = 0;
  for (;;) {
    SkipWhitespace(pos);
    if (t[pos] == L'\0' && parent <= 1) return true;
    if (t[pos] != L'<') return Fail(L"Expected start tag", pos);
    if (t[pos + 1] == L'/') return true;
    t[pos++] = L'\0';
    SkipWhitespace(pos);

    if (t[pos] == L'!' || t[pos] == L'?') {  // comment or processing instruction
      wchar_t first = t[pos] == L'!' ? L'-' : L'?';
      while (t[pos] != L'\0' && !(t[pos] == first && t[pos + 1] == L'>')) ++pos;
      if (t[pos] != L'\0') pos += 2;
      continue;
    }

    uint32_t e = ReserveElement();
    XmlElementRecord& record = elements_[e];
    record.nameStart = static_cast<uint32_t>(pos);
    record.parent = parent;
    if (previous != 0) {
      elements_[previous].nextSibling = e;
    } else if (parent != 0) {
      elements_[parent].firstChild = e;
    }
    previous = e;

    SkipName(pos);
    if (t[pos] == L'\0') return Fail(L"Error parsing element name", pos);
    size_t nameEnd = pos;
    size_t nameLength = nameEnd - elements_[e].nameStart;
    if (!ParseAttributes(pos)) return false;

    SkipWhitespace(pos);
    if (t[pos] == L'/' && t[pos + 1] == L'>') {
      elements_[e].dataStart = static_cast<uint32_t>(pos);
      t[pos] = L'\0';
      pos += 2;
      t[nameEnd] = L'\0';
    } else {
      if (t[pos] != L'>') return Fail(L"Expected start-tag closing", pos);
      ++pos;
      // The name ends here already (not only after the end tag), so that an element left open
      // at the end of the text still has a terminated name.
      t[nameEnd] = L'\0';
      elements_[e].dataStart = static_cast<uint32_t>(pos);
      size_t dataEnd = ParseData(pos, L'<');
      if (t[pos] == L'\0' && parent <= 1) return true;
      if (t[pos] != L'<') return Fail(L"Expected end-tag start", pos);
      if (t[pos + 1] != L'/') {
        if (dataEnd < pos) t[dataEnd] = L'\0';
        if (!ParseContent(e, pos, depth + 1)) return false;
        dataEnd = pos;
      }
      if (t[pos] == L'<' && t[pos + 1] == L'/') {
        t[dataEnd] = L'\0';
        t[pos] = L'\0';
        pos += 2;
        SkipWhitespace(pos);
        const wchar_t* name = t + elements_[e].nameStart;
        if (textLength_ - pos < nameLength || !SameChars(t + pos, name, nameLength))
          return Fail(L"Unmatched closing tag", pos);
        pos += nameLength;
        SkipWhitespace(pos);
        if (t[pos] != L'>') return Fail(L"Unmatched closing tag", pos);
        ++pos;
      }
    }
  }
}

bool CXmlMarkup::ParseAttributes(size_t& pos) {
  wchar_t* t = text_.get();
  if (t[pos] == L'>' || (t[pos] == L'/' && t[pos + 1] == L'>')) return true;
  t[pos++] = L'\0';  // ends the element name
  for (;;) {
    SkipWhitespace(pos);
    if (t[pos] == L'\0' || t[pos] == L'>' || t[pos] == L'/') return true;
    size_t nameEnd = pos;
    SkipName(nameEnd);
    pos = nameEnd;
    SkipWhitespace(pos);
    if (t[pos] != L'=') return Fail(L"Error while parsing attributes", pos);
    t[pos] = L' ';
    t[nameEnd] = L'\0';
    ++pos;
    SkipWhitespace(pos);
    if (t[pos] != L'"') return Fail(L"Expected attribute value", pos);
    ++pos;
    size_t valueEnd = ParseData(pos, L'"');
    if (t[pos] == L'\0') return Fail(L"Error while parsing attribute string", pos);
    t[valueEnd] = L'\0';
    if (pos > valueEnd) t[pos] = L' ';
    ++pos;
  }
}

// Decodes character data in place from `pos` up to `stop` or the end of the text. Leaves `pos` at
// the stop character; returns the write position (the end of the decoded text). The characters
// between the two read as spaces.
size_t CXmlMarkup::ParseData(size_t& position, wchar_t stop) {
  wchar_t* t = text_.get();
  size_t pos = position;
  // Most data has no entity: scan without copying until the first "&" (four at a time).
  const uint8_t ends = stop == L'<' ? kEndsElementData : kEndsAttributeValue;
  for (;;) {
    if (ClassOf(t[pos]) & ends) break;
    if (ClassOf(t[pos + 1]) & ends) { pos += 1; break; }
    if (ClassOf(t[pos + 2]) & ends) { pos += 2; break; }
    if (ClassOf(t[pos + 3]) & ends) { pos += 3; break; }
    pos += 4;
  }
  size_t write = pos;
  while (t[pos] != L'\0' && t[pos] != stop) {
    if (t[pos] == L'&') {
      const Entity* hit = nullptr;
      for (const Entity& entity : kEntities) {
        if (textLength_ - (pos + 1) >= entity.length && SameChars(t + pos + 1, entity.name, entity.length)) {
          hit = &entity;
          break;
        }
      }
      if (hit != nullptr) {
        t[write++] = hit->value;
        pos += 1 + hit->length;
        continue;
      }
    }
    t[write++] = t[pos++];
  }
  for (size_t i = write + 1; i < pos; ++i) t[i] = L' ';
  position = pos;
  return write;
}

// --- nodes ---

CXmlMarkupNode CXmlMarkupNode::FirstChild() const {
  if (owner_ == nullptr) return CXmlMarkupNode();
  uint32_t child = owner_->elements_[position_].firstChild;
  return child != 0 ? CXmlMarkupNode(owner_, child) : CXmlMarkupNode();
}

CXmlMarkupNode CXmlMarkupNode::NextSibling() const {
  if (owner_ == nullptr) return CXmlMarkupNode();
  uint32_t next = owner_->elements_[position_].nextSibling;
  return next != 0 ? CXmlMarkupNode(owner_, next) : CXmlMarkupNode();
}

const wchar_t* CXmlMarkupNode::ElementName() const {
  if (owner_ == nullptr) return nullptr;
  return owner_->text_.get() + owner_->elements_[position_].nameStart;
}

// Walks the zero-separated text after the element name: name, value, name, value, ... up to the
// element's data start. A position that is not a name followed by a quoted value ends the list.
void CXmlMarkupNode::MapAttributes() {
  mapped_ = true;
  attributeCount_ = 0;
  const wchar_t* t = owner_->text_.get();
  const XmlElementRecord& record = owner_->elements_[position_];
  size_t pos = record.nameStart;
  while (attributeCount_ < kMaxAttributes) {
    pos += wcslen(t + pos) + 1;  // past the current string and its terminator
    if (pos >= record.dataStart) return;
    while (pos < record.dataStart && static_cast<uint32_t>(t[pos]) <= 32) ++pos;
    if (pos >= record.dataStart || !IsNameChar(t[pos])) return;
    size_t name = pos;
    pos += wcslen(t + pos) + 1;
    while (pos < record.dataStart && IsSpace(t[pos])) ++pos;
    if (pos >= record.dataStart || t[pos] != L'"') return;
    ++pos;
    attributes_[attributeCount_].name = static_cast<uint32_t>(name);
    attributes_[attributeCount_].value = static_cast<uint32_t>(pos);
    ++attributeCount_;
  }
}

int CXmlMarkupNode::AttributeCount() {
  if (owner_ == nullptr) return 0;
  if (!mapped_) MapAttributes();
  return attributeCount_;
}

bool CXmlMarkupNode::HasAnyAttributes() { return AttributeCount() > 0; }

const wchar_t* CXmlMarkupNode::AttributeNameAt(int index) {
  if (owner_ == nullptr) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_.get() + attributes_[index].name;
}

const wchar_t* CXmlMarkupNode::AttributeValueAt(int index) {
  if (owner_ == nullptr) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_.get() + attributes_[index].value;
}

bool CXmlMarkupNode::FindAttribute(const wchar_t* name, wchar_t* value, size_t valueChars) {
  if (owner_ == nullptr || name == nullptr || value == nullptr || valueChars == 0) return false;
  int count = AttributeCount();
  const wchar_t* t = owner_->text_.get();
  for (int i = 0; i < count; ++i) {
    const wchar_t* a = t + attributes_[i].name;
    const wchar_t* b = name;
    while (*a != L'\0' && towlower(static_cast<wint_t>(*a)) == towlower(static_cast<wint_t>(*b))) {
      ++a;
      ++b;
    }
    if (*a == L'\0' && *b == L'\0') {
      CopyCut(value, valueChars < kValueBufferChars ? valueChars : kValueBufferChars, t + attributes_[i].value);
      return true;
    }
  }
  return false;
}

}  // namespace MarkupUI
