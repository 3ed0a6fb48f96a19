// The plugin registry, the streaming file driver and the digest text of the fingerprint engine.
#include "fingerprint/engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <memory>

#include "fingerprint/read_ahead.h"

static_assert(sizeof(off_t) == 8, "the engine needs 64-bit file offsets (_FILE_OFFSET_BITS=64)");

namespace {

FingerprintPlugin Registry[RegistryCapacity];
int RegistryCount = 0;

thread_local BlockGate Gate = nullptr;

// Closes the descriptor on every way out of the driver.
struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) close(fd);
    }
};

struct StateDestroyer {
    void (*destroy)(FingerprintState*);
    void operator()(FingerprintState* state) const { destroy(state); }
};

} // namespace

FingerprintPlugin* findPlugin(int32_t number) {
    if (number == FirstPlugin) return RegistryCount > 0 ? &Registry[0] : nullptr;
    for (int i = 0; i < RegistryCount; ++i) {
        if (Registry[i].number == number) return &Registry[i];
    }
    return nullptr;
}

FingerprintPlugin* registerPlugin(int32_t number) {
    // -1 is the lookup key for the first entry and could never be found by its number.
    if (number == FirstPlugin || RegistryCount >= RegistryCapacity || findPlugin(number) != nullptr)
        return nullptr;
    FingerprintPlugin* entry = &Registry[RegistryCount++];
    *entry = FingerprintPlugin{};
    entry->number = number;
    return entry;
}

void registerAllPlugins() {
    registerCrc32Plugin();
    registerMd5Plugin();
    registerSha1Plugin();
    registerSha2Plugin();
    registerSha3Plugin();
}

void setBlockGate(BlockGate gate) {
    Gate = gate;
}

std::string digestText(const FingerprintState* state) {
    static constexpr char Alphabet[] = "0123456789abcdef";
    if (state == nullptr) return {};
    int count = state->digestBits / 8;
    if (count < 0) count = 0;
    if (count > static_cast<int>(sizeof state->digest)) count = sizeof state->digest;
    std::string text;
    text.reserve(2 * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        text.push_back(Alphabet[state->digest[i] >> 4]);
        text.push_back(Alphabet[state->digest[i] & 0x0f]);
    }
    return text;
}

std::string fileFingerprint(const char* name, int plugin, int bits, int64_t offset, int64_t length) {
    const FingerprintPlugin* entry = findPlugin(plugin);
    // An entry whose operations were never filled in cannot be run; a length below -1 would
    // make the read size negative.
    if (entry == nullptr || entry->start == nullptr || entry->update == nullptr || entry->finish == nullptr ||
        entry->destroy == nullptr || name == nullptr || length < -1)
        return {};

    // Names are UTF-8 already, which is what the file system takes. Opened without waiting, so a
    // named pipe with no writer cannot hold the job for ever.
    FileCloser file{open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) return {};
    // Only files with an end are fingerprinted: regular files and block devices (disk images).
    // A pipe, a socket or a character device such as /dev/zero would never end or would change
    // under the reader, and a folder has no content.
    struct stat status;
    if (fstat(file.fd, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) return {};
    fcntl(file.fd, F_SETFL, fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<FingerprintState, StateDestroyer> state(entry->start(bits, 0),
                                                            StateDestroyer{entry->destroy});
    if (!state) return {};

    // A file that cannot be positioned (a pipe) would otherwise be hashed from its start.
    if (offset >= 1 && lseek(file.fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(-1))
        return {};

    // Declared after the file, so its thread has ended before the descriptor closes.
    filereader::BlockReader reader(file.fd, FingerprintReadSize, length);
    if (!reader.ready()) return {};
    for (;;) {
        const filereader::Block block = reader.next();
        if (block.count < 0) return {};
        entry->update(state.get(), block.bytes, static_cast<uint32_t>(block.count));
        if (block.count != static_cast<int64_t>(FingerprintReadSize)) break;
        // The block is kept until the gate lets the pass go on: the reader, one block ahead,
        // then sleeps instead of reading further while the job is held.
        if (Gate != nullptr && !Gate()) return {};
        reader.release();
    }
    entry->finish(state.get());
    return digestText(state.get());
}
