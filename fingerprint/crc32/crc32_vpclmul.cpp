// CRC-32 by carry-less multiply folding of 256-bit registers (VPCLMULQDQ + AVX2).
#include <immintrin.h>

#include "fingerprint/crc32/crc32_accelerated.h"
#include "fingerprint/crc32/crc32_fold.h"
#include "fingerprint/kernels.h"

namespace {

constexpr std::size_t RegisterBytes = 32;
constexpr std::size_t Registers = 4;
constexpr std::size_t StrideBytes = Registers * RegisterBytes;
// Below two strides the set-up and the final folds cost more than the 128-bit kernel.
constexpr std::size_t MinimumLength = 2 * StrideBytes;

constexpr crc32fold::FoldPair FoldStride = crc32fold::foldPair(StrideBytes * 8);
constexpr crc32fold::FoldPair FoldRegister = crc32fold::foldPair(RegisterBytes * 8);
constexpr crc32fold::FoldPair FoldLane = crc32fold::foldPair(RegisterBytes * 8 / 2);

inline __m256i broadcastPair(crc32fold::FoldPair pair) {
    return _mm256_set_epi64x(static_cast<long long>(pair.high), static_cast<long long>(pair.low),
                             static_cast<long long>(pair.high), static_cast<long long>(pair.low));
}

inline __m256i fold(__m256i lanes, __m256i constants) {
    return _mm256_xor_si256(_mm256_clmulepi64_epi128(lanes, constants, 0x00),
                            _mm256_clmulepi64_epi128(lanes, constants, 0x11));
}

inline __m128i fold128(__m128i lane, __m128i constants) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, constants, 0x00),
                         _mm_clmulepi64_si128(lane, constants, 0x11));
}

inline __m256i load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

} // namespace

uint32_t crc32Vpclmul(uint32_t crc, const uint8_t* data, std::size_t length) {
    if (data == nullptr) return crc;
    if (length < MinimumLength) return crc32Pclmul(crc, data, length);

    __m256i y0 =
        _mm256_xor_si256(load(data), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(~crc))));
    __m256i y1 = load(data + 32);
    __m256i y2 = load(data + 64);
    __m256i y3 = load(data + 96);
    data += StrideBytes;
    length -= StrideBytes;

    const __m256i kStride = broadcastPair(FoldStride);
    while (length >= StrideBytes) {
        y0 = _mm256_xor_si256(fold(y0, kStride), load(data));
        y1 = _mm256_xor_si256(fold(y1, kStride), load(data + 32));
        y2 = _mm256_xor_si256(fold(y2, kStride), load(data + 64));
        y3 = _mm256_xor_si256(fold(y3, kStride), load(data + 96));
        data += StrideBytes;
        length -= StrideBytes;
    }

    const __m256i kRegister = broadcastPair(FoldRegister);
    __m256i y = _mm256_xor_si256(fold(y0, kRegister), y1);
    y = _mm256_xor_si256(fold(y, kRegister), y2);
    y = _mm256_xor_si256(fold(y, kRegister), y3);
    while (length >= RegisterBytes) {
        y = _mm256_xor_si256(fold(y, kRegister), load(data));
        data += RegisterBytes;
        length -= RegisterBytes;
    }

    // Fold the earlier 128-bit lane onto the later one, then any whole 16-byte pieces left.
    const __m128i kLane =
        _mm_set_epi64x(static_cast<long long>(FoldLane.high), static_cast<long long>(FoldLane.low));
    __m128i x = _mm_xor_si128(fold128(_mm256_castsi256_si128(y), kLane), _mm256_extracti128_si256(y, 1));
    while (length >= 16) {
        x = _mm_xor_si128(fold128(x, kLane), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data)));
        data += 16;
        length -= 16;
    }

    // The lane stands for all input so far; its 16 bytes from register 0 continue as the CRC.
    alignas(16) uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
    return crc32Portable(crc32Portable(0xFFFFFFFFu, rest, 16), data, length);
}
