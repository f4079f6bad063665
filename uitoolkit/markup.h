// Window and language markup: a small XML-like grammar parsed in place.
//
// Grammar (not conforming XML):
//   content   := ( whitespace | element | "<!" ... "->" | "<?" ... "?>" )*
//   element   := "<" name attribute* ( "/>" | ">" chardata content "</" name ws ">" )
//   attribute := name ws "=" ws '"' chardata '"'
//   name      := ( letter | digit | "_" | ":" )*
//   chardata  := text with the entities &amp; &lt; &gt; &quot; &apos; (any other "&" stays as is)
// Whitespace is every character with a code of 32 or less. Single-quoted values, CDATA, DTDs and
// character references are not understood. An element left open at the end of the text is
// accepted at the top two levels.
//
// The text is converted to wide characters once and then transformed in place: names and values
// are zero-terminated inside it and decoded entities shift characters left (the gap reads as
// spaces). Each element is five integers in one flat table; entry 0 is a placeholder, the first
// real element is entry 1. A node finds its attributes on first request by walking the
// zero-separated text the parser left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace MarkupUI {

class CXmlMarkup;

struct XmlElementRecord {
  uint32_t nameStart;    // offset of the zero-terminated element name
  uint32_t firstChild;   // element index, 0 = none
  uint32_t nextSibling;  // element index, 0 = none
  uint32_t parent;       // element index, 0 = top level
  uint32_t dataStart;    // offset after the start tag's ">" (empty-element tag: offset of its "/")
};

// A position in a parsed markup. A value: copy freely, but the owning CXmlMarkup must outlive it
// and must not be re-parsed while it is in use (the node points into its text).
class CXmlMarkupNode {
 public:
  static constexpr int kMaxAttributes = 64;
  static constexpr int kValueBufferChars = 500;

  CXmlMarkupNode() = default;  // unbound

  bool IsBound() const { return owner_ != nullptr; }
  CXmlMarkupNode FirstChild() const;   // unbound when there is none
  CXmlMarkupNode NextSibling() const;  // unbound when there is none
  const wchar_t* ElementName() const;  // null for an unbound node

  // Attributes are mapped on the first of these calls; only the first 64 are visible.
  int AttributeCount();
  bool HasAnyAttributes();
  const wchar_t* AttributeNameAt(int index);   // null when unbound, "" when out of range
  const wchar_t* AttributeValueAt(int index);  // null when unbound, "" when out of range
  // Case-insensitive name match in document order. On a match copies the value, cut to 499
  // characters and zero-terminated, into `value` (500 characters) and returns true.
  bool FindAttribute(const wchar_t* name, wchar_t* value, size_t valueChars = kValueBufferChars);

 private:
  friend class CXmlMarkup;
  CXmlMarkupNode(const CXmlMarkup* owner, uint32_t position) : owner_(owner), position_(position) {}
  void MapAttributes();

  const CXmlMarkup* owner_ = nullptr;
  uint32_t position_ = 0;
  bool mapped_ = false;
  int attributeCount_ = 0;
  struct Pair {
    uint32_t name;
    uint32_t value;
  };
  Pair attributes_[kMaxAttributes];
};

class CXmlMarkup {
 public:
  // Largest markup file read from the skin sources, in bytes (4 MiB).
  static constexpr uint32_t kMaxFileBytes = 4u * 1024u * 1024u;
  // Elements nested deeper than this are refused ("Elements nested too deeply"): nesting is
  // parsed recursively and the stack must stay bounded whatever the input.
  static constexpr int kMaxDepth = 256;

  CXmlMarkup() = default;
  CXmlMarkup(const CXmlMarkup&) = delete;
  CXmlMarkup& operator=(const CXmlMarkup&) = delete;

  // Each parse clears the object first; a failed parse leaves it empty with the reason in
  // ErrorMessage() and the text at the failure point in ErrorLocation().
  bool ParseText(const wchar_t* text);
  // The bytes are read as UTF-8 (a leading byte-order mark is skipped); `encoding` is ignored.
  bool ParseBytes(const void* bytes, size_t size, int encoding = 0);
  // Reads `name` through the skin sources (package entry or resource folder file, at most
  // kMaxFileBytes) and parses it. Read failures use the messages of the file table below.
  bool ParseSkinFile(const wchar_t* name);

  void Clear();
  CXmlMarkupNode RootNode() const;  // element 1, or unbound when there are no elements
  bool IsValid() const { return count_ > 1; }

  const wchar_t* ErrorMessage() const { return errorMessage_; }
  const wchar_t* ErrorLocation() const { return errorLocation_; }
  uint32_t ElementCount() const { return count_ == 0 ? 0 : count_ - 1; }  // real elements

  // Read failures of ParseSkinFile (kept here so that every markup message is in one place).
  static constexpr const wchar_t* kErrorOpenFile = L"Error opening file";
  static constexpr const wchar_t* kErrorEmpty = L"File is empty";
  static constexpr const wchar_t* kErrorTooLarge = L"File too large";
  static constexpr const wchar_t* kErrorReadFile = L"Could not read file";
  static constexpr const wchar_t* kErrorOpenZip = L"Error opening zip file";
  static constexpr const wchar_t* kErrorNoEntry = L"Could not find ziped file";
  static constexpr const wchar_t* kErrorUnzip = L"Could not unzip file";

 private:
  friend class CXmlMarkupNode;

  bool Parse();
  bool ParseContent(uint32_t parent, size_t& pos, int depth);
  size_t ParseData(size_t& pos, wchar_t stop);  // returns the write position
  bool ParseAttributes(size_t& pos);
  uint32_t ReserveElement();
  void SkipWhitespace(size_t& pos) const;
  void SkipName(size_t& pos) const;
  bool Fail(const wchar_t* message, size_t pos);

  std::unique_ptr<wchar_t[]> text_;
  size_t textLength_ = 0;
  std::vector<XmlElementRecord> elements_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
  wchar_t errorMessage_[100] = {};
  wchar_t errorLocation_[50] = {};
};

}  // namespace MarkupUI
