// SHA-1 compression on AArch64 with the ARMv8 SHA-1 instructions, a run of 64-byte blocks per call.
//
// A block is one chain of twenty SHA1C/SHA1P/SHA1M, each taking the ABCD of the one before. The E of
// group g + 1 is SHA1H of the ABCD that group g reads, so it needs no copy of ABCD and stands beside the
// round instruction; W + K of group g + 1 and the message schedule of group g + 3 fill the gaps and need
// nothing the chain waits for. Each group is SHA1SU0, SHA1H, the round, W + K, SHA1SU1: of the 120 orders
// of these five, the one with the fewest modelled cycles on the in-order A55 (121 a block) and within a
// cycle of the best on the A57 (143.6). On the A57 model the round takes 6 cycles and shares one pipe
// with SHA1H, so a group costs 7 and a block at least 140; on the A55's 4 and one pipe, a group at least
// 5, a block 100. The constants stay in registers for the whole call.
//
// Assembly rather than intrinsics so that this order is the one that runs: GCC's order of the same
// intrinsics cost 2.6 modelled cycles a byte on the A55, against 2.3 for OpenSSL's. The function starts
// with a BTI landing pad and the file carries the GNU property note of BTI and PAC (a leaf function: the
// return address never leaves x30), as the package is built with -mbranch-protection=standard.

        .arch   armv8-a+crypto
        .text

// Registers: v0 ABCD, v1 ABCD at the start of the block, s2 the state's E, s3/s4 the E of the groups after
// the first in turn, v5/v6 W + K of group g in turn (g mod 2), v16-v19 the message words of group g in
// v(16 + g mod 4), v20-v23 the four round constants (FIPS 180-4, 4.2.1). v8-v15 stay untouched.

// One block; x1 points to it and moves past it.
.macro  block
        ld1             {v16.16b-v19.16b}, [x1], #64
        mov             v1.16b, v0.16b
        rev32           v16.16b, v16.16b
        rev32           v17.16b, v17.16b
        rev32           v18.16b, v18.16b
        rev32           v19.16b, v19.16b
        add             v5.4s, v16.4s, v20.4s
        // group 0
        sha1h           s3, s0
        sha1c           q0, s2, v5.4s
        add             v6.4s, v17.4s, v20.4s
        // group 1
        sha1su0         v16.4s, v17.4s, v18.4s
        sha1h           s4, s0
        sha1c           q0, s3, v6.4s
        add             v5.4s, v18.4s, v20.4s
        sha1su1         v16.4s, v19.4s
        // group 2
        sha1su0         v17.4s, v18.4s, v19.4s
        sha1h           s3, s0
        sha1c           q0, s4, v5.4s
        add             v6.4s, v19.4s, v20.4s
        sha1su1         v17.4s, v16.4s
        // group 3
        sha1su0         v18.4s, v19.4s, v16.4s
        sha1h           s4, s0
        sha1c           q0, s3, v6.4s
        add             v5.4s, v16.4s, v20.4s
        sha1su1         v18.4s, v17.4s
        // group 4
        sha1su0         v19.4s, v16.4s, v17.4s
        sha1h           s3, s0
        sha1c           q0, s4, v5.4s
        add             v6.4s, v17.4s, v21.4s
        sha1su1         v19.4s, v18.4s
        // group 5
        sha1su0         v16.4s, v17.4s, v18.4s
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v5.4s, v18.4s, v21.4s
        sha1su1         v16.4s, v19.4s
        // group 6
        sha1su0         v17.4s, v18.4s, v19.4s
        sha1h           s3, s0
        sha1p           q0, s4, v5.4s
        add             v6.4s, v19.4s, v21.4s
        sha1su1         v17.4s, v16.4s
        // group 7
        sha1su0         v18.4s, v19.4s, v16.4s
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v5.4s, v16.4s, v21.4s
        sha1su1         v18.4s, v17.4s
        // group 8
        sha1su0         v19.4s, v16.4s, v17.4s
        sha1h           s3, s0
        sha1p           q0, s4, v5.4s
        add             v6.4s, v17.4s, v21.4s
        sha1su1         v19.4s, v18.4s
        // group 9
        sha1su0         v16.4s, v17.4s, v18.4s
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v5.4s, v18.4s, v22.4s
        sha1su1         v16.4s, v19.4s
        // group 10
        sha1su0         v17.4s, v18.4s, v19.4s
        sha1h           s3, s0
        sha1m           q0, s4, v5.4s
        add             v6.4s, v19.4s, v22.4s
        sha1su1         v17.4s, v16.4s
        // group 11
        sha1su0         v18.4s, v19.4s, v16.4s
        sha1h           s4, s0
        sha1m           q0, s3, v6.4s
        add             v5.4s, v16.4s, v22.4s
        sha1su1         v18.4s, v17.4s
        // group 12
        sha1su0         v19.4s, v16.4s, v17.4s
        sha1h           s3, s0
        sha1m           q0, s4, v5.4s
        add             v6.4s, v17.4s, v22.4s
        sha1su1         v19.4s, v18.4s
        // group 13
        sha1su0         v16.4s, v17.4s, v18.4s
        sha1h           s4, s0
        sha1m           q0, s3, v6.4s
        add             v5.4s, v18.4s, v22.4s
        sha1su1         v16.4s, v19.4s
        // group 14
        sha1su0         v17.4s, v18.4s, v19.4s
        sha1h           s3, s0
        sha1m           q0, s4, v5.4s
        add             v6.4s, v19.4s, v23.4s
        sha1su1         v17.4s, v16.4s
        // group 15
        sha1su0         v18.4s, v19.4s, v16.4s
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v5.4s, v16.4s, v23.4s
        sha1su1         v18.4s, v17.4s
        // group 16
        sha1su0         v19.4s, v16.4s, v17.4s
        sha1h           s3, s0
        sha1p           q0, s4, v5.4s
        add             v6.4s, v17.4s, v23.4s
        sha1su1         v19.4s, v18.4s
        // group 17
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v5.4s, v18.4s, v23.4s
        // group 18
        sha1h           s3, s0
        sha1p           q0, s4, v5.4s
        add             v6.4s, v19.4s, v23.4s
        // group 19: its SHA1H gives the final E (FIPS 180-4, 6.1.2)
        sha1h           s4, s0
        sha1p           q0, s3, v6.4s
        add             v0.4s, v0.4s, v1.4s
        add             v2.4s, v2.4s, v4.4s
