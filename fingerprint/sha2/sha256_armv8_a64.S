// SHA-224/256 compression on AArch64 with the ARMv8 SHA-256 instructions, a run of 64-byte blocks per call.
//
// A block is one chain of sixteen SHA256H/SHA256H2 pairs: each pair reads the ABCD and EFGH that the
// pair before wrote, and SHA256H2 needs the ABCD from before SHA256H overwrote it, so a copy is taken
// first, from the same register SHA256H then reads: the copy runs beside SHA256H, never before it. On the
// A57 model both take 6 cycles and share one pipe for two cycles each, so a pair costs 8 cycles and a
// block at least 16 x 8 = 128 (2.0 per byte); on the in-order A55 model 4 cycles and one each, so a pair
// costs at least 5 (80 a block). Each group is SHA256SU0 of the words of group g + 3, the copy, W + K of
// group g + 1, SHA256H, SHA256SU1 and SHA256H2: of the 360 orders of these six (the copy before
// SHA256H2), this one gives the fewest cycles on the A57 model with the loop's branch, 132.6 a block, and
// 118 on the A55's (the best there, 118, costs the A57 nothing more); the schedule never takes the
// shared pipe from a pair that is ready.
//
// Assembly rather than intrinsics so that this order is the one that runs: GCC copied the new ABCD into
// the register SHA256H overwrites, which puts the copy on the chain (9 cycles a pair on the A57 model,
// 8 on the A55's). The function starts with a BTI landing pad and the file carries the GNU property note
// of BTI and PAC (a leaf function: the return address never leaves x30), as the package is built with
// -mbranch-protection=standard.

        .arch   armv8-a+crypto
        .text

// Registers: v0 ABCD, v1 EFGH, v2 the copy of ABCD, v3/v4 W + K of group g in turn (g mod 2), v5/v6 ABCD
// and EFGH at the start of the block, v16-v19 the message words of group g in v(16 + g mod 4), v20-v31
// the constants of groups 0 to 11 and v8-v11 those of groups 12 to 15 (d8-d11 saved for the call).

// One block; x1 points to it and moves past it.
.macro  block
        ld1             {v16.16b-v19.16b}, [x1], #64
        mov             v5.16b, v0.16b
        mov             v6.16b, v1.16b
        rev32           v16.16b, v16.16b
        rev32           v17.16b, v17.16b
        rev32           v18.16b, v18.16b
        rev32           v19.16b, v19.16b
        add             v3.4s, v16.4s, v20.4s
        // group 0
        mov             v2.16b, v0.16b
        add             v4.4s, v17.4s, v21.4s
        sha256h         q0, q1, v3.4s
        sha256h2        q1, q2, v3.4s
        // group 1
        sha256su0       v16.4s, v17.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v18.4s, v22.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v16.4s, v18.4s, v19.4s
        sha256h2        q1, q2, v4.4s
        // group 2
        sha256su0       v17.4s, v18.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v19.4s, v23.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v17.4s, v19.4s, v16.4s
        sha256h2        q1, q2, v3.4s
        // group 3
        sha256su0       v18.4s, v19.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v16.4s, v24.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v18.4s, v16.4s, v17.4s
        sha256h2        q1, q2, v4.4s
        // group 4
        sha256su0       v19.4s, v16.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v17.4s, v25.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v19.4s, v17.4s, v18.4s
        sha256h2        q1, q2, v3.4s
        // group 5
        sha256su0       v16.4s, v17.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v18.4s, v26.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v16.4s, v18.4s, v19.4s
        sha256h2        q1, q2, v4.4s
        // group 6
        sha256su0       v17.4s, v18.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v19.4s, v27.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v17.4s, v19.4s, v16.4s
        sha256h2        q1, q2, v3.4s
        // group 7
        sha256su0       v18.4s, v19.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v16.4s, v28.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v18.4s, v16.4s, v17.4s
        sha256h2        q1, q2, v4.4s
        // group 8
        sha256su0       v19.4s, v16.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v17.4s, v29.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v19.4s, v17.4s, v18.4s
        sha256h2        q1, q2, v3.4s
        // group 9
        sha256su0       v16.4s, v17.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v18.4s, v30.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v16.4s, v18.4s, v19.4s
        sha256h2        q1, q2, v4.4s
        // group 10
        sha256su0       v17.4s, v18.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v19.4s, v31.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v17.4s, v19.4s, v16.4s
        sha256h2        q1, q2, v3.4s
        // group 11
        sha256su0       v18.4s, v19.4s
        mov             v2.16b, v0.16b
        add             v3.4s, v16.4s, v8.4s
        sha256h         q0, q1, v4.4s
        sha256su1       v18.4s, v16.4s, v17.4s
        sha256h2        q1, q2, v4.4s
        // group 12
        sha256su0       v19.4s, v16.4s
        mov             v2.16b, v0.16b
        add             v4.4s, v17.4s, v9.4s
        sha256h         q0, q1, v3.4s
        sha256su1       v19.4s, v17.4s, v18.4s
        sha256h2        q1, q2, v3.4s
        // group 13
        mov             v2.16b, v0.16b
        add             v3.4s, v18.4s, v10.4s
        sha256h         q0, q1, v4.4s
        sha256h2        q1, q2, v4.4s
        // group 14
        mov             v2.16b, v0.16b
        add             v4.4s, v19.4s, v11.4s
        sha256h         q0, q1, v3.4s
        sha256h2        q1, q2, v3.4s
        // group 15
        mov             v2.16b, v0.16b
        sha256h         q0, q1, v4.4s
        sha256h2        q1, q2, v4.4s
        add             v0.4s, v0.4s, v5.4s
        add             v1.4s, v1.4s, v6.4s
.endm

        .section .rodata
        .p2align 4
// FIPS 180-4, 4.2.2.
sha256Constants:
        .word   0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5
        .word   0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174
        .word   0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da
        .word   0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967
        .word   0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85
        .word   0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070
        .word   0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3
        .word   0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2

        .text
// void sha256BlocksArm64(uint32_t state[8], const uint8_t* data, size_t blocks)
        .global sha256BlocksArm64
        .hidden sha256BlocksArm64
        .type   sha256BlocksArm64, %function
        .p2align 4
sha256BlocksArm64:
        hint            #34                     // bti c
        cbz             x2, 2f
        stp             d8, d9, [sp, #-32]!
        stp             d10, d11, [sp, #16]
        adrp            x3, sha256Constants
        add             x3, x3, :lo12:sha256Constants
        ld1             {v20.4s-v23.4s}, [x3], #64
        ld1             {v24.4s-v27.4s}, [x3], #64
        ld1             {v28.4s-v31.4s}, [x3], #64
        ld1             {v8.4s-v11.4s}, [x3]
        ld1             {v0.4s, v1.4s}, [x0]
1:      block
        subs            x2, x2, #1
        b.ne            1b
        st1             {v0.4s, v1.4s}, [x0]
        ldp             d10, d11, [sp, #16]
        ldp             d8, d9, [sp], #32
2:      ret
        .size   sha256BlocksArm64, .-sha256BlocksArm64

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
