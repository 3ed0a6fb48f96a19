// Keccak-f[1600] absorb for 32-bit ARM with NEON: the 25 lanes live in d0-d24 for a whole run of blocks.
#include <cstdint>

#include "fingerprint/kernels.h"
#include "fingerprint/sha3/keccak_accelerated.h"
#include "fingerprint/sha3/keccak_constants.h"

// NEON has 32 64-bit D registers: the 25 lanes take d0-d24 and the other seven serve as temporaries,
// so a permutation never touches memory but for its round constants. One round (FIPS 202, 3.2):
//  - theta: the five column parities C in d25-d29; each D[x] = C[x-1] ^ ROTL(C[x+1], 1) is built in
//    d30 or d31 and folded into its column before the next is built, so two temporaries suffice.
//  - rho, pi and chi, one row of the output at a time: the five rotated lanes B that feed the row go
//    to d25-d29, and the five registers they came from are then free to take the row's output. So
//    the lanes move between registers from round to round; the output positions below are chosen
//    so that two rounds bring every lane back to its first register (lane (x, y) in d(x + 5y)),
//    and a loop of twelve double rounds needs no moves at all.
//  - iota on lane (0, 0), which never moves.
// A rotation is a shift left and a shift right that inserts into it (vshl + vsri); by whole bytes
// it is one vext.

// clang-format off

// t = ROTL(s, n) for 0 < n < 64.
#define ROTL(t, s, n) "vshl.i64 " #t ", " #s ", #" #n "\n\tvsri.64 " #t ", " #s ", #(64-" #n ")\n\t"
// t = ROTL(s, 8 * n), one instruction.
#define ROTL_BYTES(t, s, n) "vext.8 " #t ", " #s ", " #s ", #(8-" #n ")\n\t"
// o = b0 ^ (~b1 & b2), chi on one lane.
#define CHI(o, b0, b1, b2) "vbic " #o ", " #b2 ", " #b1 "\n\tveor " #o ", " #o ", " #b0 "\n\t"
#define XOR(t, a, b) "veor " #t ", " #a ", " #b "\n\t"

// Parity of one column into c.
#define PARITY(c, a0, a1, a2, a3, a4) XOR(c, a0, a1) XOR(c, c, a2) XOR(c, c, a3) XOR(c, c, a4)
// d = left ^ ROTL(right, 1), then d into every lane of the column.
#define THETA_COLUMN(d, left, right, a0, a1, a2, a3, a4)                                                     \
    ROTL(d, right, 1) XOR(d, d, left)                                                                        \
    XOR(a0, a0, d) XOR(a1, a1, d) XOR(a2, a2, d) XOR(a3, a3, d) XOR(a4, a4, d)

// One round. sXY names the register that holds lane (X, Y) on entry, oXY the one it is written to;
// output row Y may only use the registers of the five lanes that feed it.
#define KECCAK_ROUND(s00, s10, s20, s30, s40, s01, s11, s21, s31, s41, s02, s12, s22, s32, s42,             \
                     s03, s13, s23, s33, s43, s04, s14, s24, s34, s44,                                       \
                     o00, o10, o20, o30, o40, o01, o11, o21, o31, o41, o02, o12, o22, o32, o42,             \
                     o03, o13, o23, o33, o43, o04, o14, o24, o34, o44)                                       \
    PARITY(d25, s00, s01, s02, s03, s04)                                                                     \
    PARITY(d26, s10, s11, s12, s13, s14)                                                                     \
    PARITY(d27, s20, s21, s22, s23, s24)                                                                     \
    PARITY(d28, s30, s31, s32, s33, s34)                                                                     \
    PARITY(d29, s40, s41, s42, s43, s44)                                                                     \
    THETA_COLUMN(d30, d29, d26, s00, s01, s02, s03, s04)                                                     \
    THETA_COLUMN(d31, d25, d27, s10, s11, s12, s13, s14)                                                     \
    THETA_COLUMN(d30, d26, d28, s20, s21, s22, s23, s24)                                                     \
    THETA_COLUMN(d31, d27, d29, s30, s31, s32, s33, s34)                                                     \
    THETA_COLUMN(d30, d28, d25, s40, s41, s42, s43, s44)                                                     \
    /* Row 0, from the diagonal. Lane (0, 0) is not rotated and takes its own output, last. */               \
    ROTL(d26, s11, 44) ROTL(d27, s22, 43) ROTL(d28, s33, 21) ROTL(d29, s44, 14)                              \
    CHI(o10, d26, d27, d28) CHI(o20, d27, d28, d29) CHI(o30, d28, d29, s00) CHI(o40, d29, s00, d26)          \
    "vbic d30, d27, d26\n\t"                                                                                 \
    "vld1.64 {d31}, [%[constant]]!\n\t"                                                                      \
    XOR(o00, s00, d30) XOR(o00, o00, d31)                                                                    \
    /* Row 1. */                                                                                             \
    ROTL(d25, s30, 28) ROTL(d26, s41, 20) ROTL(d27, s02, 3) ROTL(d28, s13, 45) ROTL(d29, s24, 61)            \
    CHI(o01, d25, d26, d27) CHI(o11, d26, d27, d28) CHI(o21, d27, d28, d29)                                  \
    CHI(o31, d28, d29, d25) CHI(o41, d29, d25, d26)                                                          \
    /* Row 2. */                                                                                             \
    ROTL(d25, s10, 1) ROTL(d26, s21, 6) ROTL(d27, s32, 25) ROTL_BYTES(d28, s43, 1) ROTL(d29, s04, 18)        \
    CHI(o02, d25, d26, d27) CHI(o12, d26, d27, d28) CHI(o22, d27, d28, d29)                                  \
    CHI(o32, d28, d29, d25) CHI(o42, d29, d25, d26)                                                          \
    /* Row 3. */                                                                                             \
    ROTL(d25, s40, 27) ROTL(d26, s01, 36) ROTL(d27, s12, 10) ROTL(d28, s23, 15) ROTL_BYTES(d29, s34, 7)      \
    CHI(o03, d25, d26, d27) CHI(o13, d26, d27, d28) CHI(o23, d27, d28, d29)                                  \
    CHI(o33, d28, d29, d25) CHI(o43, d29, d25, d26)                                                          \
    /* Row 4. */                                                                                             \
    ROTL(d25, s20, 62) ROTL(d26, s31, 55) ROTL(d27, s42, 39) ROTL(d28, s03, 41) ROTL(d29, s14, 2)            \
    CHI(o04, d25, d26, d27) CHI(o14, d26, d27, d28) CHI(o24, d27, d28, d29)                                  \
    CHI(o34, d28, d29, d25) CHI(o44, d29, d25, d26)

