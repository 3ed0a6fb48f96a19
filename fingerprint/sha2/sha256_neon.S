@ SHA-224/256 compression for 32-bit ARM cores with NEON but without the SHA instructions.
@
@ Assembly rather than C++: the speed comes from the order of the instructions, which a compiler
@ does not keep. The 64 rounds of a block run in the core registers; between their instructions,
@ one at a time, NEON computes the message schedule of the NEXT two blocks (FIPS 180-4, 6.2.2
@ step 1) into a stack buffer, so the two units work side by side: an in-order dual-issue core
@ (Cortex-A7/A53) pairs each NEON instruction with the integer one beside it, and an out-of-order
@ core finds both streams in its window. Two blocks at a time because sigma1 of a schedule word
@ needs the word two before it, so one block gives sigma1 only two lanes of work; the words of two
@ blocks fill all four.
@
@ A round has two chains. From e to the next e: Ch and Sigma1(e) into h, then d + h, with Sigma1
@ as two EORs with rotated operands and its last rotation folded into the ADD: 4 instructions
@ (7 cycles on a Cortex-A57/A72, which shifts operands in one pipe, in 2 cycles). From a to the next
@ a: Maj(a,b,c) = b ^ ((a ^ b) & (b ^ c)), whose a ^ b is the next round's b ^ c, added to T1 first,
@ then Sigma0(a) the same way as Sigma1: 3 instructions (6 cycles). Written round by round, the two
@ chains collide in the shifting pipe every round and a round takes 8 cycles. The round macro writes
@ the e-side of round t beside the a-side of round t-2 instead: the e-chain comes first in program
@ order and wins the pipe, the a-chain, a cycle shorter, fills the gaps. 16 integer instructions
@ and one load per round.
@
@ ARM (not Thumb) state: with high registers and rotated operands nearly every instruction here
@ would take a 32-bit Thumb encoding anyway, and the conditional moves need no IT blocks. The
@ choice of kernel at run time reaches this through the C++ wrapper in sha256_neon.cpp.

	.syntax	unified
	.arch	armv7-a
	.fpu	neon
	.arm
	.text

@ Core registers: r4-r11 hold a..h (their roles rotate by one each round), r2/r3 b ^ c and Maj
@ by turns.
rP	.req	r1		@ the schedule's place in the buffer it fills
rW	.req	lr		@ the buffer the rounds read
t0	.req	r12		@ Sigma0
t1	.req	r0		@ W+K, then Ch, then Sigma1

@ Two buffers, one for the pair of blocks in the rounds and one for the pair being scheduled.
@ Each is 16 times: 32 bytes of round constants for two steps of the schedule (copied in once per
@ call), then the 32 bytes of W+K those steps make. One pointer walks both, moved by an ADD after
@ each load or store: with write-back they would be two micro-ops each on the modelled core.
	.set	BUFFER_BYTES, 1024
	.set	STATE, 2048		@ uint32_t state[8]
	.set	DATA, 2052		@ the first block of the pair in the rounds
	.set	REMAINING, 2056		@ blocks from there to the end
	.set	SAVED_SP, 2060
	.set	FRAME, 2080		@ the above, and room to align the buffers to 16 bytes

.macro	pairTwice k0, k1
	.word	\k0, \k0, \k1, \k1
.endm

@ The round constants (FIPS 180-4, 4.2.2) as the schedule adds them: [K(2i), K(2i), K(2i+1), K(2i+1)].
	.balign	16
sha256KPairs:
	.irp	k0k1, "0x428a2f98, 0x71374491", "0xb5c0fbcf, 0xe9b5dba5", "0x3956c25b, 0x59f111f1", \
		"0x923f82a4, 0xab1c5ed5", "0xd807aa98, 0x12835b01", "0x243185be, 0x550c7dc3", \
		"0x72be5d74, 0x80deb1fe", "0x9bdc06a7, 0xc19bf174", "0xe49b69c1, 0xefbe4786", \
		"0x0fc19dc6, 0x240ca1cc", "0x2de92c6f, 0x4a7484aa", "0x5cb0a9dc, 0x76f988da", \
		"0x983e5152, 0xa831c66d", "0xb00327c8, 0xbf597fc7", "0xc6e00bf3, 0xd5a79147", \
		"0x06ca6351, 0x14292967", "0x27b70a85, 0x2e1b2138", "0x4d2c6dfc, 0x53380d13", \
		"0x650a7354, 0x766a0abb", "0x81c2c92e, 0x92722c85", "0xa2bfe8a1, 0xa81a664b", \
		"0xc24b8b70, 0xc76c51a3", "0xd192e819, 0xd6990624", "0xf40e3585, 0x106aa070", \
		"0x19a4c116, 0x1e376c08", "0x2748774c, 0x34b0bcb5", "0x391c0cb3, 0x4ed8aa4a", \
		"0x5b9cca4f, 0x682e6ff3", "0x748f82ee, 0x78a5636f", "0x84c87814, 0x8cc70208", \
		"0x90befffa, 0xa4506ceb", "0xbef9a3f7, 0xc67178f2"
	pairTwice	\k0k1
	.endr

