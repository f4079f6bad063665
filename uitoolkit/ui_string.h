// The toolkit's shared containers: a wide string with inline storage, a growable array of untyped
// pointers and a string-keyed hash map.
//
// Text is wchar_t throughout. In the Windows program that is UTF-16; in the host build, where the
// Win32-free parts of the toolkit are tested, it is UTF-32. Nothing here depends on the width.
#pragma once

#include <cstddef>
#include <cstdint>

namespace MarkupUI {

// Wide string. Up to 63 characters live inside the object; longer texts move to the heap.
// Always zero-terminated; c_str() is never null.
class UiString {
 public:
  static constexpr int kInlineChars = 63;

  UiString();
  UiString(const wchar_t* text, int length = -1);  // null reads as empty; length < 0: up to the zero
  UiString(wchar_t ch);
  UiString(const UiString& other);
  UiString(UiString&& other) noexcept;
  ~UiString();
  UiString& operator=(const UiString& other);
  UiString& operator=(UiString&& other) noexcept;
  UiString& operator=(const wchar_t* text);

  const wchar_t* c_str() const { return data_; }
  operator const wchar_t*() const { return data_; }
  int Length() const { return length_; }
  bool IsEmpty() const { return length_ == 0; }
  wchar_t At(int index) const { return index >= 0 && index < length_ ? data_[index] : L'\0'; }

  void Empty();
  void Assign(const wchar_t* text, int length = -1);
  void Append(const wchar_t* text, int length = -1);
  UiString& operator+=(const wchar_t* text) { Append(text); return *this; }
  UiString& operator+=(const UiString& text) { Append(text.data_, text.length_); return *this; }
  UiString& operator+=(wchar_t ch) { Append(&ch, 1); return *this; }
  friend UiString operator+(const UiString& a, const wchar_t* b) { UiString r(a); r += b; return r; }

  int Compare(const wchar_t* text) const;        // <0, 0, >0 like wcscmp
  int CompareNoCase(const wchar_t* text) const;  // letters compared without regard to case
  bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
  bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
  bool operator==(const UiString& text) const { return Compare(text.data_) == 0; }
  bool operator!=(const UiString& text) const { return Compare(text.data_) != 0; }

  int Find(wchar_t ch, int start = 0) const;         // index or -1
  int Find(const wchar_t* text, int start = 0) const;
  UiString Left(int count) const;
  UiString Mid(int start, int count = -1) const;
  UiString Right(int count) const;
  int Replace(const wchar_t* from, const wchar_t* to);  // returns the number of replacements
  void MakeUpper();
  void MakeLower();

 private:
  void Reserve(int length);  // keeps the content, capacity for length characters + zero

  wchar_t* data_;
  int length_ = 0;
  int capacity_ = kInlineChars;  // characters, without the terminator
  wchar_t inline_[kInlineChars + 1];
};

// Growable array of untyped pointers; it owns only its storage, never the items.
class UiPtrArray {
 public:
  explicit UiPtrArray(int preallocate = 0);
  UiPtrArray(const UiPtrArray& other);
  UiPtrArray& operator=(const UiPtrArray& other);
  ~UiPtrArray();

  void Empty();
  void Resize(int size);  // new slots are null
  bool IsEmpty() const { return count_ == 0; }
  int Find(const void* item) const;  // first index or -1
  bool Add(void* item);
  bool SetAt(int index, void* item);
  bool InsertAt(int index, void* item);
  bool Remove(int index);
  int GetSize() const { return count_; }
  void** GetData() { return items_; }
  void* GetAt(int index) const { return index >= 0 && index < count_ ? items_[index] : nullptr; }
  void* operator[](int index) const { return GetAt(index); }

 private:
  bool Grow();
  void** items_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};

// String-keyed map to untyped pointers (chained hashing, 83 buckets by default). Keys compare
// exactly. A successful lookup moves the entry to the front of its chain. Enumeration by index
// walks the buckets from the last to the first and each chain from its head. The map never owns
// the values; whoever stores them frees them.
class UiStringMap {
 public:
  explicit UiStringMap(int buckets = 83);
  ~UiStringMap();
  UiStringMap(const UiStringMap&) = delete;
  UiStringMap& operator=(const UiStringMap&) = delete;

  static uint32_t HashKey(const wchar_t* key);

  void Resize(int buckets = 83);  // drops every entry
  void* Find(const wchar_t* key, bool optimize = true) const;
  bool Insert(const wchar_t* key, void* value);  // false when the key exists
  void* Set(const wchar_t* key, void* value);    // inserts or replaces; returns the old value
  bool Remove(const wchar_t* key);
  void RemoveAll();
  int GetSize() const { return count_; }
  const wchar_t* GetAt(int index) const;  // key at that enumeration position, or null
  const wchar_t* operator[](int index) const { return GetAt(index); }

 private:
  struct Entry {
    UiString key;
    void* value;
    Entry* next;
  };
  Entry** buckets_ = nullptr;
  int bucketCount_ = 0;
  int count_ = 0;
};

}  // namespace MarkupUI
