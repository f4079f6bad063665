// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds of sixteen steps, little-endian words,
// padding with 0x80, zeros and the 64-bit bit length.
#include "digest/md5.h"

#include <cstring>

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) & 15;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) & 15;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) & 15;
    }
    uint32_t next = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

void Md5Init(Md5Context* context) {
  context->state[0] = 0x67452301;
  context->state[1] = 0xefcdab89;
  context->state[2] = 0x98badcfe;
  context->state[3] = 0x10325476;
  context->count[0] = context->count[1] = 0;
  context->fill = 0;
}

void Md5Update(Md5Context* context, const void* bytes, size_t length) {
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  uint64_t total = (uint64_t(context->count[1]) << 32 | context->count[0]) + length;
  context->count[0] = uint32_t(total);
  context->count[1] = uint32_t(total >> 32);

  if (context->fill > 0) {
    size_t take = 64 - context->fill;
    if (take > length) take = length;
    std::memcpy(context->buffer + context->fill, in, take);
    context->fill += uint32_t(take);
    in += take;
    length -= take;
    if (context->fill < 64) return;
    Transform(context->state, context->buffer);
    context->fill = 0;
  }
  for (; length >= 64; in += 64, length -= 64) Transform(context->state, in);
  if (length > 0) {
    std::memcpy(context->buffer, in, length);
    context->fill = uint32_t(length);
  }
}

void Md5Final(Md5Context* context, uint8_t digest[16]) {
  uint64_t bits = (uint64_t(context->count[1]) << 32 | context->count[0]) * 8;
  uint8_t tail[72] = {0x80};
  size_t padLength = (context->fill < 56) ? (56 - context->fill) : (120 - context->fill);
  for (int i = 0; i < 8; ++i) tail[padLength + i] = uint8_t(bits >> (8 * i));
  Md5Update(context, tail, padLength + 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = uint8_t(context->state[i] >> (8 * j));
}

std::wstring Md5Hex(const void* bytes, size_t length) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, bytes, length);
  uint8_t digest[16];
  Md5Final(&context, digest);
  return Md5DigestText(digest);
}

std::wstring Md5DigestText(const uint8_t digest[16]) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring text(32, L'0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 15];
  }
  return text;
}