@ ---------------------------------------------------------------------------------------------
@ The schedule of a pair of blocks A and B as one stream of NEON instructions, numbered from 0;
@ `scheduleNext` emits the next one. Pair p of the schedule means words 2p and 2p+1 of both blocks:
@ the q register W(p mod 8) holds [A(2p), B(2p), A(2p+1), B(2p+1)], W(0..7) = q0 q4 q1 q5 q2 q6 q3 q7
@ (where the loads and zips below leave the blocks). A step makes a pair and adds its constants;
@ two steps are stored together, so A's W+K word t is at 64*(t/4) + 32 + 16*((t/2)%2) + 8*(t%2)
@ of the buffer and B's 4 bytes after.
@
@ W(t) = sigma1(W(t-2)) + W(t-7) + sigma0(W(t-15)) + W(t-16) is computed as
@ W(t-16) + V(t-7) + sigma1(W(t-2)) with V(m) = W(m) + sigma0(W(m-8)): V is made on aligned pairs
@ and only the odd-aligned pair V(t-7), V(t-6) needs a VEXT.
@
@   0..3     the zips that give each q register a pair of A and the same pair of B
@   4..27    pairs 0..7: the bytes to big-endian words, + K, stored (6 instructions per two pairs)
@   28..35   V of pair 4 (the V pair before the first computed step)
@   36..515  pairs 8..31, 20 instructions each: sigma0 and sigma1 side by side, V, the new pair,
@            + K; even steps start by loading the constants of two steps, odd steps end by
@            storing the two.
@ q8/q9: V pairs (the previous and the new one, by turns), q10/q11: K then W+K of two steps,
@ q12/q13: sigma0, then the V pair for t-7; q14/q15: sigma1.
	.set	STREAM_LENGTH, 516

.macro	zipOp
	.if	nemit == 0
	vzip.32	q0, q4
	.elseif	nemit == 1
	vzip.32	q1, q5
	.elseif	nemit == 2
	vzip.32	q2, q6
	.else
	vzip.32	q3, q7
	.endif
.endm

@ Pairs 2i and 2i+1 of the block words (registers w0, w1), instruction dk.
.macro	wordPairsOp w0, w1
	.if	dk == 0
	vrev32.8	\w0, \w0
	.elseif	dk == 1
	vrev32.8	\w1, \w1
	.elseif	dk == 2
	vld1.32	{d20-d23}, [rP:128]
	add	rP, rP, #32
	.elseif	dk == 3
	vadd.i32	q10, q10, \w0
	.elseif	dk == 4
	vadd.i32	q11, q11, \w1
	.else
	vst1.32	{d20-d23}, [rP:128]
	add	rP, rP, #32
	.endif
.endm

.macro	wordsOp
	.set	dk, (nemit - 4) % 6
	.if	(nemit - 4) / 6 == 0
	wordPairsOp	q0, q4
	.elseif	(nemit - 4) / 6 == 1
	wordPairsOp	q1, q5
	.elseif	(nemit - 4) / 6 == 2
	wordPairsOp	q2, q6
	.else
	wordPairsOp	q3, q7
	.endif
.endm

@ sigma0 (FIPS 180-4, 4.1.2: ROTR 7 ^ ROTR 18 ^ SHR 3) of pair 0, + pair 4 = V pair 4 in q9.
.macro	firstVOp
	.if	nemit == 28
	vshr.u32	q12, q0, #7
	.elseif	nemit == 29
	vshr.u32	q13, q0, #18
	.elseif	nemit == 30
	vsli.32	q12, q0, #25
	.elseif	nemit == 31
	vsli.32	q13, q0, #14
	.elseif	nemit == 32
	veor	q12, q12, q13
	.elseif	nemit == 33
	vshr.u32	q13, q0, #3
	.elseif	nemit == 34
	veor	q12, q12, q13
	.else
	vadd.i32	q9, q2, q12
	.endif
.endm