// Where the lanes are between the two rounds of a pair: lane (u, v) in the register of lane
// (2u + v, 2u - 2v) mod 5. That register fed output row v of the first round, and in the second
// round it feeds the output row that puts lane (u, v) back in d(u + 5v).
#define LANES_AT_HOME                                                                                        \
    d0, d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14,                                         \
    d15, d16, d17, d18, d19, d20, d21, d22, d23, d24
#define LANES_AWAY                                                                                           \
    d0, d12, d24, d6, d18, d16, d3, d10, d22, d9, d7, d19, d1, d13, d20,                                     \
    d23, d5, d17, d4, d11, d14, d21, d8, d15, d2
#define KECCAK_ROUND_FROM_TO(...) KECCAK_ROUND(__VA_ARGS__)

// XORs the next four lanes of the block, read at any alignment, into registers a, b, c and d.
#define ABSORB_FOUR(a, b, c, d)                                                                              \
    "vld1.8 {d25-d28}, [%[data]]!\n\t" XOR(a, a, d25) XOR(b, b, d26) XOR(c, c, d27) XOR(d, d, d28)

// clang-format on

void keccak1600AbsorbNeon(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate) {
    if (blocks == 0) return;
    // The absorbing below knows the four rates of SHA-3 alone; any other takes the portable code,
    // which reads that rate's lanes and no more.
    if (rate != 72 && rate != 104 && rate != 136 && rate != 144) {
        keccak1600AbsorbPortable(lanes, data, blocks, rate);
        return;
    }
    const uint64_t* constant;
    uint32_t pairs;
    uint64_t* upper = lanes + 16;
    // clang-format off
    __asm__ volatile(
        "vldmia %[lanes], {d0-d15}\n\t"
        "vldmia %[upper], {d16-d24}\n"
        "1:\n\t"
        // Every rate covers the first 9 lanes; the larger rates 4, 8 and 9 more (72, 104, 136, 144 bytes).
        ABSORB_FOUR(d0, d1, d2, d3)
        ABSORB_FOUR(d4, d5, d6, d7)
        "vld1.8 {d25}, [%[data]]!\n\t"
        XOR(d8, d8, d25)
        "cmp %[rate], #72\n\t"
        "beq 2f\n\t"
        ABSORB_FOUR(d9, d10, d11, d12)
        "cmp %[rate], #104\n\t"
        "beq 2f\n\t"
        ABSORB_FOUR(d13, d14, d15, d16)
        "cmp %[rate], #136\n\t"
        "beq 2f\n\t"
        "vld1.8 {d25}, [%[data]]!\n\t"
        XOR(d17, d17, d25)
        "2:\n\t"
        "mov %[constant], %[constants]\n\t"
        "mov %[pairs], #12\n"
        "3:\n\t"
        KECCAK_ROUND_FROM_TO(LANES_AT_HOME, LANES_AWAY)
        KECCAK_ROUND_FROM_TO(LANES_AWAY, LANES_AT_HOME)
        "subs %[pairs], %[pairs], #1\n\t"
        "bne 3b\n\t"
        "subs %[blocks], %[blocks], #1\n\t"
        "bne 1b\n\t"
        "vstmia %[lanes], {d0-d15}\n\t"
        "vstmia %[upper], {d16-d24}"
        : [data] "+r"(data), [blocks] "+r"(blocks), [constant] "=&r"(constant), [pairs] "=&r"(pairs)
        : [lanes] "r"(lanes), [upper] "r"(upper), [rate] "r"(rate), [constants] "r"(KeccakRoundConstants)
        : "memory", "cc", "d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "d8", "d9", "d10", "d11", "d12", "d13",
          "d14", "d15", "d16", "d17", "d18", "d19", "d20", "d21", "d22", "d23", "d24", "d25", "d26", "d27", "d28",
          "d29", "d30", "d31");
    // clang-format on
}
