@ CRC-32 folding with the ARMv8 PMULL instruction (VMULL.P64) in 32-bit ARM state: whole 16-byte lanes.
@
@ Eight 16-byte lanes hold the running remainder of the last 128 bytes. One step moves each lane 128
@ bytes further on and XORs in the 16 new bytes that are there: the lane's low half (its first eight
@ bytes) times one constant XOR its high half times another (crc32_fold.h), 2 VMULL.P64 and 2 VEOR a
@ lane. The multiplies have one pipe (F0 on the A57 model) and the XORs take either, so 16 multiplies
@ are the bound of a 128-byte step (16 cycles); eight lanes rather than four put the chain of one
@ lane (multiply, XOR, XOR: 9 cycles) under that bound, and the step's loads and loop branch are
@ spread over 128 bytes rather than 64. The model gives 18 cycles a step (it sends two of the XORs
@ to F0), against 22 for 128 bytes in the four-lane loop this replaced. At the end the eight lanes
@ are folded into one in three levels (16, 32, 64 bytes apart), any whole lanes left are folded in
@ one at a time, and the CRC32 instructions take the last lane from register 0.
@
@ Written in assembly because 32-bit clang has no VMULL.P64 intrinsic, and so that the order stays
@ what it is for an in-order dual-issue core: the multiplies of one pair of lanes stand between the
@ XORs of the pair before (in the other pair of product registers), so in the loop each product and
@ each load is three or more instructions before its first use.
@ ARM state; assembles with GNU as and clang.

        .syntax unified
        .arch   armv8-a
        .arch_extension crc
        .arm
        .fpu    crypto-neon-fp-armv8
        .text

@ Registers: q8-q15 the eight lanes (the single lane is q8); q0 the pair of constants that moves a
@ lane 16 bytes on, q1 the one for 128 bytes, q4/q5 the pairs for 32 and 64 bytes in the reduction;
@ q4/q5 the new bytes of a pair of lanes in the loop; q6/q7 and q2/q3 the low halves' products of
@ alternate pairs; q1 the new lane and q2 the product in the single lane's loop, which leaves d8-d15
@ alone. The high half's product goes into the lane itself: VMULL reads its operands before it
@ writes.

@ Lanes a and b (low halves al, bl, high halves ah, bh) times the constant pair kl/kh: the low
@ halves' products into ta and tb, the high halves' into the lanes.
.macro  multiply a, al, ah, b, bl, bh, ta, tb, kl, kh
        vmull.p64   \ta, \al, \kl
        vmull.p64   \tb, \bl, \kl
        vmull.p64   \a, \ah, \kh
        vmull.p64   \b, \bh, \kh
.endm

@ Lanes a and b after multiply: XOR in their low products ta/tb and the lanes da/db they now lie on.
.macro  combine a, b, ta, tb, da, db
        veor        \a, \a, \ta
        veor        \b, \b, \tb
        veor        \a, \a, \da
        veor        \b, \b, \db
.endm

@ One pair of the loop's lanes (a, b) multiplied while the pair before (c, d, its products in tc/td
@ and its new bytes in q4/q5) is combined; then the next pair's new bytes are loaded into q4/q5.
.macro  step a, al, ah, b, bl, bh, ta, tb, c, d, tc, td
        vmull.p64   \ta, \al, d2
        veor        \c, \c, \tc
        vmull.p64   \tb, \bl, d2
        veor        \d, \d, \td
        vmull.p64   \a, \ah, d3
        veor        \c, \c, q4
        vmull.p64   \b, \bh, d3
        veor        \d, \d, q5
        vld1.8      {d8-d11}, [r1]!
.endm

@ The single lane q8 moved 16 bytes on (constants d0/d1, product in q2) and the new lane q1 XORed in.
.macro  fold_one_lane
        vmull.p64   q2, d16, d0
        vmull.p64   q8, d17, d1
        veor        q8, q8, q2
        veor        q8, q8, q1
.endm

@ uint32_t crc32FoldPmull(uint32_t crc, const uint8_t* data, size_t lanes, const uint64_t pairs[8])
@ The CRC register (not inverted) after `lanes` 16-byte lanes from `data` (lanes > 0, any
@ alignment), starting from `crc`. `pairs`: the {low half, high half} constants that move a lane
@ 16, 128, 32 and 64 bytes on, in that order.
        .global crc32FoldPmull
        .hidden crc32FoldPmull
        .type   crc32FoldPmull, %function
        .p2align 4
crc32FoldPmull:
        vld1.64     {d0-d1}, [r3]!
        mov         r12, #0
        @ Starting from register 0 with the running register XORed into the first four bytes gives
        @ the same remainder as starting from the register itself.
        vmov        d6, r0, r12
        subs        r2, r2, #8
        bhs         .Leight_lanes
        @ Fewer than eight lanes: one at a time.
        vld1.8      {d16-d17}, [r1]!
        veor        d16, d16, d6
        adds        r2, r2, #7
        beq         .Lfinish
        b           .Lone_lane

.Leight_lanes:
        vpush       {d8-d15}
        vld1.64     {d2-d3}, [r3]!
        vld1.8      {d16-d19}, [r1]!
        vld1.8      {d20-d23}, [r1]!
        vld1.8      {d24-d27}, [r1]!
        vld1.8      {d28-d31}, [r1]!
        veor        d16, d16, d6
        subs        r2, r2, #8
        blo         .Lreduce
1:
        vld1.8      {d8-d11}, [r1]!
        multiply    q8, d16, d17, q9, d18, d19, q6, q7, d2, d3
        step        q10, d20, d21, q11, d22, d23, q2, q3, q8, q9, q6, q7
        step        q12, d24, d25, q13, d26, d27, q6, q7, q10, q11, q2, q3
        step        q14, d28, d29, q15, d30, d31, q2, q3, q12, q13, q6, q7
        veor        q14, q14, q2
        veor        q15, q15, q3
        subs        r2, r2, #8
        veor        q14, q14, q4
        veor        q15, q15, q5
        bhs         1b

.Lreduce:
        @ Each odd lane takes the even one before it (16 bytes), then lanes 3 and 7 take lanes 1 and 5
        @ (32 bytes), then lane 7 takes lane 3 (64 bytes); the results stand in the even registers.
        vld1.64     {d8-d11}, [r3]
        multiply    q8, d16, d17, q10, d20, d21, q6, q7, d0, d1
        multiply    q12, d24, d25, q14, d28, d29, q2, q3, d0, d1
        combine     q8, q10, q6, q7, q9, q11
        combine     q12, q14, q2, q3, q13, q15
        multiply    q8, d16, d17, q12, d24, d25, q6, q7, d8, d9
        combine     q8, q12, q6, q7, q10, q14
        vmull.p64   q6, d16, d10
        vmull.p64   q8, d17, d11
        veor        q8, q8, q6
        veor        q8, q8, q12
        vpop        {d8-d15}
        @ r2 is the number of lanes left minus 8.
        ands        r2, r2, #7
        beq         .Lfinish

.Lone_lane:
        vld1.8      {d2-d3}, [r1]!
        fold_one_lane
        subs        r2, r2, #1
        bne         .Lone_lane

.Lfinish:
        @ The lane is congruent to everything so far: its CRC from register 0 is the register now.
        vmov        r0, r1, d16
        vmov        r2, r3, d17
        crc32w      r12, r12, r0
        crc32w      r12, r12, r1
        crc32w      r12, r12, r2
        crc32w      r0, r12, r3
        bx          lr
        .size   crc32FoldPmull, .-crc32FoldPmull

        .section .note.GNU-stack, "", %progbits