@ Instruction sc (0..17) of the step making pair j: w = W(j) (holds pair j-8), y = W(j-1)
@ (sigma1's input, FIPS 180-4, 4.1.2: ROTR 17 ^ ROTR 19 ^ SHR 10), x = W(j-7) (sigma0's),
@ w3 = W(j-3); vn/vp: the new and the previous V pair.
.macro	stepCoreOp w, y, x, w3, vn, vp
	.if	sc == 0
	vshr.u32	q14, \y, #17
	.elseif	sc == 1
	vshr.u32	q12, \x, #7
	.elseif	sc == 2
	vsli.32	q14, \y, #15		@ ROTR 17
	.elseif	sc == 3
	vshr.u32	q15, \y, #19
	.elseif	sc == 4
	vsli.32	q12, \x, #25		@ ROTR 7
	.elseif	sc == 5
	vshr.u32	q13, \x, #18
	.elseif	sc == 6
	vsli.32	q15, \y, #13		@ ROTR 19
	.elseif	sc == 7
	vsli.32	q13, \x, #14		@ ROTR 18
	.elseif	sc == 8
	veor	q14, q14, q15
	.elseif	sc == 9
	vshr.u32	q15, \y, #10
	.elseif	sc == 10
	veor	q12, q12, q13
	.elseif	sc == 11
	vshr.u32	q13, \x, #3
	.elseif	sc == 12
	veor	q14, q14, q15		@ sigma1(W(t-2))
	.elseif	sc == 13
	veor	q12, q12, q13		@ sigma0(W(t-8))
	.elseif	sc == 14
	vadd.i32	\vn, \w3, q12		@ V pair j-3
	.elseif	sc == 15
	vext.32	q13, \vp, \vn, #2	@ V(t-7), V(t-6)
	.elseif	sc == 16
	vadd.i32	\w, \w, q13
	.else
	vadd.i32	\w, \w, q14		@ the new pair
	.endif
.endm

@ Instruction sk (0..19) of step j: the core, + K into q10 (even j) or q11 (odd j); even steps
@ first load the constants of j and j+1, odd steps end by storing both steps' W+K.
.macro	stepOp w, y, x, w3, vn, vp, odd
	.if	\odd
	.set	sc, sk
	.else
	.set	sc, sk - 1
	.endif
	.if	\odd == 0 && sk == 0
	vld1.32	{d20-d23}, [rP:128]
	add	rP, rP, #32
	.elseif	sc < 18
	stepCoreOp	\w, \y, \x, \w3, \vn, \vp
	.elseif	sc == 18
	.if	\odd
	vadd.i32	q11, q11, \w
	.else
	vadd.i32	q10, q10, \w
	.endif
	.else
	vst1.32	{d20-d23}, [rP:128]
	add	rP, rP, #32
	.endif
.endm

.macro	stepsOp
	.set	sk, (nemit - 36) % 20
	.set	sm, ((nemit - 36) / 20 + 8) % 8
	.if	sm == 0
	stepOp	q0, q7, q4, q6, q8, q9, 0
	.elseif	sm == 1
	stepOp	q4, q0, q1, q3, q9, q8, 1
	.elseif	sm == 2
	stepOp	q1, q4, q5, q7, q8, q9, 0
	.elseif	sm == 3
	stepOp	q5, q1, q2, q0, q9, q8, 1
	.elseif	sm == 4
	stepOp	q2, q5, q6, q4, q8, q9, 0
	.elseif	sm == 5
	stepOp	q6, q2, q3, q1, q9, q8, 1
	.elseif	sm == 6
	stepOp	q3, q6, q7, q5, q8, q9, 0
	.else
	stepOp	q7, q3, q0, q2, q9, q8, 1
	.endif
.endm

@ Emits instruction number nemit of the stream and counts it, if the stream has one left and the
@ rounds so far have earned it (PACE sixteenths of an instruction per round).
	.set	PACE, 65
.macro	scheduleNext
	.if	(nemit * 16 < pace) && (nemit < STREAM_LENGTH)
	.if	nemit < 4
	zipOp
	.elseif	nemit < 28
	wordsOp
	.elseif	nemit < 36
	firstVOp
	.else
	stepsOp
	.endif
	.set	nemit, nemit + 1
	.endif
.endm

.macro	scheduleStart
	.set	nemit, 0
	.set	pace, 0
.endm

@ What the rounds have not taken (nothing when PACE covers the stream), or the whole stream.
.macro	scheduleRest
	.set	pace, STREAM_LENGTH * 16
	.rept	STREAM_LENGTH
	scheduleNext
	.endr
