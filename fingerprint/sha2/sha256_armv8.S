@ SHA-224/256 compression with the ARMv8 SHA-256 instructions in 32-bit ARM state, a run of 64-byte blocks
@ per call.
@
@ A block is one chain of sixteen SHA256H/SHA256H2 pairs: each pair reads the ABCD and EFGH that
@ the pair before wrote, and SHA256H2 needs the ABCD from before SHA256H overwrote it, so a copy is
@ taken first (the copy of group 0 is also the block's saved ABCD). On the A57 model both
@ instructions take 6 cycles and share one pipe (F0, two cycles each), so a group costs 8 cycles
@ whatever the order around it: 16 x 8 = 128 cycles per block is the bound. The schedule needs the
@ same pipe for 36 of the other cycles, and the model gives a pipe to the oldest ready instruction, so
@ the schedule must never be ready and older at the moment the chain is: SHA256SU0 and SHA256SU1 of
@ the words of group g + 3 stand on either side of group g's rounds (with both after them, some
@ blocks paid 9 cycles a group). W + K of group g + 2 is added in group g, into one of three
@ registers; the first two groups' constants stay in registers and the others are loaded two groups
@ at a time, a group before their first use, from a pointer that the last load of a block moves back. On an in-order core the same
@ order keeps every result two or more instructions from its first use.
@ The chain per block is 32 hash instructions (16 pairs, each pair's two independent of each other).
@
@ Assembly rather than intrinsics so that this order is the one that runs (GCC needed
@ -fno-schedule-insns to keep the copy off the chain). ARM state; assembles with GNU as and clang.

        .syntax unified
        .arch   armv8-a
        .arm
        .fpu    crypto-neon-fp-armv8
        .text

        .p2align 4
@ FIPS 180-4, 4.2.2: the constants of groups 2 to 15, then those of groups 0 and 1.
roundConstants:
        .word   0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174
        .word   0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da
        .word   0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967
        .word   0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85
        .word   0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070
        .word   0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3
        .word   0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2
firstConstants:
        .word   0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5

@ Registers: q0 ABCD, q1 EFGH; q6 ABCD and q7 EFGH at the start of the block; q2 the copy of ABCD
@ for groups 1 to 15; q8-q11 the message words of group g in q(8 + g mod 4); q12, q13, q5 W + K of
@ group g in turn (g mod 3); q3/q4 the constants of groups 0 and 1, q14/q15 those of the next two.

@ One group of four rounds: \x holds ABCD from before SHA256H overwrites it; \wk holds W + K.
.macro  rounds4 wk, x
        sha256h.32      q0, q1, \wk
        sha256h2.32     q1, \x, \wk
.endm

.macro  block
        vld1.8          {d16-d19}, [r1]!
        vld1.8          {d20-d23}, [r1]!
        vrev32.8        q8, q8
        vrev32.8        q9, q9
        vrev32.8        q10, q10
        vrev32.8        q11, q11
        vorr            q7, q1, q1
        vadd.i32        q12, q8, q3
        vadd.i32        q13, q9, q4
        vld1.32         {d28-d31}, [r3]!
        @ group 0
        vorr            q6, q0, q0
        vadd.i32        q5, q10, q14
        rounds4         q12, q6
        @ 1
        sha256su0.32    q8, q9
        vorr            q2, q0, q0
        vadd.i32        q12, q11, q15
        vld1.32         {d28-d31}, [r3]!
        rounds4         q13, q2
        sha256su1.32    q8, q10, q11
        @ 2
        sha256su0.32    q9, q10
        vorr            q2, q0, q0
        vadd.i32        q13, q8, q14
        rounds4         q5, q2
        sha256su1.32    q9, q11, q8
        @ 3
        sha256su0.32    q10, q11
        vorr            q2, q0, q0
        vadd.i32        q5, q9, q15
        vld1.32         {d28-d31}, [r3]!
        rounds4         q12, q2
        sha256su1.32    q10, q8, q9
        @ 4
        sha256su0.32    q11, q8
        vorr            q2, q0, q0
        vadd.i32        q12, q10, q14
        rounds4         q13, q2
        sha256su1.32    q11, q9, q10
        @ 5
        sha256su0.32    q8, q9
        vorr            q2, q0, q0
        vadd.i32        q13, q11, q15
        vld1.32         {d28-d31}, [r3]!
        rounds4         q5, q2
        sha256su1.32    q8, q10, q11
        @ 6
        sha256su0.32    q9, q10
        vorr            q2, q0, q0
        vadd.i32        q5, q8, q14
        rounds4         q12, q2
        sha256su1.32    q9, q11, q8
        @ 7
        sha256su0.32    q10, q11
        vorr            q2, q0, q0
        vadd.i32        q12, q9, q15
        vld1.32         {d28-d31}, [r3]!
        rounds4         q13, q2
        sha256su1.32    q10, q8, q9
        @ 8
        sha256su0.32    q11, q8
        vorr            q2, q0, q0
        vadd.i32        q13, q10, q14
        rounds4         q5, q2
        sha256su1.32    q11, q9, q10
        @ 9
        sha256su0.32    q8, q9
        vorr            q2, q0, q0
        vadd.i32        q5, q11, q15
        vld1.32         {d28-d31}, [r3]!
        rounds4         q12, q2
        sha256su1.32    q8, q10, q11
        @ 10
        sha256su0.32    q9, q10
        vorr            q2, q0, q0
        vadd.i32        q12, q8, q14
        rounds4         q13, q2
        sha256su1.32    q9, q11, q8
        @ 11
        sha256su0.32    q10, q11
        vorr            q2, q0, q0
        vadd.i32        q13, q9, q15
        vld1.32         {d28-d31}, [r3], r12
        rounds4         q5, q2
        sha256su1.32    q10, q8, q9
        @ 12
        sha256su0.32    q11, q8
        vorr            q2, q0, q0
        vadd.i32        q5, q10, q14
        rounds4         q12, q2
        sha256su1.32    q11, q9, q10
        @ 13
        vorr            q2, q0, q0
        vadd.i32        q12, q11, q15
        rounds4         q13, q2
        @ 14
        vorr            q2, q0, q0
        rounds4         q5, q2
        @ 15
        vorr            q2, q0, q0
        rounds4         q12, q2
        vadd.i32        q0, q0, q6
        vadd.i32        q1, q1, q7
.endm

@ void sha256BlocksArmv8(uint32_t state[8], const uint8_t* data, size_t blocks)
        .global sha256BlocksArmv8
        .hidden sha256BlocksArmv8
        .type   sha256BlocksArmv8, %function
        .p2align 4
sha256BlocksArmv8:
        cmp             r2, #0
        bxeq            lr
        vpush           {d8-d15}
        vld1.32         {d0-d3}, [r0]
        adr             r3, firstConstants
        vld1.32         {d6-d9}, [r3]
        adr             r3, roundConstants
        @ The last load of a block moves the pointer back by the six loads before it.
        mvn             r12, #(6 * 32 - 1)
        @ Two blocks per pass; an odd count enters at the second.
        lsrs            r2, r2, #1
        bcs             2f
        sub             r2, r2, #1
1:      block
2:      block
        subs            r2, r2, #1
        bge             1b
        vst1.32         {d0-d3}, [r0]
        vpop            {d8-d15}
        bx              lr
        .size   sha256BlocksArmv8, .-sha256BlocksArmv8

        .section .note.GNU-stack, "", %progbits
