// MD5 (RFC 1321): a streaming digest, the digest of a memory buffer as text, and the digest of a
// file as text. Digest text is 32 lower-case hexadecimal digits in the digest's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Md5Context {
  uint32_t state[4];       // chaining words A, B, C, D
  uint32_t count[2];       // message length in bytes: low, high
  uint8_t buffer[64];      // pending partial block
  uint32_t fill;           // bytes pending in buffer
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const void* bytes, size_t length);
void Md5Final(Md5Context* context, uint8_t digest[16]);

// Digest text of a finished digest.
std::wstring Md5DigestText(const uint8_t digest[16]);

// Digest text of a memory buffer.
std::wstring Md5Hex(const void* bytes, size_t length);

// Digest text of a whole file, read in 64 KiB chunks in constant memory. On failure (open, size,
// read) logs an Error line with tag "utils" and returns an empty string; so does a file that
// ends before its size was read (shortened while being read): no digest of a partial file is
// ever returned. The file is opened shared for reading only. Target build only.
std::wstring GetFileHexMd5(const std::wstring& path);
