@ SHA-384/512 compression for 32-bit ARM with NEON: the block loop behind sha512BlocksNeon().
@
@ Written in assembly because the order of the instructions is the point: each round's chain is kept
@ short and the message schedule of later words is placed between the rounds, so that an in-order
@ dual-issue core (Cortex-A7/A53) finds independent work beside the round's waits and an out-of-order
@ one (A57/A72) has the schedule to run while a round waits; a compiler's scheduler is free to undo
@ both. ARM state (.arm): nearly every instruction is NEON, whose encodings are 32 bits in either set.
@
@ Notation (FIPS 180-4, 6.4): E(t) and A(t) are the words e and a at the start of round t, so that
@ f, g, h = E(t-1), E(t-2), E(t-3) and b, c, d = A(t-1), A(t-2), A(t-3). Round t computes
@     T1(t) = E(t-3) + Sigma1(E(t)) + Ch(E(t), E(t-1), E(t-2)) + K(t) + W(t)
@     E(t+1) = A(t-3) + T1(t),   A(t+1) = T1(t) + Sigma0(A(t)) + Maj(A(t), A(t-1), A(t-2)).
@ The state lives in q0-q3 as pairs P(t) = [E(t), A(t-1)]: the a half runs one round behind. Round t
@ then makes P(t+1) = [E(t+1), A(t)] from P(t), P(t-1), P(t-2), P(t-3) alone, A(t) needing T1(t-1) of
@ the round before, and both halves come out of one Q addition at the same time:
@   - [Sigma1(E(t)), Sigma0(A(t-1))]: six VSHL by register, each lane shifted by its own signed count
@     (negative to the right; the counts in q4-q9), and five VEOR, a tree three deep;
@   - [Ch(E(t), E(t-1), E(t-2)), Maj(A(t-1), A(t-2), A(t-3))]: one VBSL on P(t-1), P(t-2) with the
@     mask [E(t), A(t-1) ^ A(t-3)] (where the outer two words differ, the middle one decides Maj);
@   - [E(t-3) + W(t) + K(t) + A(t-3), T1(t-1) = E(t) - A(t-4)] in q11, made while the shifts run.
@ The critical path per round is thus VSHL, VEOR, VEOR, VEOR, VADD: five instructions, 19 cycles
@ on the Cortex-A57 model (the six shifts share one pipe). P(t+1) takes the register of P(t-3), so the
@ names come back every four rounds. Round 0 keeps A(0) (the chaining a, stored in the high half of
@ P(-3)) and writes only the low half; a half round 80 adds the high half A(80).
@
@ The schedule: the raw words W go to w[], the sums W + K to wk[], which the rounds read one word
@ at a time. Two words are expanded per two rounds (sigma1 of the last pair after an even round,
@ sigma0 and the rest after an odd one), from the last pair kept in q15 and three loads from w[];
@ words 16 to 79 are ready long before their round, in rounds 0 to 63.
@
@ void hw_sha512_neon_blocks(uint64_t frame[168], const uint8_t* data, size_t blocks,
@                            const uint64_t k[80]);
@ frame: 16-byte aligned; frame[0..7] the chaining value as the pairs [e, b], [h, a], [g, d],
@ [f, c] (in and out), frame[8..87] w[], frame[88..167] wk[]. k: 16-byte aligned.

        .syntax unified
        .arch armv7-a
        .fpu neon
        .arm
        .text

@ Per lane of P: right and left shift counts of the three rotations of Sigma1 (ROTR14, ROTR18,
@ ROTR41) in the low lane and of Sigma0 (ROTR28, ROTR34, ROTR39) in the high lane.
        .p2align 4
.Lsigma_shifts:
        .quad   -14, -28, 50, 36, -18, -34, 46, 30, -41, -39, 23, 25

@ One round. p0 = P(t), p1 = P(t-1), p2 = P(t-2), p3 = P(t-3) with their D halves (l, h).
@ out: "q" writes P(t+1) into p3, "lo" its low half only (round 0), "hi" its high half only (round 80).
@ Temporaries: q10 the Ch/Maj mask and result, q11 the sums, q12-q14 the Sigma shifts.
        .macro  round p0, p0l, p0h, p1, p2, p2h, p3, p3l, p3h, out
        vshl.u64        q12, \p0, q4            @ ROTR14(e) | ROTR28(a), right part
        vshl.u64        q13, \p0, q5            @ left part
        vmov            d20, \p0l               @ mask: E(t) for Ch ...
        veor            d21, \p0h, \p2h         @ ... A(t-1) ^ A(t-3) for Maj
        vshl.u64        q14, \p0, q6
        veor            q12, q12, q13
        .ifnc \out, hi
        vld1.64         {d22}, [r10:64]!        @ W(t) + K(t)
        .endif
        vshl.u64        q13, \p0, q7
        vbsl            q10, \p1, \p2           @ [Ch, Maj]
        vsub.i64        d23, \p0l, \p3h         @ T1(t-1) = E(t) - A(t-4)
        veor            q14, q14, q13
        vshl.u64        q13, \p0, q8
        .ifnc \out, hi
        vadd.i64        d22, d22, \p3l          @ + h
        .endif
        veor            q12, q12, q14
        vshl.u64        q14, \p0, q9
        .ifnc \out, hi
        vadd.i64        d22, d22, \p2h          @ + d
        .endif
        veor            q13, q13, q14
        vadd.i64        q11, q11, q10
        veor            q12, q12, q13           @ [Sigma1(E(t)), Sigma0(A(t-1))]
        .ifc \out, q
        vadd.i64        \p3, q11, q12           @ [E(t+1), A(t)]
        .endif
        .ifc \out, lo
        vadd.i64        \p3l, d22, d24
        .endif
        .ifc \out, hi
        vadd.i64        \p3h, d23, d25
        .endif
        .endm

