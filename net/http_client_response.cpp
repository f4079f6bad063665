#include "net/http_client_response.h"

#include <cstring>
#include <new>
#include <vector>

#include "net/header_pattern.h"

namespace httpresponse {

void ReadCharset(const std::wstring& rawHeaders, std::wstring& charset) {
  std::vector<std::wstring> values;
  if (CollectCaptures(kCharsetPattern, rawHeaders, values) && !values.empty()) charset = values[0];
}

void ReadContentLength(const std::wstring& rawHeaders, uint32_t& contentLength) {
  std::vector<std::wstring> values;
  if (!CollectCaptures(kContentLengthPattern, rawHeaders, values) || values.empty()) return;
  uint64_t value = 0;
  for (wchar_t c : values[0]) {
    value = value * 10 + uint64_t(c - L'0');
    if (value > UINT32_MAX) {
      value = UINT32_MAX;
      break;
    }
  }
  contentLength = uint32_t(value);
}

void AppendReceivedCookies(const std::wstring& rawHeaders, std::wstring& receivedCookies) {
  std::vector<std::wstring> values;
  if (!CollectCaptures(kSetCookiePattern, rawHeaders, values) || values.empty()) return;
  for (size_t k = 0; k < values.size(); ++k) {
    if (k > 0) receivedCookies += L"; ";
    receivedCookies += values[k];
  }
  size_t first = receivedCookies.find_first_not_of(L' ');
  if (first == std::wstring::npos) {
    receivedCookies.clear();
    return;
  }
  receivedCookies = receivedCookies.substr(first, receivedCookies.find_last_not_of(L' ') - first + 1);
  if (receivedCookies.back() != L';') receivedCookies += L';';
}

bool IsCutOffHtml(const std::wstring& text) {
  std::vector<std::wstring> found;
  if (!CollectCaptures(kHtmlOpenPattern, text, found) || found.empty()) return false;
  return !CollectCaptures(kHtmlClosePattern, text, found) || found.empty();
}

bool ResponseBody::Start(size_t maxBytes) {
  data_.reset();
  size_ = 0;
  capacity_ = 0;
  maxBytes_ = maxBytes;
  data_.reset(new (std::nothrow) char[kInitialCapacity]());
  if (!data_) return false;
  capacity_ = kInitialCapacity;
  return true;
}

bool ResponseBody::Append(const void* data, size_t length) {
  if (!data_) return false;
  if (length > maxBytes_ - size_) return false;
  size_t needed = size_ + length + 1;  // room for the terminating zero
  if (needed > capacity_) {
    size_t capacity = capacity_;
    while (capacity < needed) capacity *= 2;  // needed <= maxBytes + 1, far below SIZE_MAX / 2
    std::unique_ptr<char[]> larger(new (std::nothrow) char[capacity]);
    if (!larger) return false;
    std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ = capacity;
  }
  std::memcpy(data_.get() + size_, data, length);
  size_ += length;
  data_[size_] = 0;
  return true;
}

}  // namespace httpresponse
