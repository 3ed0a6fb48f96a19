@ CRC-32 folding loop for ARMv7 NEON without the 64-bit polynomial multiply: 8 x 8-bit VMULL.P8 only.
@
@ Why a folding loop on VMULL.P8 at all: a table kernel needs one table load per byte and the data
@ loads on top, and a core has one load pipe; this loop loads each byte once and spends its time on
@ the two NEON pipes (20 instructions per 16 bytes, no loads from tables).
@
@ Four 16-byte lanes hold the running remainder of the last 64 bytes. One step moves each lane 64
@ bytes further on and XORs in the 16 new bytes that are there. Moving a lane forward is linear in
@ its bytes: byte p of the lane, shifted 512 bits further, is congruent modulo the CRC polynomial to
@ a sum of four 8 x 8-bit products that land in four chosen 16-bit slots of the new lane. VMULL.P8
@ multiplies lane by lane, so byte p must stand in four different byte lanes of the multiplied
@ registers: the lane itself and its copies by VREV32.8, VREV64.32 and VREV64.8 put byte p at lanes
@ p, p^3, p^4 and p^7 (mod 8); for that set every byte's four slots span all 32 residues, which most
@ sets do not. The 64 multiplier bytes (8 D registers) are derived in crc32_neon.cpp.
@
@ Written in assembly so that the order stays what it is for an in-order dual-issue core: the two
@ lanes of a pair take turns, so each product is used two instructions after its multiply and the
@ chain per lane is VREV, VMULL, VEOR, VEOR (14 cycles on the A57 model, under the 19 per lane that
@ the two NEON pipes need for the pair's work anyway). ARM state; assembles with GNU as and clang.

        .syntax unified
        .arm
        .fpu    neon
        .text

@ Registers: q0-q3 the four lanes; q12-q15 the multipliers, d24/d25 for the lane as it is (its low and
@ high eight bytes), d26/d27 for its VREV32.8 copy, d28/d29 for VREV64.32, d30/d31 for VREV64.8.
@ A pair of lanes A and B uses pa/pb (the new bytes, then the first partial sum), qa/qb (the second
@ partial sum), ra/rb (the reordered copy) and ta/tb (each product).
.macro  fold_pair a, al, ah, b, bl, bh
        vrev32.8    q6, \a
        vrev32.8    q8, \b
        vmull.p8    q7, \al, d24
        vmull.p8    q9, \bl, d24
        vmull.p8    q10, \ah, d25
        vmull.p8    q11, \bh, d25
        veor        q4, q4, q10
        veor        q5, q5, q11
        vmull.p8    q10, d12, d26
        vmull.p8    q11, d16, d26
        veor        q7, q7, q10
        veor        q9, q9, q11
        vmull.p8    q10, d13, d27
        vmull.p8    q11, d17, d27
        vrev64.32   q6, \a
        vrev64.32   q8, \b
        veor        q4, q4, q10
        veor        q5, q5, q11
        vmull.p8    q10, d12, d28
        vmull.p8    q11, d16, d28
        veor        q7, q7, q10
        veor        q9, q9, q11
        vmull.p8    q10, d13, d29
        vmull.p8    q11, d17, d29
        vrev64.8    q6, \a
        vrev64.8    q8, \b
        veor        q4, q4, q10
        veor        q5, q5, q11
        vmull.p8    q10, d12, d30
        vmull.p8    q11, d16, d30
        veor        q7, q7, q10
        veor        q9, q9, q11
        vmull.p8    q10, d13, d31
        vmull.p8    q11, d17, d31
        veor        q4, q4, q10
        veor        q5, q5, q11
        veor        \a, q4, q7
        veor        \b, q5, q9
.endm

@ void crc32FoldNeonP8(uint8_t lanes[64], const uint8_t* data, size_t steps, const uint8_t multipliers[64])
@ Folds `steps` runs of 64 bytes from `data` into the four lanes (steps > 0). Any alignment.
        .global crc32FoldNeonP8
        .hidden crc32FoldNeonP8
        .type   crc32FoldNeonP8, %function
        .p2align 4
crc32FoldNeonP8:
        vpush       {d8-d15}
        vld1.8      {d24-d27}, [r3]!
        vld1.8      {d28-d31}, [r3]
        vld1.8      {d0-d3}, [r0]!
        vld1.8      {d4-d7}, [r0]
        sub         r0, r0, #32
1:
        vld1.8      {d8-d11}, [r1]!
        fold_pair   q0, d0, d1, q1, d2, d3
        vld1.8      {d8-d11}, [r1]!
        fold_pair   q2, d4, d5, q3, d6, d7
        subs        r2, r2, #1
        bne         1b
        vst1.8      {d0-d3}, [r0]!
        vst1.8      {d4-d7}, [r0]
        vpop        {d8-d15}
        bx          lr
        .size   crc32FoldNeonP8, .-crc32FoldNeonP8

        .section .note.GNU-stack, "", %progbits