.endm

// v = the 32-bit constant in each lane, through w9.
.macro  constant v, value
        mov             w9, #(\value & 0xffff)
        movk            w9, #(\value >> 16), lsl #16
        dup             \v\().4s, w9
.endm

// void sha1BlocksArm64(uint32_t state[5], const uint8_t* data, size_t blocks)
        .global sha1BlocksArm64
        .hidden sha1BlocksArm64
        .type   sha1BlocksArm64, %function
        .p2align 4
sha1BlocksArm64:
        hint            #34                     // bti c
        cbz             x2, 2f
        ld1             {v0.4s}, [x0]
        ldr             s2, [x0, #16]
        constant        v20, 0x5a827999
        constant        v21, 0x6ed9eba1
        constant        v22, 0x8f1bbcdc
        constant        v23, 0xca62c1d6
1:      block
        subs            x2, x2, #1
        b.ne            1b
        st1             {v0.4s}, [x0]
        str             s2, [x0, #16]
2:      ret
        .size   sha1BlocksArm64, .-sha1BlocksArm64

// The GNU property note: this file's code has BTI landing pads where it can be entered indirectly and
// keeps return addresses as PAC asks (GNU_PROPERTY_AARCH64_FEATURE_1_AND, BTI | PAC), so the linker may
// mark the program for both.
        .pushsection .note.gnu.property, "a"
        .p2align 3
        .long   4                               // name size
        .long   16                              // description size
        .long   5                               // NT_GNU_PROPERTY_TYPE_0
        .asciz  "GNU"
        .long   0xc0000000                      // GNU_PROPERTY_AARCH64_FEATURE_1_AND
        .long   4                               // its size
        .long   3                               // BTI | PAC
        .long   0                               // padding to 8 bytes
        .popsection

        .section .note.GNU-stack, "", %progbits
