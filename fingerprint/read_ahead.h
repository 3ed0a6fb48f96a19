// Reads a file's blocks on a thread of its own, one block ahead of the hashing, so that the copy out
// of the page cache and the wait for the disk run beside the hash instead of between its blocks.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace filereader {

// Opens a file for fingerprinting, or gives -1. Only files with an end are taken: regular files and
// block devices (disk images); a pipe, a socket or a character device such as /dev/zero would never
// end or would change under the reader, and a folder has no content.
[[nodiscard]] int openForReading(const char* name);

// Closes the descriptor on every way out.
struct UniqueFd {
    int fd = -1;
    explicit UniqueFd(int descriptor) : fd(descriptor) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }
    void reset(int descriptor = -1);
};

// Reads until `want` bytes have arrived or the file ends. Returns the count, or -1 for a read
// error, which must not pass for the end of the file: its digest would be that of other content.
[[nodiscard]] int64_t readFully(int fd, uint8_t* buffer, std::size_t want);

// The read(2) that readFully uses. Tests put one in place that fails part-way through a file, as a
// failing disk does; nullptr puts read(2) back. Not for use while a file is being read.
using ReadFunction = ssize_t (*)(int fd, void* buffer, std::size_t count);
void setReadFunction(ReadFunction read);

// Starts a reader thread with `create` (pthread_create when none): a small stack, since it only calls
// read(), and every signal blocked, since signals are for the program's own threads. False when no
// thread could be made.
using ThreadCreate = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
[[nodiscard]] bool startReaderThread(pthread_t& thread, void* (*run)(void*), void* argument,
                                     ThreadCreate create = nullptr);

// `count` zero-filled blocks of `blockSize` bytes in one piece, backed by huge pages where the
// system allows it; empty when there is no memory.
struct FreeBlocks {
    void operator()(uint8_t* memory) const;
};
using BlockMemory = std::unique_ptr<uint8_t, FreeBlocks>;
[[nodiscard]] BlockMemory allocateBlocks(std::size_t count, std::size_t blockSize);

// One block as the driver hands it to the plugin: `count` bytes at `bytes`, or a count of -1 for
// a read error. The block is full when count is the block size; any other count ends the input.
struct Block {
    const uint8_t* bytes;
    int64_t count;
};

// Reads the open file from its current position in blocks of `blockSize` bytes, up to `length`
// bytes (-1: to the end), exactly as a loop of reads on the caller's thread would: the same read
// sizes, ending at the first short read. Two buffers, the one being hashed and the one being
// filled; while the caller holds a block the reader fills the other and then waits, asleep. If no
// thread can be made, every block is read on the caller's thread when it is asked for.
// The descriptor stays the caller's and must outlive the object; the destructor ends the thread.
class BlockReader {
  public:
    BlockReader(int fd, std::size_t blockSize, int64_t length);
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;
    ~BlockReader();

    // False when the buffers could not be allocated; nothing may be read then.
    [[nodiscard]] bool ready() const { return memory_ != nullptr; }

    // Waits for the next block. It stays valid, and its buffer untouched, until release().
    [[nodiscard]] Block next();
    // Gives the block from next() back, so its buffer can take the block after the one read ahead.
    void release();

  private:
    static void* run(void* self);
    void readAll();
    std::size_t wantOf(int64_t index) const;

    struct Slot {
        int64_t count = 0;
        bool full = false;
    };

    int fd_;
    std::size_t blockSize_;
    int64_t length_;
    BlockMemory memory_; // both buffers, one after the other
    uint8_t* buffers_[2] = {};
    int64_t taken_ = 0; // blocks handed to the caller and released

    bool threaded_ = false;
    pthread_t thread_{};
    std::mutex lock_;
    std::condition_variable filled_;
    std::condition_variable emptied_;
    Slot slots_[2];
    bool stop_ = false;
};

} // namespace filereader
