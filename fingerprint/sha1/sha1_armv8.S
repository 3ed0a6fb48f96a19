@ SHA-1 compression with the ARMv8 SHA-1 instructions in 32-bit ARM state, a run of 64-byte blocks per call.
@
@ A block is one chain of twenty SHA1C/SHA1P/SHA1M, each taking the ABCD of the one before (6 cycles
@ each on the A57 model). Everything else stays off that chain and is written where an in-order core
@ wants it: the E of group g + 1 is SHA1H of the ABCD that group g reads, so no copy of ABCD is
@ needed; W + K of group g + 2 is added in group g, and the message schedule (SHA1SU1 finishes
@ the words of group g + 3, SHA1SU0 starts those of group g + 4) fills the gaps. The constants stay in
@ registers for the whole call, the state E is never overwritten inside a block (two other registers
@ take turns for the E of each group), and the loop runs two blocks per pass.
@
@ On the A57 model a group's SHA1H and its round instruction both become ready when the group before
@ finishes, and they share one pipe (F0); the older one, SHA1H, goes first, so a group costs 7 cycles
@ rather than 6 (143 per block with the state adds).
@ Issuing the round first would take a copy of ABCD per group, 20 instructions per block more than
@ OpenSSL's count. The chain per block is 20 round instructions.
@
@ Assembly rather than intrinsics so that this order is the one that runs: GCC's scheduler moved the
@ reads of ABCD away from the instruction that overwrites it and added copies. ARM state; assembles
@ with GNU as and clang.

        .syntax unified
        .arch   armv8-a
        .arm
        .fpu    crypto-neon-fp-armv8
        .text

@ Registers: q0 ABCD; q1 ABCD at the start of the block; q2 lane 0 the state's E; q3/q8 the E of the
@ groups after the first, in turn; q4-q7 the message words of groups g (mod 4); q9/q10 W + K in turn;
@ q12-q15 the four round constants.

@ Group g: rounds 4g to 4g + 3 with round function \f (c: Ch, p: parity, m: Maj; FIPS 180-4, 4.1.1).
@ \e is this group's E, \enext receives the next group's; \wk holds W + K of this group.
.macro  rounds4 f, e, enext, wk
        sha1h.32        \enext, q0
        sha1\f\().32    q0, \e, \wk
.endm

@ One block. The words of group g are in q(4 + g mod 4).
.macro  block
        vld1.8          {d8-d11}, [r1]!
        vld1.8          {d12-d15}, [r1]!
        vrev32.8        q4, q4
        vrev32.8        q5, q5
        vadd.i32        q9, q4, q12
        vrev32.8        q6, q6
        vorr            q1, q0, q0
        vrev32.8        q7, q7
        vadd.i32        q10, q5, q12
        @ group 0
        rounds4         c, q2, q3, q9
        sha1su0.32      q4, q5, q6
        vadd.i32        q9, q6, q12
        @ 1
        rounds4         c, q3, q8, q10
        sha1su1.32      q4, q7
        sha1su0.32      q5, q6, q7
        vadd.i32        q10, q7, q12
        @ 2
        rounds4         c, q8, q3, q9
        sha1su1.32      q5, q4
        sha1su0.32      q6, q7, q4
        vadd.i32        q9, q4, q12
        @ 3
        rounds4         c, q3, q8, q10
        sha1su1.32      q6, q5
        sha1su0.32      q7, q4, q5
        vadd.i32        q10, q5, q13
        @ 4
        rounds4         c, q8, q3, q9
        sha1su1.32      q7, q6
        sha1su0.32      q4, q5, q6
        vadd.i32        q9, q6, q13
        @ 5
        rounds4         p, q3, q8, q10
        sha1su1.32      q4, q7
        sha1su0.32      q5, q6, q7
        vadd.i32        q10, q7, q13
        @ 6
        rounds4         p, q8, q3, q9
        sha1su1.32      q5, q4
        sha1su0.32      q6, q7, q4
        vadd.i32        q9, q4, q13
        @ 7
        rounds4         p, q3, q8, q10
        sha1su1.32      q6, q5
        sha1su0.32      q7, q4, q5
        vadd.i32        q10, q5, q13
        @ 8
        rounds4         p, q8, q3, q9
        sha1su1.32      q7, q6
        sha1su0.32      q4, q5, q6
        vadd.i32        q9, q6, q14
        @ 9
        rounds4         p, q3, q8, q10
        sha1su1.32      q4, q7
        sha1su0.32      q5, q6, q7
        vadd.i32        q10, q7, q14
        @ 10
        rounds4         m, q8, q3, q9
        sha1su1.32      q5, q4
        sha1su0.32      q6, q7, q4
        vadd.i32        q9, q4, q14
        @ 11
        rounds4         m, q3, q8, q10
        sha1su1.32      q6, q5
        sha1su0.32      q7, q4, q5
        vadd.i32        q10, q5, q14
        @ 12
        rounds4         m, q8, q3, q9
        sha1su1.32      q7, q6
        sha1su0.32      q4, q5, q6
        vadd.i32        q9, q6, q14
        @ 13
        rounds4         m, q3, q8, q10
        sha1su1.32      q4, q7
        sha1su0.32      q5, q6, q7
        vadd.i32        q10, q7, q15
        @ 14
        rounds4         m, q8, q3, q9
        sha1su1.32      q5, q4
        sha1su0.32      q6, q7, q4
        vadd.i32        q9, q4, q15
        @ 15
        rounds4         p, q3, q8, q10
        sha1su1.32      q6, q5
        sha1su0.32      q7, q4, q5
        vadd.i32        q10, q5, q15
        @ 16
        rounds4         p, q8, q3, q9
        sha1su1.32      q7, q6
        vadd.i32        q9, q6, q15
        @ 17
        rounds4         p, q3, q8, q10
        vadd.i32        q10, q7, q15
        @ 18
        rounds4         p, q8, q3, q9
        @ 19: its SHA1H gives the final E (FIPS 180-4, 6.1.2: e of round 80 is a of round 76, rotated)
        rounds4         p, q3, q8, q10
        vadd.i32        q0, q0, q1
        vadd.i32        q2, q2, q8
.endm

@ void sha1BlocksArmv8(uint32_t state[5], const uint8_t* data, size_t blocks)
        .global sha1BlocksArmv8
        .hidden sha1BlocksArmv8
        .type   sha1BlocksArmv8, %function
        .p2align 4
sha1BlocksArmv8:
        cmp             r2, #0
        bxeq            lr
        vpush           {d8-d15}
        vld1.32         {d0-d1}, [r0]!
        vmov.i32        q2, #0
        vld1.32         {d4[0]}, [r0]
        movw            r12, #0x7999
        movt            r12, #0x5a82
        vdup.32         q12, r12
        movw            r12, #0xeba1
        movt            r12, #0x6ed9
        vdup.32         q13, r12
        movw            r12, #0xbcdc
        movt            r12, #0x8f1b
        vdup.32         q14, r12
        movw            r12, #0xc1d6
        movt            r12, #0xca62
        vdup.32         q15, r12
        @ Two blocks per pass; an odd count enters at the second.
        lsrs            r3, r2, #1
        bcs             2f
        sub             r3, r3, #1
1:      block
2:      block
        subs            r3, r3, #1
        bge             1b
        vst1.32         {d4[0]}, [r0]
        sub             r0, r0, #16
        vst1.32         {d0-d1}, [r0]
        vpop            {d8-d15}
        bx              lr
        .size   sha1BlocksArmv8, .-sha1BlocksArmv8

        .section .note.GNU-stack, "", %progbits
