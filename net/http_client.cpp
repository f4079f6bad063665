// The portable part of the text requests: the success test and the status conversion.
#include "net/http_client.h"

#include <climits>

bool IsHttpSuccess(const HttpTextResult& result) { return result.ok && result.status < 400 && !result.body.empty(); }

int32_t ParseHttpStatus(const std::wstring& statusText) {
  int64_t value = 0;
  for (wchar_t c : statusText) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + (c - L'0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return int32_t(value);
}
