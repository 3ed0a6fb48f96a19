// The file driver's reader: blocks read on a thread of their own, one block ahead of the hashing.
#include "fingerprint/read_ahead.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace filereader {

namespace {

// The reader only calls read(); a small stack keeps many passes at once cheap in address space
// (32-bit builds), with room left for the sanitizers' own frames.
constexpr std::size_t ReaderStackSize = 256 * 1024;

constexpr std::size_t HugePageSize = 2 * 1024 * 1024;

std::atomic<ReadFunction> ReadInUse{nullptr};

} // namespace

int openForReading(const char* name) {
    // Opened without waiting, so a named pipe with no writer cannot hold the job for ever.
    UniqueFd file(open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd < 0) return -1;
    struct stat status;
    if (fstat(file.fd, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) return -1;
    fcntl(file.fd, F_SETFL, fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const int fd = file.fd;
    file.fd = -1;
    return fd;
}

void UniqueFd::reset(int descriptor) {
    if (fd >= 0) close(fd);
    fd = descriptor;
}

void setReadFunction(ReadFunction read) {
    ReadInUse = read;
}

int64_t readFully(int fd, uint8_t* buffer, std::size_t want) {
    const ReadFunction readSome = ReadInUse.load() != nullptr ? ReadInUse.load() : ::read;
    std::size_t got = 0;
    while (got < want) {
        ssize_t n = readSome(fd, buffer + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<int64_t>(got);
}

BlockMemory allocateBlocks(std::size_t count, std::size_t blockSize) {
    // On a huge-page boundary: the kernel's copy out of the page cache into fresh small pages
    // measured at less than half the speed.
    void* memory = nullptr;
    if (posix_memalign(&memory, HugePageSize, count * blockSize) != 0) return BlockMemory{};
    madvise(memory, count * blockSize, MADV_HUGEPAGE);
    // Zero-filled: whatever a plugin might look at past a short read is never old memory.
    std::memset(memory, 0, count * blockSize);
    return BlockMemory{static_cast<uint8_t*>(memory)};
}

bool startReaderThread(pthread_t& thread, void* (*run)(void*), void* argument, ThreadCreate create) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, ReaderStackSize);
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const bool started =
        (create != nullptr ? create : pthread_create)(&thread, &attributes, run, argument) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attributes);
    return started;
}

void FreeBlocks::operator()(uint8_t* memory) const {
    std::free(memory);
}

BlockReader::BlockReader(int fd, std::size_t blockSize, int64_t length)
    : fd_(fd), blockSize_(blockSize), length_(length) {
    memory_ = allocateBlocks(2, blockSize);
    if (!memory_) return;
    buffers_[0] = memory_.get();
    buffers_[1] = memory_.get() + blockSize;

    // Without a thread, next() reads each block itself, as the driver always did.
    threaded_ = startReaderThread(thread_, run, this);
}

BlockReader::~BlockReader() {
    if (!threaded_) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    emptied_.notify_one();
    // A read under way finishes first: at most one block.
    pthread_join(thread_, nullptr);
}

void* BlockReader::run(void* self) {
    static_cast<BlockReader*>(self)->readAll();
    return nullptr;
}

// The block size, or for the block that reaches the end of the length, the bytes still wanted.
std::size_t BlockReader::wantOf(int64_t index) const {
    const int64_t block = static_cast<int64_t>(blockSize_);
    if (length_ != -1 && length_ < (index + 1) * block)
        return static_cast<std::size_t>(length_ - index * block);
    return blockSize_;
}

void BlockReader::readAll() {
    for (int64_t index = 0;; ++index) {
        Slot& slot = slots_[index & 1];
        {
            std::unique_lock<std::mutex> hold(lock_);
            emptied_.wait(hold, [&] { return !slot.full || stop_; });
            if (stop_) return;
        }
        // The buffer is the reader's alone until it is marked full.
        const int64_t count = readFully(fd_, buffers_[index & 1], wantOf(index));
        {
            std::lock_guard<std::mutex> hold(lock_);
            slot.count = count;
            slot.full = true;
        }
        filled_.notify_one();
        // The first short read ends the input, as in the driver's own loop: nothing more is read.
        if (count != static_cast<int64_t>(blockSize_)) return;
    }
}

Block BlockReader::next() {
    if (!threaded_) {
        return Block{buffers_[0], readFully(fd_, buffers_[0], wantOf(taken_))};
    }
    const int current = static_cast<int>(taken_ & 1);
    std::unique_lock<std::mutex> hold(lock_);
    filled_.wait(hold, [&] { return slots_[current].full; });
    return Block{buffers_[current], slots_[current].count};
}

void BlockReader::release() {
    if (threaded_) {
        std::lock_guard<std::mutex> hold(lock_);
        slots_[taken_ & 1].full = false;
    }
    ++taken_;
    emptied_.notify_one();
}

} // namespace filereader
