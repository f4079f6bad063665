// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds of sixteen steps, little-endian words,
// padding with 0x80, zeros and the 64-bit bit length.
#include "digest/md5.h"

#include <cstring>

namespace {

// One step of each round: a = b + ((a + f(b, c, d) + word + constant) <<< shift). b is the
// result of the step before, so everything that does not need it is added first, and the
// boolean functions are written in the forms with the fewest operations after b is known.
inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline void StepF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t xk, int s) {
  a = b + RotateLeft(a + xk + (d ^ (b & (c ^ d))), s);
}
inline void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t xk, int s) {
  // (b & d) | (c & ~d): the two halves never share a bit, so they can be added.
  a = b + RotateLeft(a + xk + (c & ~d) + (b & d), s);
}
inline void StepH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t xk, int s) {
  a = b + RotateLeft(a + xk + ((c ^ d) ^ b), s);
}
inline void StepI(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t xk, int s) {
  a = b + RotateLeft(a + xk + (c ^ (b | ~d)), s);
}

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The 64 steps written out: constants (the integer parts of 2^32 * |sin(i + 1)|), word order and
// shifts fixed per step, as RFC 1321 lists them. Unrolled, the compiler keeps the four chaining
// words in registers and folds each step's constants; a table-driven loop with a branch per step
// ran at about 70 % of this speed (bench/md5_bench.sh).
void Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  StepF(a, b, c, d, x[ 0] + 0xd76aa478u,  7);
  StepF(d, a, b, c, x[ 1] + 0xe8c7b756u, 12);
  StepF(c, d, a, b, x[ 2] + 0x242070dbu, 17);
  StepF(b, c, d, a, x[ 3] + 0xc1bdceeeu, 22);
  StepF(a, b, c, d, x[ 4] + 0xf57c0fafu,  7);
  StepF(d, a, b, c, x[ 5] + 0x4787c62au, 12);
  StepF(c, d, a, b, x[ 6] + 0xa8304613u, 17);
  StepF(b, c, d, a, x[ 7] + 0xfd469501u, 22);
  StepF(a, b, c, d, x[ 8] + 0x698098d8u,  7);
  StepF(d, a, b, c, x[ 9] + 0x8b44f7afu, 12);
  StepF(c, d, a, b, x[10] + 0xffff5bb1u, 17);
  StepF(b, c, d, a, x[11] + 0x895cd7beu, 22);
  StepF(a, b, c, d, x[12] + 0x6b901122u,  7);
  StepF(d, a, b, c, x[13] + 0xfd987193u, 12);
  StepF(c, d, a, b, x[14] + 0xa679438eu, 17);
  StepF(b, c, d, a, x[15] + 0x49b40821u, 22);

  StepG(a, b, c, d, x[ 1] + 0xf61e2562u,  5);
  StepG(d, a, b, c, x[ 6] + 0xc040b340u,  9);
  StepG(c, d, a, b, x[11] + 0x265e5a51u, 14);
  StepG(b, c, d, a, x[ 0] + 0xe9b6c7aau, 20);
  StepG(a, b, c, d, x[ 5] + 0xd62f105du,  5);
  StepG(d, a, b, c, x[10] + 0x02441453u,  9);
  StepG(c, d, a, b, x[15] + 0xd8a1e681u, 14);
  StepG(b, c, d, a, x[ 4] + 0xe7d3fbc8u, 20);
  StepG(a, b, c, d, x[ 9] + 0x21e1cde6u,  5);
  StepG(d, a, b, c, x[14] + 0xc33707d6u,  9);
  StepG(c, d, a, b, x[ 3] + 0xf4d50d87u, 14);
  StepG(b, c, d, a, x[ 8] + 0x455a14edu, 20);
  StepG(a, b, c, d, x[13] + 0xa9e3e905u,  5);
  StepG(d, a, b, c, x[ 2] + 0xfcefa3f8u,  9);
  StepG(c, d, a, b, x[ 7] + 0x676f02d9u, 14);
  StepG(b, c, d, a, x[12] + 0x8d2a4c8au, 20);

  StepH(a, b, c, d, x[ 5] + 0xfffa3942u,  4);
  StepH(d, a, b, c, x[ 8] + 0x8771f681u, 11);
  StepH(c, d, a, b, x[11] + 0x6d9d6122u, 16);
  StepH(b, c, d, a, x[14] + 0xfde5380cu, 23);
  StepH(a, b, c, d, x[ 1] + 0xa4beea44u,  4);
  StepH(d, a, b, c, x[ 4] + 0x4bdecfa9u, 11);
  StepH(c, d, a, b, x[ 7] + 0xf6bb4b60u, 16);
  StepH(b, c, d, a, x[10] + 0xbebfbc70u, 23);
  StepH(a, b, c, d, x[13] + 0x289b7ec6u,  4);
  StepH(d, a, b, c, x[ 0] + 0xeaa127fau, 11);
  StepH(c, d, a, b, x[ 3] + 0xd4ef3085u, 16);
  StepH(b, c, d, a, x[ 6] + 0x04881d05u, 23);
  StepH(a, b, c, d, x[ 9] + 0xd9d4d039u,  4);
  StepH(d, a, b, c, x[12] + 0xe6db99e5u, 11);
  StepH(c, d, a, b, x[15] + 0x1fa27cf8u, 16);
  StepH(b, c, d, a, x[ 2] + 0xc4ac5665u, 23);

  StepI(a, b, c, d, x[ 0] + 0xf4292244u,  6);
  StepI(d, a, b, c, x[ 7] + 0x432aff97u, 10);
  StepI(c, d, a, b, x[14] + 0xab9423a7u, 15);
  StepI(b, c, d, a, x[ 5] + 0xfc93a039u, 21);
  StepI(a, b, c, d, x[12] + 0x655b59c3u,  6);
  StepI(d, a, b, c, x[ 3] + 0x8f0ccc92u, 10);
  StepI(c, d, a, b, x[10] + 0xffeff47du, 15);
  StepI(b, c, d, a, x[ 1] + 0x85845dd1u, 21);
  StepI(a, b, c, d, x[ 8] + 0x6fa87e4fu,  6);
  StepI(d, a, b, c, x[15] + 0xfe2ce6e0u, 10);
  StepI(c, d, a, b, x[ 6] + 0xa3014314u, 15);
  StepI(b, c, d, a, x[13] + 0x4e0811a1u, 21);
  StepI(a, b, c, d, x[ 4] + 0xf7537e82u,  6);
  StepI(d, a, b, c, x[11] + 0xbd3af235u, 10);
  StepI(c, d, a, b, x[ 2] + 0x2ad7d2bbu, 15);
  StepI(b, c, d, a, x[ 9] + 0xeb86d391u, 21);

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
