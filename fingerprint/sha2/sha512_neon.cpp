// SHA-384/512 compression for 32-bit ARM with NEON: 64-bit words in the D registers, e and a side by side.
#include <cstdint>

#include "fingerprint/sha2/sha2_accelerated.h"
#include "fingerprint/sha2/sha2_constants.h"

// The whole block function is one assembly statement over fixed registers: with 32 D registers
// the compiler's own allocation moved values between them in every round.
//
// Per block, first the schedule: the last sixteen words W stay in q8-q15 (pair j in q(8 + j mod 8)),
// two words are expanded at a time (FIPS 180-4, 6.4.2, sigma0 = ROTR1 ^ ROTR8 ^ SHR7 and sigma1 =
// ROTR19 ^ ROTR61 ^ SHR6, a rotation being a right shift and a left shift inserted into it), and all
// 80 words W + K go to the stack. Then the rounds, on the pairs [e, a], [f, b], [g, c], [h, d] in
// q0-q3:
//   T1 = h + Sigma1(e) + Ch(e, f, g) + K + W, e' = d + T1, a' = T1 + Sigma0(a) + Maj(a, b, c).
// Sigma1(e) and Sigma0(a) come out of [e, a] together: vshl by a register shifts each lane by its
// own signed count (negative to the right), so the three rotations of both lanes are six shifts by
// the counts in q4-q9, which saves five of sixteen instructions. Ch is a bit select by e; Maj(a, b,
// c) selects c where a and b differ and b where they agree. The new [e', a'] takes the register of
// [h, d], whose words are spent, so the next round renames (HD, EA, FB, GC) and four rounds bring
// the names back: four rounds are written out twenty times.

namespace {

constexpr int Rounds = 80;

// Per lane of [e, a]: right and left shift counts of the three rotations of Sigma1 (ROTR14, ROTR18,
// ROTR41) and Sigma0 (ROTR28, ROTR34, ROTR39), loaded into q4-q9.
alignas(16) constexpr int64_t SigmaShifts[12] = {-14, -28, 50, 36, -18, -34, 46, 30, -41, -39, 23, 25};

} // namespace

// clang-format off

// Two words of the schedule into ring pair W (q registers named by the pairs j, j+1, j+4, j+5, j+7).
#define SHA512_EXPAND(W, W1, W4, W5, W7)                                                                     \
    "vshr.u64 q0, " W7 ", #19\n\t"                                                                           \
    "vshr.u64 q1, " W7 ", #61\n\t"                                                                           \
    "vshr.u64 q2, " W7 ", #6\n\t"                                                                            \
    "vsli.64 q0, " W7 ", #45\n\t"                                                                            \
    "vsli.64 q1, " W7 ", #3\n\t"                                                                             \
    "veor q0, q0, q1\n\t"                                                                                    \
    "veor q0, q0, q2\n\t"                 /* sigma1(W[t-2], W[t-1]) */                                       \
    "vext.8 q3, " W ", " W1 ", #8\n\t"    /* W[t-15], W[t-14] */                                             \
    "vadd.i64 " W ", " W ", q0\n\t"                                                                          \
    "vshr.u64 q1, q3, #1\n\t"                                                                                \
    "vshr.u64 q2, q3, #8\n\t"                                                                                \
    "vshr.u64 q0, q3, #7\n\t"                                                                                \
    "vsli.64 q1, q3, #63\n\t"                                                                                \
    "vsli.64 q2, q3, #56\n\t"                                                                                \
    "veor q0, q0, q1\n\t"                                                                                    \
    "veor q0, q0, q2\n\t"                 /* sigma0(W[t-15], W[t-14]) */                                     \
    "vext.8 q3, " W4 ", " W5 ", #8\n\t"   /* W[t-7], W[t-6] */                                               \
    "vadd.i64 " W ", " W ", q0\n\t"                                                                          \
    "vadd.i64 " W ", " W ", q3\n\t"

// Four words W + K to the stack from ring pairs A and B.
#define SHA512_STORE_WK(A, B)                                                                                \
    "vld1.64 {d0-d3}, [%[k]]!\n\t"                                                                           \
    "vadd.i64 q0, q0, " A "\n\t"                                                                             \
    "vadd.i64 q1, q1, " B "\n\t"                                                                             \
    "vst1.64 {d0-d3}, [%[w]]!\n\t"

#define SHA512_EXPAND_FOUR(P0, P1, P2, P3, P4, P5, P6, P7)                                                   \
    SHA512_EXPAND(P0, P1, P4, P5, P7)                                                                        \
    SHA512_EXPAND(P1, P2, P5, P6, P0)                                                                        \
    SHA512_STORE_WK(P0, P1)                                                                                  \
    SHA512_EXPAND(P2, P3, P6, P7, P1)                                                                        \
    SHA512_EXPAND(P3, P4, P7, P0, P2)                                                                        \
    SHA512_STORE_WK(P2, P3)

