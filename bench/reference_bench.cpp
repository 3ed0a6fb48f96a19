// hashwarden-reference-bench: hashes one file's bytes in memory with OpenSSL (EVP_Digest) or zlib (crc32).
// It is the reference side of scripts/bench-arm32.sh, which counts the instructions of N runs of it
// against those of hashwarden-bench --memory over the same file.
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Reference {
    const char* name;   // as hashwarden-bench names the algorithm
    const char* digest; // OpenSSL's name; none for CRC-32, which zlib computes
};

constexpr Reference References[] = {
    {"crc32", nullptr},       {"md5", "MD5"},           {"sha1", "SHA1"},         {"sha2-224", "SHA224"},
    {"sha2-256", "SHA256"},   {"sha2-384", "SHA384"},   {"sha2-512", "SHA512"},   {"sha3-224", "SHA3-224"},
    {"sha3-256", "SHA3-256"}, {"sha3-384", "SHA3-384"}, {"sha3-512", "SHA3-512"},
};

void printHex(const unsigned char* bytes, unsigned size) {
    for (unsigned i = 0; i < size; ++i)
        std::printf("%02x", bytes[i]);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hashwarden-reference-bench RUNS FILE ALGO\n"
                             "Prints ALGO DIGEST after hashing FILE's bytes RUNS times in memory.\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const Reference* reference = nullptr;
    for (const Reference& r : References)
        if (std::strcmp(r.name, argv[3]) == 0) reference = &r;
    if (runs < 1 || reference == nullptr) {
        std::fprintf(stderr, "hashwarden-reference-bench: bad runs or unknown algorithm\n");
        return 2;
    }

    std::FILE* in = std::fopen(argv[2], "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "hashwarden-reference-bench: cannot read '%s'\n", argv[2]);
        return 1;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(in);

    std::printf("%s ", reference->name);
    if (reference->digest == nullptr) {
        uLong crc = 0;
        for (int run = 0; run < runs; ++run)
            crc = crc32(0L, bytes.data(), static_cast<uInt>(bytes.size()));
        std::printf("%08lx\n", crc);
        return 0;
    }
    // Fetched once, as a program hashing many files would; each run is one whole digest.
    EVP_MD* md = EVP_MD_fetch(nullptr, reference->digest, nullptr);
    if (md == nullptr) return 1;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    for (int run = 0; run < runs; ++run)
        if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, md, nullptr) != 1) return 1;
    EVP_MD_free(md);
    printHex(digest, size);
    std::printf("\n");
    return 0;
}