.endm

@ ---------------------------------------------------------------------------------------------
@ The e-side of round t (FIPS 180-4, 6.2.2 step 3) beside the a-side of round t-2, one instruction
@ of each by turns, for a core that issues two neighbours together; five places for the schedule's
@ instructions. Register names are round t's: round t-2's a and b are c and d here, its h (T1 by
@ now) is b, x holds its b ^ c, and its a ^ b goes to y, the b ^ c of round t-1.
@   e-side: h += W+K + Ch(e, f, g) + Sigma1(e), then d += h: h is T1, d the new e. t1 arrives
@           holding W+K (loaded in the round before) and leaves holding the next round's.
@   a-side: Maj of round t-2 (before d is overwritten), then its T1 + Maj + Sigma0: its new a.
@ Sigma1(e) = ROTR 6 (e ^ ROTR 5 e ^ ROTR 19 e), Sigma0(a) = ROTR 2 (a ^ ROTR 11 a ^ ROTR 20 a).
@ In each pair of shifting instructions Sigma1's comes first, so it wins the pipe on a core that
@ issues the oldest ready instruction first.
@ next: where the next round's W+K is (-1: none); aSide = 0 in rounds 0 and 1, which have no
@ round t-2.
.macro	round a, b, c, d, e, f, g, h, x, y, next, aSide=1
	.set	pace, pace + PACE
	.if	\aSide
	eor	\y, \c, \d
	.endif
	add	\h, \h, t1
	scheduleNext
	eor	t1, \f, \g
	.if	\aSide
	and	\x, \x, \y
	.endif
	and	t1, t1, \e
	.if	\aSide
	eor	\x, \x, \d
	.endif
	scheduleNext
	eor	t1, t1, \g			@ Ch(e, f, g)
	add	\h, \h, t1
	scheduleNext
	eor	t1, \e, \e, ror #5
	.if	\aSide
	eor	t0, \c, \c, ror #11
	.endif
	eor	t1, t1, \e, ror #19
	.if	\aSide
	eor	t0, t0, \c, ror #20
	.endif
	scheduleNext
	add	\h, \h, t1, ror #6		@ T1
	.if	\next >= 0
	ldr	t1, [rW, #\next]		@ W+K of the next round
	.endif
	.if	\aSide
	add	\b, \b, \x
	.endif
	add	\d, \d, \h			@ the new e
	.if	\aSide
	add	\b, \b, t0, ror #2
	.endif
	scheduleNext
.endm

@ The end of an a-side on its own (rounds 62 and 63): h (its T1) + its Maj + Sigma0(a), the new a.
.macro	sigma0Side h, a, maj
	eor	t0, \a, \a, ror #11
	eor	t0, t0, \a, ror #20
	scheduleNext
	add	\h, \h, \maj
	add	\h, \h, t0, ror #2
.endm

@ Rounds t..t+7 of block A (b = 0) or B (b = 1) of this pair; eight rounds bring the roles back.
.macro	eightRounds t, b, first=0, last=0
	round	r4, r5, r6, r7, r8, r9, r10, r11, r2, r3, (64 * ((\t) / 4) + 40 + 4 * (\b)), !\first
	round	r11, r4, r5, r6, r7, r8, r9, r10, r3, r2, (64 * ((\t) / 4) + 48 + 4 * (\b)), !\first
	round	r10, r11, r4, r5, r6, r7, r8, r9, r2, r3, (64 * ((\t) / 4) + 56 + 4 * (\b))
	round	r9, r10, r11, r4, r5, r6, r7, r8, r3, r2, (64 * ((\t) / 4) + 96 + 4 * (\b))
	round	r8, r9, r10, r11, r4, r5, r6, r7, r2, r3, (64 * ((\t) / 4) + 104 + 4 * (\b))
	round	r7, r8, r9, r10, r11, r4, r5, r6, r3, r2, (64 * ((\t) / 4) + 112 + 4 * (\b))
	round	r6, r7, r8, r9, r10, r11, r4, r5, r2, r3, (64 * ((\t) / 4) + 120 + 4 * (\b))
	round	r5, r6, r7, r8, r9, r10, r11, r4, r3, r2, ((64 * ((\t) / 4) + 160 + 4 * (\b)) * !\last - \last)
.endm

.macro	block b
	eor	r2, r5, r6			@ b ^ c for round 0
	ldr	t1, [rW, #(32 + 4 * (\b))]	@ W+K of round 0
	eightRounds	0, \b, 1
	eightRounds	8, \b
	eightRounds	16, \b
	eightRounds	24, \b
	eightRounds	32, \b
	eightRounds	40, \b
	eightRounds	48, \b
	eightRounds	56, \b, 0, 1
	@ The a-sides of rounds 62 and 63, in the names of rounds 64 and 65.
	eor	r3, r6, r7
	and	r2, r2, r3
	eor	r2, r2, r7
	sigma0Side	r5, r6, r2
	eor	r2, r5, r6
	and	r3, r3, r2
	eor	r3, r3, r6
	sigma0Side	r4, r5, r3
	@ FIPS 180-4, 6.2.2 step 4.
	ldr	t0, [sp, #STATE]
	ldr	r2, [t0, #0]
	ldr	r3, [t0, #4]
	add	r4, r4, r2
	add	r5, r5, r3
	ldr	r2, [t0, #8]
	ldr	r3, [t0, #12]
	add	r6, r6, r2
	add	r7, r7, r3
	ldr	r2, [t0, #16]
	ldr	r3, [t0, #20]
	add	r8, r8, r2
	add	r9, r9, r3
	ldr	r2, [t0, #24]
	ldr	r3, [t0, #28]
	add	r10, r10, r2
	add	r11, r11, r3
	stm	t0, {r4-r11}
.endm

@ The 128 bytes of blocks A (at rA) and B (at rB, which may be rA) into q0-q7, as the stream wants.
.macro	loadPair rA, rB
	vld1.8	{d0-d3}, [\rA]!
	vld1.8	{d4-d7}, [\rA]
	vld1.8	{d8-d11}, [\rB]!
	vld1.8	{d12-d15}, [\rB]
.endm

@ void sha256BlocksNeonArm(uint32_t state[8], const uint8_t* data, size_t blocks)
	.global	sha256BlocksNeonArm
	.hidden	sha256BlocksNeonArm
	.type	sha256BlocksNeonArm, %function
	.balign	16
sha256BlocksNeonArm:
	cmp	r2, #0
	bxeq	lr
	push	{r4-r12, lr}
	vpush	{d8-d15}
	mov	r12, sp
	sub	sp, sp, #FRAME
	bic	sp, sp, #15
	str	r12, [sp, #SAVED_SP]
	str	r0, [sp, #STATE]
	str	r1, [sp, #DATA]
	str	r2, [sp, #REMAINING]

	@ The constants into both buffers, 32 bytes in every 64.
	adr	r12, sha256KPairs
	mov	r0, sp
	add	r3, sp, #BUFFER_BYTES
	mov	r4, #64
	mov	r5, #16
1:	vld1.32	{d16-d19}, [r12:128]!
	vst1.32	{d16-d19}, [r0:128], r4
	vst1.32	{d16-d19}, [r3:128], r4
	subs	r5, r5, #1
	bne	1b

	@ The first pair's schedule on its own, into buffer 0; a single block stands in for its own
	@ partner.
	cmp	r2, #2
	add	r3, r1, #64
	movlo	r3, r1
	loadPair	r1, r3
	mov	rP, sp
	add	rW, sp, #BUFFER_BYTES
	scheduleStart
	scheduleRest
	ldr	t0, [sp, #STATE]
	ldm	t0, {r4-r11}

.Lpair:
	@ The rounds read the buffer just filled; the next pair's schedule goes to the other one.
	sub	r12, rP, #BUFFER_BYTES
	mov	rP, rW
	mov	rW, r12
	@ The next pair's blocks; where there is no next pair (or no next B), the last blocks stand in,
	@ and what is computed from them is never read.
	ldr	r12, [sp, #DATA]
	ldr	r3, [sp, #REMAINING]
	add	r2, r12, #128
	cmp	r3, #3
	movlo	r2, r12
	add	r12, r2, #64
	cmp	r3, #4
	movlo	r12, r2
	loadPair	r2, r12

	scheduleStart
	block	0
	ldr	r3, [sp, #REMAINING]
	cmp	r3, #1
	beq	.Ldone
	block	1
	scheduleRest
	ldr	r3, [sp, #REMAINING]
	ldr	r12, [sp, #DATA]
	subs	r3, r3, #2
	add	r12, r12, #128
	str	r3, [sp, #REMAINING]
	str	r12, [sp, #DATA]
	bne	.Lpair

.Ldone:
	ldr	sp, [sp, #SAVED_SP]
	vpop	{d8-d15}
	pop	{r4-r12, pc}
	.size	sha256BlocksNeonArm, . - sha256BlocksNeonArm

	.section	.note.GNU-stack, "", %progbits
