#include "archive/crc16.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lzh {
namespace {

// The CRC of one more byte, bit by bit: shifted right eight times, XOR-ed
// with 0xA001 whenever the bit shifted out was 1.  Short runs need no table,
// so the module's file holds none.
unsigned NextCrc16(unsigned r, uint8_t byte) {
    r ^= byte;
    for (int bit = 0; bit < 8; bit++) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
    return r;
}

#if defined(__x86_64__)
// Folding with carry-less multiplication.  With register 0 the CRC of a
// message M is M(x) * x^16 mod P, the first byte's lowest bit the highest
// power: it depends only on M(x) mod P, and leading zero bytes do not
// change it.  So a 16-byte block A in front of n more bytes may be replaced
// by A(x) * x^128 mod P, XOR-ed into the next 16 bytes; two products of
// A's halves with x^192 mod P and x^128 mod P give such a polynomial.  The
// bits are reflected (the first byte's lowest bit holds the highest power),
// in which order a 64 x 64 product comes out one bit too far, so the
// constants are x^191 and x^127 mod P.
constexpr uint64_t ReflectedXPowModP(unsigned n) {
    unsigned r = 1;  // x^0, in the normal order: bit i holds x^i
    for (unsigned i = 0; i < n; i++) {
        r <<= 1;
        if (r & 0x10000) r ^= 0x18005;  // x^16 + x^15 + x^2 + 1
    }
    uint64_t reflected = 0;  // x^i at bit 63 - i
    for (unsigned i = 0; i < 16; i++)
        if (r & (1u << i)) reflected |= uint64_t{1} << (63 - i);
    return reflected;
}

// A polynomial of at most 80 bits congruent to A * x^128 for a 16-byte block
// A, or to A * x^512 with the constants for a fold over 64 bytes (x^575 and
// x^511).
[[gnu::target("pclmul,sse2")]] inline __m128i Fold(__m128i a, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11));
}

[[gnu::target("pclmul,sse2")]] inline __m128i Load(const uint8_t* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

// Folds `blocks` 16-byte blocks (crc in the first) into one, stored at
// rest; four chains side by side while 64 bytes remain.
[[gnu::target("pclmul,sse2")]] void FoldClmul(unsigned crc, const uint8_t* bytes, size_t blocks,
                                              uint8_t* rest) {
    const __m128i k16 = _mm_set_epi64x(static_cast<long long>(ReflectedXPowModP(127)),
                                       static_cast<long long>(ReflectedXPowModP(191)));
    const __m128i k64 = _mm_set_epi64x(static_cast<long long>(ReflectedXPowModP(511)),
                                       static_cast<long long>(ReflectedXPowModP(575)));
    __m128i r = _mm_xor_si128(Load(bytes), _mm_cvtsi32_si128(static_cast<int>(crc)));
    size_t i = 1;
    if (blocks >= 8) {
        __m128i r1 = Load(bytes + 16), r2 = Load(bytes + 32), r3 = Load(bytes + 48);
        for (i = 4; i + 4 <= blocks; i += 4) {
            const uint8_t* b = bytes + 16 * i;
            r = _mm_xor_si128(Fold(r, k64), Load(b));
            r1 = _mm_xor_si128(Fold(r1, k64), Load(b + 16));
            r2 = _mm_xor_si128(Fold(r2, k64), Load(b + 32));
            r3 = _mm_xor_si128(Fold(r3, k64), Load(b + 48));
        }
        r = _mm_xor_si128(Fold(r, k16), r1);
        r = _mm_xor_si128(Fold(r, k16), r2);
        r = _mm_xor_si128(Fold(r, k16), r3);
    }
    for (; i < blocks; i++) r = _mm_xor_si128(Fold(r, k16), Load(bytes + 16 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), r);
}
#endif

}  // namespace

uint16_t UpdateCrc16(uint16_t crc, const uint8_t* bytes, size_t count) {
    unsigned r = crc;
    for (; count > 0; count--, bytes++) r = NextCrc16(r, *bytes);
    return static_cast<uint16_t>(r);
}

void FastCrc16::Init() {
    for (unsigned i = 0; i < 256; i++) table_[0][i] = static_cast<uint16_t>(NextCrc16(0, static_cast<uint8_t>(i)));
    for (unsigned i = 0; i < 256; i++) {
        unsigned r = table_[0][i];
        for (unsigned k = 1; k < kSlices; k++) {
            r = table_[0][r & 0xFF] ^ (r >> 8);  // one more zero byte
            table_[k][i] = static_cast<uint16_t>(r);
        }
    }
#if defined(__x86_64__)
    clmul_ = __builtin_cpu_supports("pclmul");
#endif
}

uint16_t FastCrc16::Update(uint16_t crc, const uint8_t* bytes, size_t count) const {
#if defined(__x86_64__)
    if (clmul_ && count >= 64) {
        // Fold all whole blocks into one; its CRC from 0 is the CRC so far.
        uint8_t folded[16];
        const size_t blocks = count / 16;
        FoldClmul(crc, bytes, blocks, folded);
        return UpdateSliced(UpdateSliced(0, folded, 16), bytes + 16 * blocks, count % 16);
    }
#endif
    return UpdateSliced(crc, bytes, count);
}

// Slicing by 16: the 16-bit register meets only the first two bytes of a
// block, so the sixteen look-ups do not wait for one another.
uint16_t FastCrc16::UpdateSliced(uint16_t crc, const uint8_t* bytes, size_t count) const {
    unsigned r = crc;
    for (; count >= 16; count -= 16, bytes += 16) {
        r = table_[15][(r ^ bytes[0]) & 0xFF] ^ table_[14][((r >> 8) ^ bytes[1]) & 0xFF] ^
            table_[13][bytes[2]] ^ table_[12][bytes[3]] ^ table_[11][bytes[4]] ^ table_[10][bytes[5]] ^
            table_[9][bytes[6]] ^ table_[8][bytes[7]] ^ table_[7][bytes[8]] ^ table_[6][bytes[9]] ^
            table_[5][bytes[10]] ^ table_[4][bytes[11]] ^ table_[3][bytes[12]] ^ table_[2][bytes[13]] ^
            table_[1][bytes[14]] ^ table_[0][bytes[15]];
    }
    for (; count > 0; count--, bytes++) r = table_[0][(r ^ *bytes) & 0xFF] ^ (r >> 8);
    return static_cast<uint16_t>(r);
}

}  // namespace lzh
