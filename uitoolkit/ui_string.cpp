#include "uitoolkit/ui_string.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>
#include <utility>

namespace MarkupUI {

namespace {

int TextLength(const wchar_t* text, int length) {
  if (text == nullptr) return 0;
  return length < 0 ? static_cast<int>(wcslen(text)) : length;
}

}  // namespace

// --- UiString ---

UiString::UiString() : data_(inline_) { inline_[0] = L'\0'; }

UiString::UiString(const wchar_t* text, int length) : UiString() { Assign(text, length); }

UiString::UiString(wchar_t ch) : UiString() { Assign(&ch, 1); }

UiString::UiString(const UiString& other) : UiString() { Assign(other.data_, other.length_); }

UiString::UiString(UiString&& other) noexcept : UiString() { *this = std::move(other); }

UiString::~UiString() {
  if (data_ != inline_) free(data_);
}

UiString& UiString::operator=(const UiString& other) {
  if (this != &other) Assign(other.data_, other.length_);
  return *this;
}

UiString& UiString::operator=(UiString&& other) noexcept {
  if (this != &other) {
    if (other.data_ != other.inline_) {
      if (data_ != inline_) free(data_);
      data_ = other.data_;
      length_ = other.length_;
      capacity_ = other.capacity_;
      other.data_ = other.inline_;
      other.capacity_ = kInlineChars;
      other.length_ = 0;
      other.inline_[0] = L'\0';
    } else {
      Assign(other.data_, other.length_);
    }
  }
  return *this;
}

UiString& UiString::operator=(const wchar_t* text) {
  Assign(text);
  return *this;
}

void UiString::Reserve(int length) {
  if (length <= capacity_) return;
  int capacity = capacity_ * 2 > length ? capacity_ * 2 : length;
  wchar_t* grown = static_cast<wchar_t*>(malloc((static_cast<size_t>(capacity) + 1) * sizeof(wchar_t)));
  if (grown == nullptr) throw std::bad_alloc();
  memcpy(grown, data_, (static_cast<size_t>(length_) + 1) * sizeof(wchar_t));
  if (data_ != inline_) free(data_);
  data_ = grown;
  capacity_ = capacity;
}

void UiString::Empty() {
  if (data_ != inline_) free(data_);
  data_ = inline_;
  capacity_ = kInlineChars;
  length_ = 0;
  inline_[0] = L'\0';
}

void UiString::Assign(const wchar_t* text, int length) {
  int n = TextLength(text, length);
  if (text >= data_ && text <= data_ + length_) {  // assigning a part of itself
    UiString copy(text, n);
    *this = std::move(copy);
    return;
  }
  length_ = 0;
  data_[0] = L'\0';
  Append(text, n);
}

void UiString::Append(const wchar_t* text, int length) {
  int n = TextLength(text, length);
  if (n == 0) return;
  if (text >= data_ && text <= data_ + length_) {
    UiString copy(text, n);
    Append(copy.data_, copy.length_);
    return;
  }
  Reserve(length_ + n);
  memcpy(data_ + length_, text, static_cast<size_t>(n) * sizeof(wchar_t));
  length_ += n;
  data_[length_] = L'\0';
}

int UiString::Compare(const wchar_t* text) const { return wcscmp(data_, text ? text : L""); }

int UiString::CompareNoCase(const wchar_t* text) const {
  const wchar_t* a = data_;
  const wchar_t* b = text ? text : L"";
  for (;; ++a, ++b) {
    wint_t ca = towlower(static_cast<wint_t>(*a));
    wint_t cb = towlower(static_cast<wint_t>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

int UiString::Find(wchar_t ch, int start) const {
  if (start < 0 || start > length_) return -1;
  for (int i = start; i < length_; ++i)
    if (data_[i] == ch) return i;
  return -1;
}

int UiString::Find(const wchar_t* text, int start) const {
  if (text == nullptr || start < 0 || start > length_) return -1;
  const wchar_t* hit = wcsstr(data_ + start, text);
  return hit ? static_cast<int>(hit - data_) : -1;
}

UiString UiString::Left(int count) const {
  if (count < 0) count = 0;
  if (count > length_) count = length_;
  return UiString(data_, count);
}

UiString UiString::Mid(int start, int count) const {
  if (start < 0) start = 0;
  if (start > length_) start = length_;
  int rest = length_ - start;
  if (count < 0 || count > rest) count = rest;
  return UiString(data_ + start, count);
}

UiString UiString::Right(int count) const {
  if (count < 0) count = 0;
  if (count > length_) count = length_;
  return UiString(data_ + length_ - count, count);
}

int UiString::Replace(const wchar_t* from, const wchar_t* to) {
  int fromLength = TextLength(from, -1);
  if (fromLength == 0) return 0;
  UiString result;
  int count = 0;
  int pos = 0;
  for (int hit = Find(from, 0); hit >= 0; hit = Find(from, pos)) {
    result.Append(data_ + pos, hit - pos);
    result.Append(to);
    pos = hit + fromLength;
    ++count;
  }
  if (count == 0) return 0;
  result.Append(data_ + pos, length_ - pos);
  *this = std::move(result);
  return count;
}

void UiString::MakeUpper() {
  for (int i = 0; i < length_; ++i) data_[i] = static_cast<wchar_t>(towupper(static_cast<wint_t>(data_[i])));
}

void UiString::MakeLower() {
  for (int i = 0; i < length_; ++i) data_[i] = static_cast<wchar_t>(towlower(static_cast<wint_t>(data_[i])));
}

// --- UiPtrArray ---

UiPtrArray::UiPtrArray(int preallocate) {
  if (preallocate > 0) {
    items_ = static_cast<void**>(malloc(static_cast<size_t>(preallocate) * sizeof(void*)));
    if (items_ == nullptr) throw std::bad_alloc();
    capacity_ = preallocate;
  }
}

UiPtrArray::UiPtrArray(const UiPtrArray& other) {
  for (int i = 0; i < other.count_; ++i) Add(other.items_[i]);
}

UiPtrArray& UiPtrArray::operator=(const UiPtrArray& other) {
  if (this != &other) {
    Empty();
    for (int i = 0; i < other.count_; ++i) Add(other.items_[i]);
  }
  return *this;
}

UiPtrArray::~UiPtrArray() { free(items_); }

void UiPtrArray::Empty() {
  free(items_);
  items_ = nullptr;
  count_ = capacity_ = 0;
}

bool UiPtrArray::Grow() {
  int capacity = capacity_ == 0 ? 11 : capacity_ * 2;
  void** grown = static_cast<void**>(realloc(items_, static_cast<size_t>(capacity) * sizeof(void*)));
  if (grown == nullptr) return false;
  items_ = grown;
  capacity_ = capacity;
  return true;
}

void UiPtrArray::Resize(int size) {
  if (size < 0) size = 0;
  while (capacity_ < size)
    if (!Grow()) throw std::bad_alloc();
  for (int i = count_; i < size; ++i) items_[i] = nullptr;
  count_ = size;
}

int UiPtrArray::Find(const void* item) const {
  for (int i = 0; i < count_; ++i)
    if (items_[i] == item) return i;
  return -1;
}

bool UiPtrArray::Add(void* item) {
  if (count_ == capacity_ && !Grow()) return false;
  items_[count_++] = item;
  return true;
}

bool UiPtrArray::SetAt(int index, void* item) {
  if (index < 0 || index >= count_) return false;
  items_[index] = item;
  return true;
}

bool UiPtrArray::InsertAt(int index, void* item) {
  if (index == count_) return Add(item);
  if (index < 0 || index > count_) return false;
  if (count_ == capacity_ && !Grow()) return false;
  memmove(&items_[index + 1], &items_[index], static_cast<size_t>(count_ - index) * sizeof(void*));
  items_[index] = item;
  ++count_;
  return true;
}

bool UiPtrArray::Remove(int index) {
  if (index < 0 || index >= count_) return false;
  if (index < --count_)
    memmove(&items_[index], &items_[index + 1], static_cast<size_t>(count_ - index) * sizeof(void*));
  return true;
}

// --- UiStringMap ---

UiStringMap::UiStringMap(int buckets) { Resize(buckets); }

UiStringMap::~UiStringMap() {
  RemoveAll();
  delete[] buckets_;
}

uint32_t UiStringMap::HashKey(const wchar_t* key) {
  uint32_t h = 0;
  size_t n = wcslen(key);
  while (n > 0) h = h * 33u + static_cast<uint32_t>(key[--n]);
  return h;
}

void UiStringMap::Resize(int buckets) {
  RemoveAll();
  delete[] buckets_;
  bucketCount_ = buckets > 0 ? buckets : 83;
  buckets_ = new Entry*[bucketCount_]();
}

void UiStringMap::RemoveAll() {
  for (int b = 0; b < bucketCount_; ++b) {
    Entry* e = buckets_[b];
    while (e != nullptr) {
      Entry* next = e->next;
      delete e;
      e = next;
    }
    buckets_[b] = nullptr;
  }
  count_ = 0;
}

void* UiStringMap::Find(const wchar_t* key, bool optimize) const {
  if (key == nullptr || count_ == 0) return nullptr;
  Entry** head = &buckets_[HashKey(key) % static_cast<uint32_t>(bucketCount_)];
  for (Entry **link = head; *link != nullptr; link = &(*link)->next) {
    Entry* e = *link;
    if (e->key == key) {
      if (optimize && link != head) {  // move to the front of the chain
        *link = e->next;
        e->next = *head;
        *head = e;
      }
      return e->value;
    }
  }
  return nullptr;
}

bool UiStringMap::Insert(const wchar_t* key, void* value) {
  if (key == nullptr) return false;
  Entry** head = &buckets_[HashKey(key) % static_cast<uint32_t>(bucketCount_)];
  for (Entry* e = *head; e != nullptr; e = e->next)
    if (e->key == key) return false;
  *head = new Entry{UiString(key), value, *head};
  ++count_;
  return true;
}

void* UiStringMap::Set(const wchar_t* key, void* value) {
  if (key == nullptr) return nullptr;
  Entry** head = &buckets_[HashKey(key) % static_cast<uint32_t>(bucketCount_)];
  for (Entry* e = *head; e != nullptr; e = e->next) {
    if (e->key == key) {
      void* old = e->value;
      e->value = value;
      return old;
    }
  }
  *head = new Entry{UiString(key), value, *head};
  ++count_;
  return nullptr;
}

bool UiStringMap::Remove(const wchar_t* key) {
  if (key == nullptr) return false;
  Entry** head = &buckets_[HashKey(key) % static_cast<uint32_t>(bucketCount_)];
  for (Entry** link = head; *link != nullptr; link = &(*link)->next) {
    if ((*link)->key == key) {
      Entry* e = *link;
      *link = e->next;
      delete e;
      --count_;
      return true;
    }
  }
  return false;
}

const wchar_t* UiStringMap::GetAt(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  int position = 0;
  for (int b = bucketCount_ - 1; b >= 0; --b)
    for (Entry* e = buckets_[b]; e != nullptr; e = e->next)
      if (position++ == index) return e->key.c_str();
  return nullptr;
}

}  // namespace MarkupUI
