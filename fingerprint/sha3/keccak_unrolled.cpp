// Fully unrolled Keccak-f[1600] (FIPS 202) with the 25 lanes in local variables, absorbing runs of blocks.
#include "fingerprint/sha3/keccak_accelerated.h"
#include "fingerprint/sha3/keccak_constants.h"

#include <cstring>

namespace {

inline uint64_t rotl(uint64_t x, int n) {
    return (x << n) | (x >> (64 - n));
}

// Lanes are little-endian in the byte stream (FIPS 202, B.1); memcpy keeps any alignment legal.
inline uint64_t loadLane(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

} // namespace

void keccak1600AbsorbUnrolled(uint64_t lanes[25], const uint8_t* data, std::size_t blocks, std::size_t rate) {
    // Lane (x, y) is named by row b g k m s (y = 0..4) and column a e i o u (x = 0..4); the rounds
    // alternate between the A and E sets, so no round copies the state back.
    uint64_t Aba = lanes[0], Abe = lanes[1], Abi = lanes[2], Abo = lanes[3], Abu = lanes[4];
    uint64_t Aga = lanes[5], Age = lanes[6], Agi = lanes[7], Ago = lanes[8], Agu = lanes[9];
    uint64_t Aka = lanes[10], Ake = lanes[11], Aki = lanes[12], Ako = lanes[13], Aku = lanes[14];
    uint64_t Ama = lanes[15], Ame = lanes[16], Ami = lanes[17], Amo = lanes[18], Amu = lanes[19];
    uint64_t Asa = lanes[20], Ase = lanes[21], Asi = lanes[22], Aso = lanes[23], Asu = lanes[24];
    uint64_t Eba, Ebe, Ebi, Ebo, Ebu;
    uint64_t Ega, Ege, Egi, Ego, Egu;
    uint64_t Eka, Eke, Eki, Eko, Eku;
    uint64_t Ema, Eme, Emi, Emo, Emu;
    uint64_t Esa, Ese, Esi, Eso, Esu;
    uint64_t Ca, Ce, Ci, Co, Cu, Da, De, Di, Do, Du, Ba, Be, Bi, Bo, Bu;
    const std::size_t rateLanes = rate / 8;
    for (; blocks > 0; --blocks, data += rate) {
        // Every rate (72, 104, 136, 144 bytes) covers at least the first nine lanes.
        Aba ^= loadLane(data + 0);
        Abe ^= loadLane(data + 8);
        Abi ^= loadLane(data + 16);
        Abo ^= loadLane(data + 24);
        Abu ^= loadLane(data + 32);
        Aga ^= loadLane(data + 40);
        Age ^= loadLane(data + 48);
        Agi ^= loadLane(data + 56);
        Ago ^= loadLane(data + 64);
        if (rateLanes > 9) {
            Agu ^= loadLane(data + 72);
            Aka ^= loadLane(data + 80);
            Ake ^= loadLane(data + 88);
            Aki ^= loadLane(data + 96);
            if (rateLanes > 13) {
                Ako ^= loadLane(data + 104);
                Aku ^= loadLane(data + 112);
                Ama ^= loadLane(data + 120);
                Ame ^= loadLane(data + 128);
                if (rateLanes > 17) Ami ^= loadLane(data + 136);
            }
        }
        for (int round = 0; round < 24; round += 2) {
            Ca = Aba ^ Aga ^ Aka ^ Ama ^ Asa;
            Ce = Abe ^ Age ^ Ake ^ Ame ^ Ase;
            Ci = Abi ^ Agi ^ Aki ^ Ami ^ Asi;
            Co = Abo ^ Ago ^ Ako ^ Amo ^ Aso;
            Cu = Abu ^ Agu ^ Aku ^ Amu ^ Asu;
            Da = Cu ^ rotl(Ce, 1);
            De = Ca ^ rotl(Ci, 1);
            Di = Ce ^ rotl(Co, 1);
            Do = Ci ^ rotl(Cu, 1);
            Du = Co ^ rotl(Ca, 1);
            Ba = Aba ^ Da;
            Be = rotl(Age ^ De, 44);
            Bi = rotl(Aki ^ Di, 43);
            Bo = rotl(Amo ^ Do, 21);
            Bu = rotl(Asu ^ Du, 14);
            Eba = Ba ^ (~Be & Bi) ^ KeccakRoundConstants[round];
            Ebe = Be ^ (~Bi & Bo);
            Ebi = Bi ^ (~Bo & Bu);
            Ebo = Bo ^ (~Bu & Ba);
            Ebu = Bu ^ (~Ba & Be);
            Ba = rotl(Abo ^ Do, 28);
            Be = rotl(Agu ^ Du, 20);
            Bi = rotl(Aka ^ Da, 3);
            Bo = rotl(Ame ^ De, 45);
            Bu = rotl(Asi ^ Di, 61);
            Ega = Ba ^ (~Be & Bi);
            Ege = Be ^ (~Bi & Bo);
            Egi = Bi ^ (~Bo & Bu);
            Ego = Bo ^ (~Bu & Ba);
            Egu = Bu ^ (~Ba & Be);
            Ba = rotl(Abe ^ De, 1);
            Be = rotl(Agi ^ Di, 6);
            Bi = rotl(Ako ^ Do, 25);
            Bo = rotl(Amu ^ Du, 8);
            Bu = rotl(Asa ^ Da, 18);
            Eka = Ba ^ (~Be & Bi);
            Eke = Be ^ (~Bi & Bo);
            Eki = Bi ^ (~Bo & Bu);
            Eko = Bo ^ (~Bu & Ba);
            Eku = Bu ^ (~Ba & Be);
            Ba = rotl(Abu ^ Du, 27);
            Be = rotl(Aga ^ Da, 36);
            Bi = rotl(Ake ^ De, 10);
            Bo = rotl(Ami ^ Di, 15);
            Bu = rotl(Aso ^ Do, 56);
            Ema = Ba ^ (~Be & Bi);
            Eme = Be ^ (~Bi & Bo);
            Emi = Bi ^ (~Bo & Bu);
            Emo = Bo ^ (~Bu & Ba);
            Emu = Bu ^ (~Ba & Be);
            Ba = rotl(Abi ^ Di, 62);
            Be = rotl(Ago ^ Do, 55);
            Bi = rotl(Aku ^ Du, 39);
            Bo = rotl(Ama ^ Da, 41);
            Bu = rotl(Ase ^ De, 2);
            Esa = Ba ^ (~Be & Bi);
            Ese = Be ^ (~Bi & Bo);
            Esi = Bi ^ (~Bo & Bu);
            Eso = Bo ^ (~Bu & Ba);
            Esu = Bu ^ (~Ba & Be);
            Ca = Eba ^ Ega ^ Eka ^ Ema ^ Esa;
            Ce = Ebe ^ Ege ^ Eke ^ Eme ^ Ese;
            Ci = Ebi ^ Egi ^ Eki ^ Emi ^ Esi;
            Co = Ebo ^ Ego ^ Eko ^ Emo ^ Eso;
            Cu = Ebu ^ Egu ^ Eku ^ Emu ^ Esu;
            Da = Cu ^ rotl(Ce, 1);
            De = Ca ^ rotl(Ci, 1);
            Di = Ce ^ rotl(Co, 1);
            Do = Ci ^ rotl(Cu, 1);
            Du = Co ^ rotl(Ca, 1);
            Ba = Eba ^ Da;
            Be = rotl(Ege ^ De, 44);
            Bi = rotl(Eki ^ Di, 43);
            Bo = rotl(Emo ^ Do, 21);
            Bu = rotl(Esu ^ Du, 14);
            Aba = Ba ^ (~Be & Bi) ^ KeccakRoundConstants[round + 1];
            Abe = Be ^ (~Bi & Bo);
            Abi = Bi ^ (~Bo & Bu);
            Abo = Bo ^ (~Bu & Ba);
            Abu = Bu ^ (~Ba & Be);
            Ba = rotl(Ebo ^ Do, 28);
            Be = rotl(Egu ^ Du, 20);
            Bi = rotl(Eka ^ Da, 3);
            Bo = rotl(Eme ^ De, 45);
            Bu = rotl(Esi ^ Di, 61);
            Aga = Ba ^ (~Be & Bi);
            Age = Be ^ (~Bi & Bo);
            Agi = Bi ^ (~Bo & Bu);
            Ago = Bo ^ (~Bu & Ba);
            Agu = Bu ^ (~Ba & Be);
            Ba = rotl(Ebe ^ De, 1);
            Be = rotl(Egi ^ Di, 6);
            Bi = rotl(Eko ^ Do, 25);
            Bo = rotl(Emu ^ Du, 8);
            Bu = rotl(Esa ^ Da, 18);
            Aka = Ba ^ (~Be & Bi);
            Ake = Be ^ (~Bi & Bo);
            Aki = Bi ^ (~Bo & Bu);
            Ako = Bo ^ (~Bu & Ba);
            Aku = Bu ^ (~Ba & Be);
            Ba = rotl(Ebu ^ Du, 27);
            Be = rotl(Ega ^ Da, 36);
            Bi = rotl(Eke ^ De, 10);
            Bo = rotl(Emi ^ Di, 15);
            Bu = rotl(Eso ^ Do, 56);
            Ama = Ba ^ (~Be & Bi);
            Ame = Be ^ (~Bi & Bo);
            Ami = Bi ^ (~Bo & Bu);
            Amo = Bo ^ (~Bu & Ba);
            Amu = Bu ^ (~Ba & Be);
            Ba = rotl(Ebi ^ Di, 62);
            Be = rotl(Ego ^ Do, 55);
            Bi = rotl(Eku ^ Du, 39);
            Bo = rotl(Ema ^ Da, 41);
            Bu = rotl(Ese ^ De, 2);
            Asa = Ba ^ (~Be & Bi);
            Ase = Be ^ (~Bi & Bo);
            Asi = Bi ^ (~Bo & Bu);
            Aso = Bo ^ (~Bu & Ba);
            Asu = Bu ^ (~Ba & Be);
        }
    }
    lanes[0] = Aba;
    lanes[1] = Abe;
    lanes[2] = Abi;
    lanes[3] = Abo;
    lanes[4] = Abu;
    lanes[5] = Aga;
    lanes[6] = Age;
    lanes[7] = Agi;
    lanes[8] = Ago;
    lanes[9] = Agu;
    lanes[10] = Aka;
    lanes[11] = Ake;
    lanes[12] = Aki;
    lanes[13] = Ako;
    lanes[14] = Aku;
    lanes[15] = Ama;
    lanes[16] = Ame;
    lanes[17] = Ami;
    lanes[18] = Amo;
    lanes[19] = Amu;
    lanes[20] = Asa;
    lanes[21] = Ase;
    lanes[22] = Asi;
    lanes[23] = Aso;
    lanes[24] = Asu;
}
