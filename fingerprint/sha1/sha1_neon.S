@ SHA-1 compression for 32-bit ARM cores with NEON but without the SHA instructions (FIPS 180-4, 6.1.2).
@
@ Written in assembly because the order of the instructions is the point: NEON computes the message
@ schedule four words at a time while the core registers run the rounds, and each piece of that work
@ sits beside the scalar round that leaves its units free, so an in-order dual-issue core (Cortex-A7,
@ A53) can pair them and an out-of-order one (A72) finds the schedule ready before the rounds need it.
@ A compiler is free to undo such an order; here it is the text.
@
@ ARM state (not Thumb), so every data-processing instruction can take a rotated operand and the round
@ counter's test can make a subtraction conditional.
@
@ The shape of one block (round t, group q = t / 4 of the schedule, j = t % 4):
@ - W+K of group q is made in NEON (q4) at round 4q - 4 and moved to the core registers in two halves,
@   at rounds 4q - 2 (r8, r9) and 4q (r10, r11); round t reads W+K from r8 + (t % 4).
@ - Words 16 to 31 (groups 4 to 7) follow W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]), each group
@   over six rounds, as its chain of dependent NEON instructions is long: group 4 in rounds 74 to 79 of
@   the block before (before the first block, in the prologue), groups 5 to 7 in rounds 0 to 17.
@ - From word 32 on, the equivalent W[t] = rotl2(W[t-6] ^ W[t-16] ^ W[t-28] ^ W[t-32]) needs nothing
@   of its own group; group g is made over the four rounds of group g - 2.
@ - The next block is loaded and byte-swapped in rounds 70 to 74, and its first W+K made in round 76;
@   for the last block the same block is read again, so nothing past the input is touched.
@ - b becomes the next round's c rotated by 30. Where a round rotates b explicitly (one instruction),
@   the value is true in its later uses as c, d and e; where it does not, each of those uses folds the
@   rotation into its operand (ror #2). Folding saves the instruction but makes the user one that an
@   A57/A72 issues only on its single multi-cycle pipe, the pipe every round's rotl5(a) also needs,
@   and in Ch a folded d lengthens the round's chain. Rounds up to 18 (Ch, which reads d twice) rotate
@   b in three rounds of four, later rounds in one of four: the mix that measured best between the
@   number of instructions and that pipe.
@ - Majority is (c & d) + (b & (c ^ d)): two adds into e that do not wait on each other. In every round
@   only the term with b waits for the previous round; the chain per round is that term, its add into e
@   and the add of rotl5(a).

	.syntax unified
	.arm
	.fpu neon
	.text

@ Core registers: r0 state, r1 input, r2 blocks left, r3-r7 the working variables (their roles rotate
@ from round to round), r8-r11 W+K of the current group, r12 and lr scratch.
@ NEON: q0-q3 the round constants, q4 W+K in the making, q5 zero, q6 and q7 scratch, q8-q15 the last
@ eight groups of the schedule (group g in q8 + g % 8).

@ 1 if round s rotates its b at the end (see above); s may be negative for the incoming state.
.macro explicit_rotation name, s
	.set \name, 0
	.if (\s) < 0 || ((\s) % 4) == 0 || ((\s) <= 18 && ((\s) % 4) != 3)
	.set \name, 1
	.endif
.endm

@ Emits "op dst, x, y" for x and y that may each be rotated left by 2 against their true value; the
@ result is true unless both are rotated (then it is rotated too, as rotation commutes with logic).
@ Sets result_rotated accordingly.
.macro logic op, dst, x, x_true, y, y_true
	.if \x_true == \y_true
	\op	\dst, \x, \y
	.set result_rotated, 1 - \x_true
	.elseif \x_true
	\op	\dst, \x, \y, ror #2
	.set result_rotated, 0
	.else
	\op	\dst, \y, \x, ror #2
	.set result_rotated, 0
	.endif
.endm

@ e = e + W[t]+K[t], with e in whichever form it has; W[t]+K[t] is in r8 + t % 4.
.macro add_wk e, e_true, t
	.if ((\t) % 4) == 0
	add_wk_from \e, \e_true, r8
	.elseif ((\t) % 4) == 1
	add_wk_from \e, \e_true, r9
	.elseif ((\t) % 4) == 2
	add_wk_from \e, \e_true, r10
	.else
	add_wk_from \e, \e_true, r11
	.endif
.endm
.macro add_wk_from e, e_true, w
	.if \e_true
	add	\e, \e, \w
	.else
	add	\e, \w, \e, ror #2
	.endif
.endm

@ One round: the new a is written over e. f is ch, parity or majority. The independent work comes
@ first, then the one instruction that reads b (the previous round's a), its add into e, and last the
@ add of rotl5(a); this round's NEON work sits between them, for an in-order core to pair.
.macro round f, a, b, c, d, e, t
	explicit_rotation rotate_b, (\t)
	explicit_rotation c_true, (\t)-1
	explicit_rotation d_true, (\t)-2
	explicit_rotation e_true, (\t)-3
	schedule_wk	\t
	.ifc \f, ch
	logic	eor, r12, \c, c_true, \d, d_true
	add_wk	\e, e_true, \t
	schedule_piece	\t, 0
	.if result_rotated
	and	r12, \b, r12, ror #2
	.else
	and	r12, r12, \b
	.endif
	.if d_true
	eor	r12, r12, \d
	.else
	eor	r12, r12, \d, ror #2
	.endif
	schedule_piece	\t, 1
	add	\e, \e, r12
	.endif
	.ifc \f, parity
	logic	eor, r12, \c, c_true, \d, d_true
	add_wk	\e, e_true, \t
	schedule_piece	\t, 0
	.if result_rotated
	eor	r12, \b, r12, ror #2
	.else
	eor	r12, r12, \b
	.endif
	schedule_piece	\t, 1
	add	\e, \e, r12
	.endif
	.ifc \f, majority
	logic	and, r12, \c, c_true, \d, d_true
	logic	eor, lr, \c, c_true, \d, d_true
	add_wk	\e, e_true, \t
	schedule_piece	\t, 0
	.if result_rotated
	add	\e, \e, r12, ror #2
	and	lr, \b, lr, ror #2
	.else
	add	\e, \e, r12
	and	lr, lr, \b
	.endif
	schedule_piece	\t, 1
	add	\e, \e, lr
	.endif
	add	\e, \e, \a, ror #27
	.if rotate_b
	ror	\b, \b, #2
	.endif
.endm

@ Five rounds bring the roles of the registers back to where they started.
.macro rounds5 f, t
	round	\f, r3, r4, r5, r6, r7, \t
	round	\f, r7, r3, r4, r5, r6, \t+1
	round	\f, r6, r7, r3, r4, r5, \t+2
	round	\f, r5, r6, r7, r3, r4, \t+3
	round	\f, r4, r5, r6, r7, r3, \t+4
.endm

@ W+K: at j = 0 the upper half of group q goes to r10, r11 and group q + 1 is made (the first group of
@ the next block after group 19); at j = 2 its lower half goes to r8, r9.
.macro schedule_wk t
	.if ((\t) % 4) == 0
	vmov	r10, r11, d9
	.altmacro
	wk_add %(8 + (((\t) / 4 + 1) % 20) % 8), %((((\t) / 4 + 1) % 20) / 5)
	.noaltmacro
	.elseif ((\t) % 4) == 2
	vmov	r8, r9, d8
	.endif
.endm
.macro wk_add h, k
	vadd.i32	q4, q\h, q\k
.endm

@ The schedule's work for round t, split in two parts.
.macro schedule_piece t, part
	.if (\t) >= 74
	rotl1_group 4, (\t)-74, \part
	.endif
	.if (\t) < 18
	rotl1_group (\t)/6+5, (\t)%6, \part
	.endif
	.if (\t) >= 24 && (\t) < 72
	rotl2_group (\t)/4+2, (\t)%4, \part
	.endif
	.if (\t) >= 64
	next_block \t, \part
	.endif
.endm

@ Group g (4 to 7) of words 16 to 31, step k (0 to 5) of six. The last word of the group needs the first:
@ with T the exclusive-or of the four terms (zero in place of the missing W[t]), W = rotl1(T) gets
@ rotl2(T[0]) added to its last lane, since rotl1(T[3] ^ W[t]) = rotl1(T[3]) ^ rotl1(rotl1(T[0])).
.macro rotl1_group g, k, part
	.altmacro
	rotl1_step %(\k), \part, %(8 + (\g) % 8), %(8 + ((\g) - 4) % 8), %(8 + ((\g) - 3) % 8), %(8 + ((\g) - 2) % 8), %(8 + ((\g) - 1) % 8)
	.noaltmacro
.endm
.macro rotl1_step k, part, hg, h16, h12, h8, h4
	.if \k == 0
	.if \part == 0
	vext.8	q6, q\h16, q\h12, #8		@ W[t-14 .. t-11]
	.else
	veor	q6, q6, q\h16
	.endif
	.elseif \k == 1
	.if \part == 0
	veor	q6, q6, q\h8
	.else
	vext.8	q7, q\h4, q5, #4		@ W[t-3 .. t-1], 0
	.endif
	.elseif \k == 2
	.if \part == 0
	veor	q6, q6, q7
	.endif
	.elseif \k == 3
	.if \part == 0
	vshl.i32	q\hg, q6, #1
	.else
	vext.8	q7, q5, q6, #4		@ 0, 0, 0, T[0]
	.endif
	.elseif \k == 4
	.if \part == 0
	vsri.32	q\hg, q6, #31
	.else
	vshl.i32	q6, q7, #2
	.endif
	.else
	.if \part == 0
	vsri.32	q6, q7, #30
	.else
	veor	q\hg, q\hg, q6
	.endif
	.endif
.endm

@ Group g (8 to 19), step j of four, in the rounds of group g - 2. W[t-6 .. t-3] is the upper half of
@ group g - 2 and the lower half of group g - 1, joined by two exclusive-ors on D registers.
.macro rotl2_group g, j, part
	.altmacro
	rotl2_step %(\j), \part, %(8 + (\g) % 8), %(8 + ((\g) - 7) % 8), %(8 + ((\g) - 4) % 8), %(2 * (8 + ((\g) - 2) % 8) + 1), %(2 * (8 + ((\g) - 1) % 8))
	.noaltmacro
.endm
.macro rotl2_step j, part, hg, h28, h16, d6, d4
	.if \j == 0
	.if \part == 0
	veor	q6, q\hg, q\h28			@ W[t-32 ..] ^ W[t-28 ..]
	.else
	veor	q6, q6, q\h16
	.endif
	.elseif \j == 1
	.if \part == 0
	veor	d12, d12, d\d6
	.else
	veor	d13, d13, d\d4
	.endif
	.elseif \j == 2
	.if \part == 0
	vshl.i32	q\hg, q6, #2
	.endif
	.else
	.if \part == 0
	vsri.32	q\hg, q6, #30
	.endif
	.endif
.endm

@ The next block: the round counter in round 64, loads into groups 0 to 3 once groups 16 to 19 are used
@ up (rounds 70 and 72), byte swaps in rounds 72 to 74.
.macro next_block t, part
	.if \part == 1
	.if (\t) == 64
	subs	r2, r2, #1
	subeq	r1, r1, #64			@ last block: read it again instead of past the end
	.elseif (\t) == 70
	vld1.8	{d16-d19}, [r1]!
	.elseif (\t) == 72
	vld1.8	{d20-d23}, [r1]!
	vrev32.8	q8, q8
	.elseif (\t) == 73
	vrev32.8	q9, q9
	.elseif (\t) == 74
	vrev32.8	q10, q10
	vrev32.8	q11, q11
	.endif
	.endif
.endm

	.align	4
.Lround_constants:
	.word	0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6

@ void hwSha1BlocksNeon(uint32_t state[5], const uint8_t* data, size_t blocks), blocks > 0.
	.global	hwSha1BlocksNeon
	.hidden	hwSha1BlocksNeon
	.type	hwSha1BlocksNeon, %function
hwSha1BlocksNeon:
	push	{r4-r11, lr}
	vpush	{d8-d15}
	adr	r12, .Lround_constants
	vld1.32	{d0[], d1[]}, [r12:32]!
	vld1.32	{d2[], d3[]}, [r12:32]!
	vld1.32	{d4[], d5[]}, [r12:32]!
	vld1.32	{d6[], d7[]}, [r12:32]
	vmov.i32	q5, #0
	ldm	r0, {r3-r7}
	vld1.8	{d16-d19}, [r1]!
	vld1.8	{d20-d23}, [r1]!
	vrev32.8	q8, q8
	vrev32.8	q9, q9
	vrev32.8	q10, q10
	vrev32.8	q11, q11
	.irp k, 0, 1, 2, 3, 4, 5
	rotl1_group 4, \k, 0
	rotl1_group 4, \k, 1
	.endr
	vadd.i32	q4, q8, q0
	vmov	r8, r9, d8
.Lblock:
	rounds5	ch, 0
	rounds5	ch, 5
	rounds5	ch, 10
	rounds5	ch, 15
	rounds5	parity, 20
	rounds5	parity, 25
	rounds5	parity, 30
	rounds5	parity, 35
	rounds5	majority, 40
	rounds5	majority, 45
	rounds5	majority, 50
	rounds5	majority, 55
	rounds5	parity, 60
	rounds5	parity, 65
	rounds5	parity, 70
	rounds5	parity, 75
	explicit_rotation r77, 77
	explicit_rotation r78, 78
	explicit_rotation r79, 79
	.if r77 || r78 || r79
	.error "the additions below expect c, d and e rotated"
	.endif
	@ c, d and e come out of the rounds unrotated.
	ldrd	r10, r11, [r0]
	ldr	r12, [r0, #16]
	add	r3, r3, r10
	add	r4, r4, r11
	ldrd	r10, r11, [r0, #8]
	add	r7, r12, r7, ror #2
	add	r5, r10, r5, ror #2
	add	r6, r11, r6, ror #2
	stm	r0, {r3-r7}
	bne	.Lblock
	vpop	{d8-d15}
	pop	{r4-r11, pc}
	.size	hwSha1BlocksNeon, . - hwSha1BlocksNeon

	.section .note.GNU-stack, "", %progbits