@ First half of expanding W(t), W(t+1): q15 = W(t-16), W(t-15) + sigma1(W(t-2), W(t-1)), where q15
@ held W(t-2), W(t-1). r5 walks w[] at W(t-16).
        .macro  expand_sigma1
        vshr.u64        q12, q15, #19
        vshr.u64        q13, q15, #61
        vshr.u64        q14, q15, #6
        vsli.64         q12, q15, #45
        vsli.64         q13, q15, #3
        vld1.64         {d30, d31}, [r5:128]!
        veor            q12, q12, q13
        veor            q12, q12, q14
        vadd.i64        q15, q15, q12
        .endm

@ Second half: + sigma0(W(t-15), W(t-14)) + W(t-7), W(t-6); the pair to w[] (r8) and with K (r4)
@ to wk[] (r9), and it stays in q15 for the next pair. r6, r7 walk w[] at W(t-15), W(t-7).
        .macro  expand_sigma0
        vld1.64         {d24, d25}, [r6:64]!
        vld1.64         {d28, d29}, [r7:64]!
        vshr.u64        q13, q12, #1
        vadd.i64        q15, q15, q14
        vshr.u64        q14, q12, #8
        vsli.64         q13, q12, #63
        vsli.64         q14, q12, #56
        vshr.u64        q12, q12, #7
        veor            q12, q12, q13
        vld1.64         {d26, d27}, [r4:128]!
        veor            q12, q12, q14
        vadd.i64        q15, q15, q12
        vadd.i64        q13, q13, q15
        vst1.64         {d30, d31}, [r8:128]!
        vst1.64         {d26, d27}, [r9:128]!
        .endm

@ Four rounds, t = 0, 1, 2, 3 modulo 4, with or without two expansions; first: round 0 of a block.
        .macro  four_rounds expand, first
        .ifc \first, 1
        round   q0, d0, d1, q3, q2, d5, q1, d2, d3, lo
        .else
        round   q0, d0, d1, q3, q2, d5, q1, d2, d3, q
        .endif
        .ifc \expand, 1
        expand_sigma1
        .endif
        round   q1, d2, d3, q0, q3, d7, q2, d4, d5, q
        .ifc \expand, 1
        expand_sigma0
        .endif
        round   q2, d4, d5, q1, q0, d1, q3, d6, d7, q
        .ifc \expand, 1
        expand_sigma1
        .endif
        round   q3, d6, d7, q2, q1, d3, q0, d0, d1, q
        .ifc \expand, 1
        expand_sigma0
        .endif
        .endm

@ Sixteen words, big-endian, to w[] (r8) and with K (r4) to wk[] (r9): two pairs from r1 into qa, qb.
        .macro  load_words qa, qb, dlist
        vld1.8          {\dlist}, [r1]!
        vld1.64         {d20-d23}, [r4:128]!
        vrev64.8        \qa, \qa
        vrev64.8        \qb, \qb
        vadd.i64        q10, q10, \qa
        vadd.i64        q11, q11, \qb
        vst1.64         {\dlist}, [r8:128]!
        vst1.64         {d20-d23}, [r9:128]!
        .endm

        .globl  hw_sha512_neon_blocks
        .hidden hw_sha512_neon_blocks
        .type   hw_sha512_neon_blocks, %function
        .p2align 4
hw_sha512_neon_blocks:
        push            {r4-r11, lr}
        vpush           {d8-d15}
        adr             r12, .Lsigma_shifts
        vld1.64         {d8-d11}, [r12:128]!
        vld1.64         {d12-d15}, [r12:128]!
        vld1.64         {d16-d19}, [r12:128]
        add             r11, r0, #32
        vld1.64         {d0-d3}, [r0:128]
        vld1.64         {d4-d7}, [r11:128]
.Lblock:
        mov             r4, r3                  @ K
        add             r8, r0, #64             @ w[] written
        add             r9, r0, #704            @ wk[] written
        mov             r10, r9                 @ wk[] read by the rounds
        load_words      q12, q13, d24-d27
        load_words      q12, q13, d24-d27
        load_words      q12, q13, d24-d27
        load_words      q14, q15, d28-d31       @ W(14), W(15) stay in q15
        add             r5, r0, #64             @ W(t-16)
        add             r6, r0, #72             @ W(t-15)
        add             r7, r0, #136            @ W(t-7)
        four_rounds     1, 1
        .rept 15
        four_rounds     1, 0
        .endr
        .rept 4
        four_rounds     0, 0
        .endr
        round           q0, d0, d1, q3, q2, d5, q1, d2, d3, hi
        @ The chaining value: the pairs came back to the registers they started in.
        vld1.64         {d20-d23}, [r0:128]
        vld1.64         {d24-d27}, [r11:128]
        vadd.i64        q0, q0, q10
        vadd.i64        q1, q1, q11
        vadd.i64        q2, q2, q12
        vadd.i64        q3, q3, q13
        vst1.64         {d0-d3}, [r0:128]
        vst1.64         {d4-d7}, [r11:128]
        subs            r2, r2, #1
        bne             .Lblock
        vpop            {d8-d15}
        pop             {r4-r11, pc}
        .size   hw_sha512_neon_blocks, .-hw_sha512_neon_blocks

        .section .note.GNU-stack, "", %progbits
