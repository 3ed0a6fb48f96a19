@ Two Keccak-f[1600] states in the Q registers of 32-bit ARM NEON: the permutation loop behind
@ keccak1600AbsorbLanesNeon(), each instruction working on word w of both states (low and high half).
@
@ Written in assembly because where each word lives is the point. The 25 words of two states take 25 Q
@ registers and NEON has 16, so a round keeps in registers only what every row of it needs and streams
@ the words through memory, two 400-byte buffers taking turns (A to B, then B to A):
@   q0-q4   the column parities C of the round's input, then those of its output (C'), built row by
@           row as the outputs come out of chi, so that the next round's theta loads nothing;
@   q5-q9   theta's D[x] = C[x-1] ^ ROTL(C[x+1], 1) (FIPS 202, 3.2.1);
@   q10-q15 one output row at a time: its five input words, rotated (rho) and then combined (chi).
@ The buffers hold each word where the next round reads it: the five words that make output row Y
@ (pi sends word (x, y) to row 2x + 3y, column y, so row Y reads (X + 3Y, X) at column X) lie in
@ slots 5Y to 5Y + 4, so a row loads as three vld1 from consecutive addresses; a round stores its
@ output word (X, Y) in slot s(X, Y) = 5 * (2 * (X - Y) mod 5) + Y with vstr's immediate offsets.
@
@ The schedule of one round, in what LLVM's Cortex-A57 model (scripts/arm-cycle-model.py) charges: two
@ NEON pipes, of which only one shifts; loads and stores have pipes of their own; three micro-ops
@ issue a cycle.
@   theta   5 x (vadd + vsri + veor)                                      15 NEON, 5 of them shifts
@   row Y   3 loads; 5 veor with D; 5 rotations (4 in row 0): vshl + vsri, vadd + vsri for one bit,
@           two vext on the D halves for 8 and 56 bits; chi as 5 x (vbic + veor); 5 veor into C'
@           (row 0 writes C' itself); 5 x 2 vstr                        about 29 NEON, 9 shifts
@   iota    1 load, 1 veor
@ 159 NEON instructions a round, 48 of them shifts, and 82 memory micro-ops: 80 cycles on the two
@ pipes, or 81 at three micro-ops a cycle, and the same NEON work as one state in D registers. The
@ model takes 185 cycles for the loop of two rounds below (one state in D registers: 176): it gives the
@ shift pipe about a third of the other instructions too, so that pipe, not the memory, sets the pace.
@ Every register is taken, so a row cannot start its rotations while the row before it is in chi.
@ Chi takes a row's outputs in the order 3, 4, 0, 1, 2, the two that wait for the last rotations
@ first: of the 120 orders that one measured best in the model (185 cycles against 191 for 0 to 4).
@
@ Absorbing: each lane's words are XORed into its half of the slots (and into its half of C, so that
@ the first theta needs no loads either) by a run of 25 five-instruction blocks, entered at the block
@ of the lane's last word, so that every rate from 8 to 200 bytes reads exactly its own bytes.
@
@ void hw_keccak_lanes_neon_absorb(uint64_t frame[100], const uint8_t* const data[2],
@                                  const uint32_t rates[2], uint32_t steps);
@ frame: 16-byte aligned; frame[0..49] the two states, word (x, y) of lane j at frame[2 * s(x, y) + j]
@ (in and out), frame[50..99] the second buffer. Each of `steps` steps absorbs one block of rates[j]
@ bytes (a multiple of 8 from 8 to 200) from data[j] into lane j and permutes both; steps > 0.

        .syntax unified
        .arch   armv7-a
        .fpu    neon
        .arm
        .text

@ FIPS 202, 3.2.5: the round constants, each twice (one for each lane of a Q register).
        .p2align 4
.Lround_constants:
        .irp    rc, 0x0000000000000001, 0x0000000000008082, 0x800000000000808A, 0x8000000080008000, \
                    0x000000000000808B, 0x0000000080000001, 0x8000000080008081, 0x8000000000008009, \
                    0x000000000000008A, 0x0000000000000088, 0x0000000080008009, 0x000000008000000A, \
                    0x000000008000808B, 0x800000000000008B, 0x8000000000008089, 0x8000000000008003, \
                    0x8000000000008002, 0x8000000000000080, 0x000000000000800A, 0x800000008000000A, \
                    0x8000000080008081, 0x8000000000008080, 0x0000000080000001, 0x8000000080008008
        .quad   \rc, \rc
        .endr

@ Byte offset of the slot s(x, y) of word (x, y) in a buffer.
#define SLOT(x, y) (16 * (5 * ((2 * ((x) - (y)) + 10) % 5) + (y)))

@ dst = ROTL(src, n) in each 64-bit lane, 0 < n < 64 (dl, dh, sl, sh: the D halves of dst and src).
@ A shift by one is an addition, and a rotation by whole bytes a vext of each half: either NEON pipe
@ takes those, where shifts go to one pipe only.
        .macro  rotl dst, src, n, dl, dh, sl, sh
        .if \n == 8 || \n == 56
        vext.8          \dl, \sl, \sl, #(8 - \n / 8)
        vext.8          \dh, \sh, \sh, #(8 - \n / 8)
        .else
        .if \n == 1
        vadd.i64        \dst, \src, \src
        .else
        vshl.i64        \dst, \src, #\n
        .endif
        vsri.64         \dst, \src, #(64 - \n)
        .endif
        .endm