// One round on EA = [e, a] (q register and its halves), FB, GC, HD (halves), with W + K in WK.
// q10 collects [Sigma1(e), Sigma0(a)] from the six shifts in q10, q11, q12 and q15, combined as a
// tree so that an in-order core need not wait on each result in turn; then q12 gets [Ch(e, f, g),
// Maj(a, b, c)].
#define SHA512_ROUND(EA, EL, EH, FL, FH, GL, GH, HL, HH, WK)                                                 \
    "vshl.u64 q10, " EA ", q4\n\t"                                                                           \
    "vshl.u64 q11, " EA ", q5\n\t"                                                                           \
    "vshl.u64 q12, " EA ", q6\n\t"                                                                           \
    "vshl.u64 q15, " EA ", q7\n\t"                                                                           \
    "veor q10, q10, q11\n\t"                                                                                 \
    "veor q12, q12, q15\n\t"                                                                                 \
    "vshl.u64 q11, " EA ", q8\n\t"                                                                           \
    "vshl.u64 q15, " EA ", q9\n\t"                                                                           \
    "veor q10, q10, q12\n\t"                                                                                 \
    "veor q11, q11, q15\n\t"                                                                                 \
    "veor q10, q10, q11\n\t"                                                                                 \
    "vmov d24, " EL "\n\t"                                                                                   \
    "vbsl d24, " FL ", " GL "\n\t"                                                                           \
    "veor d25, " EH ", " FH "\n\t"                                                                           \
    "vbsl d25, " GH ", " FH "\n\t"                                                                           \
    "vadd.i64 q10, q10, q12\n\t"                                                                             \
    "vadd.i64 d20, d20, " WK "\n\t"                                                                          \
    "vadd.i64 d20, d20, " HL "\n\t"       /* T1 */                                                           \
    "vadd.i64 " HL ", " HH ", d20\n\t"    /* e' = d + T1 */                                                  \
    "vadd.i64 " HH ", d21, d20\n\t"       /* a' = T1 + Sigma0(a) + Maj(a, b, c) */

#define SHA512_FOUR_ROUNDS                                                                                   \
    "vld1.64 {d26-d29}, [%[w]]!\n\t"                                                                         \
    SHA512_ROUND("q0", "d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "d26")                                \
    SHA512_ROUND("q3", "d6", "d7", "d0", "d1", "d2", "d3", "d4", "d5", "d27")                                \
    SHA512_ROUND("q2", "d4", "d5", "d6", "d7", "d0", "d1", "d2", "d3", "d28")                                \
    SHA512_ROUND("q1", "d2", "d3", "d4", "d5", "d6", "d7", "d0", "d1", "d29")

// Repeated by the preprocessor, not by .rept: the compiler sizes an assembly statement by its lines,
// and must know its true length to keep its own constants within reach of the code around it.
#define SHA512_TIMES4(x) x x x x
#define SHA512_TIMES20(x) SHA512_TIMES4(x) SHA512_TIMES4(x) SHA512_TIMES4(x) SHA512_TIMES4(x) SHA512_TIMES4(x)

// clang-format on

void sha512BlocksNeon(uint64_t state[8], const uint8_t* data, std::size_t blocks) {
    if (blocks == 0) return;
    // The chaining value as the pairs [e, a], [f, b], [g, c], [h, d].
    alignas(16) uint64_t chain[8];
    for (int i = 0; i < 4; ++i) {
        chain[2 * i] = state[4 + i];
        chain[2 * i + 1] = state[i];
    }
    alignas(16) uint64_t wk[Rounds];
    const uint64_t* k;
    uint64_t* w;
    // clang-format off
    __asm__ volatile(
        "1:\n\t"
        "mov %[k], %[constants]\n\t"
        "mov %[w], %[wk]\n\t"
        // Words 0..15, big-endian, at any alignment.
        "vld1.8 {d16-d19}, [%[data]]!\n\t"
        "vld1.8 {d20-d23}, [%[data]]!\n\t"
        "vld1.8 {d24-d27}, [%[data]]!\n\t"
        "vld1.8 {d28-d31}, [%[data]]!\n\t"
        "vrev64.8 q8, q8\n\t"
        "vrev64.8 q9, q9\n\t"
        "vrev64.8 q10, q10\n\t"
        "vrev64.8 q11, q11\n\t"
        "vrev64.8 q12, q12\n\t"
        "vrev64.8 q13, q13\n\t"
        "vrev64.8 q14, q14\n\t"
        "vrev64.8 q15, q15\n\t"
        SHA512_STORE_WK("q8", "q9")
        SHA512_STORE_WK("q10", "q11")
        SHA512_STORE_WK("q12", "q13")
        SHA512_STORE_WK("q14", "q15")
        // Words 16..79: the ring of eight pairs comes round every sixteen words.
        SHA512_TIMES4(
            SHA512_EXPAND_FOUR("q8", "q9", "q10", "q11", "q12", "q13", "q14", "q15")
            SHA512_EXPAND_FOUR("q12", "q13", "q14", "q15", "q8", "q9", "q10", "q11"))
        // The rounds; the schedule took every register, so the shift counts and the chaining
        // value come back from memory.
        "vldmia %[shifts], {d8-d19}\n\t"
        "vldmia %[chain], {d0-d7}\n\t"
        "mov %[w], %[wk]\n\t"
        SHA512_TIMES20(SHA512_FOUR_ROUNDS)
        "vldmia %[chain], {d20-d27}\n\t"
        "vadd.i64 q0, q0, q10\n\t"
        "vadd.i64 q1, q1, q11\n\t"
        "vadd.i64 q2, q2, q12\n\t"
        "vadd.i64 q3, q3, q13\n\t"
        "vstmia %[chain], {d0-d7}\n\t"
        "subs %[blocks], %[blocks], #1\n\t"
        "bne 1b"
        : [data] "+r"(data), [blocks] "+r"(blocks), [k] "=&r"(k), [w] "=&r"(w)
        : [constants] "r"(Sha512RoundConstants), [wk] "r"(wk), [shifts] "r"(SigmaShifts), [chain] "r"(chain)
        : "memory", "cc", "d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "d8", "d9", "d10", "d11", "d12", "d13",
          "d14", "d15", "d16", "d17", "d18", "d19", "d20", "d21", "d22", "d23", "d24", "d25", "d26", "d27", "d28",
          "d29", "d30", "d31");
    // clang-format on
    for (int i = 0; i < 4; ++i) {
        state[4 + i] = chain[2 * i];
        state[i] = chain[2 * i + 1];
    }
}
