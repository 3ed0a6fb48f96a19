// CRC-32 by carry-less multiply folding of 128-bit lanes (PCLMULQDQ + SSE4.1).
#include <immintrin.h>

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"
#include "fingerprint/kernels.h"

namespace {

// Four lanes in flight hide the multiplier's latency; below that much input the table is as fast.
constexpr std::size_t LaneBytes = 16;
constexpr std::size_t Lanes = 4;
constexpr std::size_t MinimumLength = Lanes * LaneBytes;

constexpr crc32fold::FoldPair Fold4 = crc32fold::foldPair(Lanes * LaneBytes * 8);
constexpr crc32fold::FoldPair Fold1 = crc32fold::foldPair(LaneBytes * 8);

inline __m128i fold(__m128i lane, __m128i constants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00),
                         _mm_clmulepi64_si128(lane, constants, 0x11));
}

inline __m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

} // namespace

uint32_t crc32Pclmul(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    if (length < MinimumLength) return crc32Portable(crc, data, length);

    // Starting from register 0 with the running register XORed into the first four bytes gives
    // the same remainder as starting from the register itself.
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(~crc)));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += MinimumLength;
    length -= MinimumLength;

    const __m128i k4 = _mm_set_epi64x(static_cast<long long>(Fold4.high), static_cast<long long>(Fold4.low));
    while (length >= MinimumLength) {
        x0 = _mm_xor_si128(fold(x0, k4), load(data));
        x1 = _mm_xor_si128(fold(x1, k4), load(data + 16));
        x2 = _mm_xor_si128(fold(x2, k4), load(data + 32));
        x3 = _mm_xor_si128(fold(x3, k4), load(data + 48));
        data += MinimumLength;
        length -= MinimumLength;
    }

    const __m128i k1 = _mm_set_epi64x(static_cast<long long>(Fold1.high), static_cast<long long>(Fold1.low));
    __m128i x = _mm_xor_si128(fold(x0, k1), x1);
    x = _mm_xor_si128(fold(x, k1), x2);
    x = _mm_xor_si128(fold(x, k1), x3);
    while (length >= LaneBytes) {
        x = _mm_xor_si128(fold(x, k1), load(data));
        data += LaneBytes;
        length -= LaneBytes;
    }

    // The folded lane is congruent to the whole input so far: its CRC from register 0, continued
    // over the tail, is the CRC of everything.
    alignas(16) uint8_t rest[LaneBytes];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
    return crc32Portable(crc32Portable(0xFFFFFFFFu, rest, LaneBytes), data, length);
}
