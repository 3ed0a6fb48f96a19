// The ring reader: one read of the file for every pass of the job, at most JobRingBlocks ahead of the
// slowest pass still wanted.
#include "calc/ring_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <limits>
#include <string>

#include "files/file_failure.h"

namespace {

constexpr int64_t NoBlock = std::numeric_limits<int64_t>::max();

// The first block that a pass still wanted has not been fed; NoBlock when no pass is wanted.
int64_t oldestWantedBlock(const PassSchedule& schedule) {
    int64_t oldest = NoBlock;
    for (const PassRecord& pass : schedule.passes)
        if (passLive(pass)) oldest = std::min(oldest, pass.nextBlock);
    return oldest;
}

uint8_t* bufferOf(const PassSchedule& schedule, int64_t block) {
    return schedule.ring.get() + static_cast<std::size_t>(block % JobRingBlocks) * FingerprintReadSize;
}

// Whether the file changed between its opening and now, `bytesRead` having been read from it in all.
bool changedSinceOpened(const PassSchedule& schedule, int64_t bytesRead) {
    const FileVersion named = fileVersionAt(schedule.path);
    const bool stillNamed =
        named.known && named.device == schedule.opened.device && named.inode == schedule.opened.inode;
    return changedWhileRead(schedule.opened, fileVersionOf(schedule.file.fd), bytesRead, stillNamed);
}

// Why a file failed to open for the passes, from the errno of the attempt: a file that opened but has
// no end was refused after the open succeeded.
int openFailure(const std::string& path, int error) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode))
        return NotAFileWithAnEnd;
    return error != 0 ? error : EIO;
}

} // namespace

void openRing(PassSchedule& schedule) {
    errno = 0;
    schedule.file.reset(filereader::openForReading(schedule.path.c_str()));
    if (schedule.file.fd < 0) {
        schedule.failure = openFailure(schedule.path, errno);
        return;
    }
    schedule.opened = fileVersionOf(schedule.file.fd);
    schedule.ring = filereader::allocateBlocks(JobRingBlocks, FingerprintReadSize);
}

bool mayRead(const PassSchedule& schedule) {
    if (schedule.inputEnded || schedule.ended || schedule.reading) return false;
    const int64_t oldest = oldestWantedBlock(schedule);
    return oldest != NoBlock && schedule.blocksRead < oldest + JobRingBlocks;
}

const uint8_t* ringBlock(const PassSchedule& schedule, int64_t block) {
    return bufferOf(schedule, block);
}

void readNextBlock(PassSchedule& schedule, std::unique_lock<std::mutex>& lock) {
    const int64_t block = schedule.blocksRead;
    schedule.reading = true;
    lock.unlock();
    int64_t count = filereader::readFully(schedule.file.fd, bufferOf(schedule, block), FingerprintReadSize);
    int readError = count < 0 ? errno : 0;
    // The last block: no pass finishes before it is fed this one, so a file that changed under the
    // read fails every pass here, as a read error would.
    if (count >= 0 && count != JobBlockBytes && changedSinceOpened(schedule, block * JobBlockBytes + count)) {
        count = -1;
        readError = FileChangedWhileRead;
    }
    lock.lock();
    if (readError != 0) schedule.failure = readError;
    schedule.reading = false;
    schedule.blockCounts[block % JobRingBlocks] = count;
    ++schedule.blocksRead;
    // The first short read ends the input of every pass, as it ends a single pass.
    if (count != JobBlockBytes) schedule.inputEnded = true;
    schedule.changed.notify_all();
}

void* runRingReader(void* argument) {
    PassSchedule& schedule = *static_cast<PassSchedule*>(argument);
    std::unique_lock lock(schedule.mutex);
    for (;;) {
        schedule.changed.wait(lock, [&] {
            return mayRead(schedule) || schedule.inputEnded || schedule.ended || !anyPassLive(schedule);
        });
        if (!mayRead(schedule)) return nullptr;
        readNextBlock(schedule, lock);
    }
}