@ theta's D[x] = C[x-1] ^ ROTL(C[x+1], 1) for the five columns, into q5-q9.
        .macro  theta
        rotl    q5, q1, 1
        rotl    q6, q2, 1
        rotl    q7, q3, 1
        rotl    q8, q4, 1
        rotl    q9, q0, 1
        veor    q5, q5, q4
        veor    q6, q6, q0
        veor    q7, q7, q1
        veor    q8, q8, q2
        veor    q9, q9, q3
        .endm

@ Output word (X, Y) of chi into C'[X], then into the output buffer: e = b0 ^ (~b1 & b2).
@ Row 0 writes C' (cX, with its halves cl, ch) itself; the other rows go through q14 and add into it.
        .macro  chi_first x, cX, cl, ch, b0, b1, b2, dst
        vbic            \cX, \b2, \b1
        veor            \cX, \cX, \b0
        .if \x == 0
        vld1.64         {d28-d29}, [r3:128]!    @ iota, on word (0, 0)
        veor            \cX, \cX, q14
        .endif
        vstr            \cl, [\dst, #SLOT(\x, 0)]
        vstr            \ch, [\dst, #SLOT(\x, 0) + 8]
        .endm

        .macro  chi_next x, y, cX, b0, b1, b2, dst
        vbic            q14, \b2, \b1
        veor            q14, q14, \b0
        veor            \cX, \cX, q14
        vstr            d28, [\dst, #SLOT(\x, \y)]
        vstr            d29, [\dst, #SLOT(\x, \y) + 8]
        .endm

@ Output row Y: loads its five input words (the slots 5Y to 5Y + 4 at r2, which moves on), adds
@ D of each word's column (dX, the D register of column X + 3Y), rotates each by its rho offset nX
@ (FIPS 202, 3.2.2) and combines them with chi. Each rotation writes the register that the one before
@ it read, so five rotations need one register more than the five words: the rotated words b0-b4
@ are q15, q10, q11, q12, q13 (in row 0, whose word (0, 0) is not rotated, q10, q15, q11, q12, q13),
@ and q14 is left for chi. The rotation macro takes the D halves too, for the vext rotations.
        .macro  row y, d0, d1, d2, d3, d4, n0, n1, n2, n3, n4, dst
        vld1.64         {d20-d23}, [r2:128]!
        vld1.64         {d24-d27}, [r2:128]!
        vld1.64         {d28-d29}, [r2:128]!
        .if \y == 0
        veor            q10, q10, \d0
        veor            q11, q11, \d1
        rotl            q15, q11, \n1, d30, d31, d22, d23
        veor            q12, q12, \d2
        rotl            q11, q12, \n2, d22, d23, d24, d25
        veor            q13, q13, \d3
        rotl            q12, q13, \n3, d24, d25, d26, d27
        veor            q14, q14, \d4
        rotl            q13, q14, \n4, d26, d27, d28, d29
        chi_first       0, q0, d0, d1, q10, q15, q11, \dst
        chi_first       1, q1, d2, d3, q15, q11, q12, \dst
        chi_first       2, q2, d4, d5, q11, q12, q13, \dst
        chi_first       3, q3, d6, d7, q12, q13, q10, \dst
        chi_first       4, q4, d8, d9, q13, q10, q15, \dst
        .else
        veor            q10, q10, \d0
        rotl            q15, q10, \n0, d30, d31, d20, d21
        veor            q11, q11, \d1
        rotl            q10, q11, \n1, d20, d21, d22, d23
        veor            q12, q12, \d2
        rotl            q11, q12, \n2, d22, d23, d24, d25
        veor            q13, q13, \d3
        rotl            q12, q13, \n3, d24, d25, d26, d27
        veor            q14, q14, \d4
        rotl            q13, q14, \n4, d26, d27, d28, d29
        chi_next        3, \y, q3, q12, q13, q15, \dst
        chi_next        4, \y, q4, q13, q15, q10, \dst
        chi_next        0, \y, q0, q15, q10, q11, \dst
        chi_next        1, \y, q1, q10, q11, q12, \dst
        chi_next        2, \y, q2, q11, q12, q13, \dst
        .endif
        .endm

@ One round from the buffer at src to the one at dst, with C of src in q0-q4 on entry and C of dst
@ there on exit. Row Y's words come from columns X + 3Y (D registers) with the offsets of FIPS 202's
@ table for (X + 3Y, X).
        .macro  round src, dst
        theta
        mov             r2, \src
        row     0, q5, q6, q7, q8, q9,  0, 44, 43, 21, 14, \dst
        row     1, q8, q9, q5, q6, q7, 28, 20,  3, 45, 61, \dst
        row     2, q6, q7, q8, q9, q5,  1,  6, 25,  8, 18, \dst
        row     3, q9, q5, q6, q7, q8, 27, 36, 10, 15, 56, \dst
        row     4, q7, q8, q9, q5, q6, 62, 55, 39, 41,  2, \dst
        .endm

@ Word w of lane j's block (at r12, which moves down a word) into its slot of the first buffer and
@ into the lane's half c of its column's parity.
        .macro  absorb lane, w, c
        vld1.8          {d20}, [r12], lr
        vldr            d21, [r0, #SLOT(\w % 5, \w / 5) + 8 * \lane]
        veor            d21, d21, d20
        vstr            d21, [r0, #SLOT(\w % 5, \w / 5) + 8 * \lane]
        veor            \c, \c, d20
        .endm

@ The 25 words of a lane's block, last first: entered at the block of the rate's last word.
        .macro  absorb_lane lane, c0, c1, c2, c3, c4
        absorb  \lane, 24, \c4
        absorb  \lane, 23, \c3
        absorb  \lane, 22, \c2
        absorb  \lane, 21, \c1
        absorb  \lane, 20, \c0
        absorb  \lane, 19, \c4
        absorb  \lane, 18, \c3
        absorb  \lane, 17, \c2
        absorb  \lane, 16, \c1
        absorb  \lane, 15, \c0
        absorb  \lane, 14, \c4
        absorb  \lane, 13, \c3
        absorb  \lane, 12, \c2
        absorb  \lane, 11, \c1
        absorb  \lane, 10, \c0
        absorb  \lane, 9, \c4
        absorb  \lane, 8, \c3
        absorb  \lane, 7, \c2
        absorb  \lane, 6, \c1
        absorb  \lane, 5, \c0
        absorb  \lane, 4, \c4
        absorb  \lane, 3, \c3
        absorb  \lane, 2, \c2
        absorb  \lane, 1, \c1
        absorb  \lane, 0, \c0
        .endm

@ The five words of a row of slots (at r2, which moves on) into the parities of their columns.
        .macro  parity_row c0, c1, c2, c3, c4
        vld1.64         {d20-d23}, [r2:128]!
        vld1.64         {d24-d27}, [r2:128]!
        vld1.64         {d28-d29}, [r2:128]!
        veor            \c0, \c0, q10
        veor            \c1, \c1, q11
        veor            \c2, \c2, q12
        veor            \c3, \c3, q13
        veor            \c4, \c4, q14
        .endm

@ Registers: r0 the first buffer (the states between steps), r1 the second, r2 the row loads, r3 the
@ round constants, r4 the rounds left by pairs, r5/r6 the blocks of lane 0/1, r7/r8 their rates,
@ r9/r10 where each lane's absorbing starts, r11 the steps left, r12 the absorbed word, lr -8.
        .p2align 2
        .global hw_keccak_lanes_neon_absorb
        .hidden hw_keccak_lanes_neon_absorb
        .type   hw_keccak_lanes_neon_absorb, %function
hw_keccak_lanes_neon_absorb:
        push            {r4-r11, lr}
        vpush           {d8-d15}
        ldm             r1, {r5, r6}
        ldm             r2, {r7, r8}
        mov             r11, r3
        add             r1, r0, #400
        adr             r3, .Lround_constants
        mvn             lr, #7
        @ A block of 20 bytes a word: lane j starts at its first block + (25 - rate / 8) * 20.
        add             r9, r7, r7, lsl #2
        adr             r12, .Labsorb_lane0
        add             r12, r12, #500
        sub             r9, r12, r9, lsr #1
        add             r10, r8, r8, lsl #2
        adr             r12, .Labsorb_lane1
        add             r12, r12, #500
        sub             r10, r12, r10, lsr #1
        @ The parities of the states as they come: slot 5Y + X holds word (X + 3Y, X).
        vmov.i64        q0, #0
        vmov.i64        q1, #0
        vmov.i64        q2, #0
        vmov.i64        q3, #0
        vmov.i64        q4, #0
        mov             r2, r0
        parity_row      q0, q1, q2, q3, q4
        parity_row      q3, q4, q0, q1, q2
        parity_row      q1, q2, q3, q4, q0
        parity_row      q4, q0, q1, q2, q3
        parity_row      q2, q3, q4, q0, q1
.Lstep:
        add             r12, r5, r7
        sub             r12, r12, #8
        bx              r9
.Labsorb_lane0:
        absorb_lane     0, d0, d2, d4, d6, d8
        add             r12, r6, r8
        sub             r12, r12, #8
        bx              r10
.Labsorb_lane1:
        absorb_lane     1, d1, d3, d5, d7, d9
        add             r5, r5, r7
        add             r6, r6, r8
        mov             r4, #12
.Lrounds:
        round           r0, r1
        round           r1, r0
        subs            r4, r4, #1
        bne             .Lrounds
        sub             r3, r3, #384
        subs            r11, r11, #1
        bne             .Lstep
        vpop            {d8-d15}
        pop             {r4-r11, pc}
        .size   hw_keccak_lanes_neon_absorb, .-hw_keccak_lanes_neon_absorb

        .section .note.GNU-stack, "", %progbits
