// The state one job's passes share over one read of the file: each pass's record and the ring the
// reader fills. The scheduler's pieces (calc/pass_grouping.h, calc/ring_reader.h, calc/job_scheduler.h)
// all work on it, each under the schedule's mutex.
#pragma once

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "files/file_failure.h"
#include "calc/file_version.h"
#include "fingerprint/engine.h"
#include "fingerprint/family_pass.h"
#include "fingerprint/read_ahead.h"

// How far one pass has got, for a progress display: written by whichever thread feeds the pass,
// read from any thread at any time. Neither value ever goes back within a job.
struct PassProgress {
    std::atomic<int64_t> bytesFed{0};
    std::atomic<bool> ended{false}; // finished or failed; an abandoned pass never ends

    void reset() {
        bytesFed = 0;
        ended = false;
    }
    // Only ever forward: the bar that shows it never moves back.
    void advanceTo(int64_t bytes) {
        int64_t seen = bytesFed.load();
        while (bytes > seen && !bytesFed.compare_exchange_weak(seen, bytes)) {
        }
    }
};

// One slot's checksum, as fileFingerprint would give it for the slot's plugin and bit size.
struct PassRequest {
    int slot;
    int plugin;
    int bits;
    PassProgress* progress = nullptr; // where the pass reports how far it has got; none by default
};

// Waiting: no block fed yet. Done: the digest is in (the empty text when the pass failed).
// Abandoned: dropped unfinished by a stop or by the end of the job; its result is never seen.
enum class PassState { Waiting, Running, Done, Abandoned };

// A pass over the read: one slot's, or a family pass that computes several lengths of one family at
// once (fingerprint/family_pass.h), which serves each of their slots.
struct PassRecord {
    std::vector<PassRequest> requests; // the slots it serves, in slot order
    PassState state = PassState::Waiting;
    std::vector<std::string> digests; // one per request once done
    const FingerprintPlugin* plugin = nullptr;
    FingerprintStatePtr context{nullptr, FingerprintStateDestroyer{}}; // a pass of one slot
    FamilyPassPtr family;                                               // a family pass
    int64_t nextBlock = 0; // the block this pass takes next
    bool busy = false;     // a thread is feeding it a block
};

// Blocks of the file held at once: the reader waits for the slowest pass still wanted once it is
// this far ahead, so a job's memory does not depend on the file's size.
constexpr int JobRingBlocks = 8;
// Every block but the last is this long: a shorter one ends the input.
constexpr int64_t JobBlockBytes = static_cast<int64_t>(FingerprintReadSize);

// Called on every thread of the job between two blocks it feeds and after every wait: the
// calculation job holds its threads there while a question about it is open.
using PassHold = void (*)();

// One job's passes over one read of the file. Two or more ticked lengths of a family whose states share
// a kernel's lanes (sharedPassFamily) are one pass: it is abandoned as a whole, only once a stop leaves
// none of its slots wanted, and a read error fails each of its slots. The thread that starts them (the job thread) takes
// the digests in slot order and counts as one worker: while the pass it waits for is fed elsewhere,
// it feeds the others.
struct PassSchedule {
    std::string path;
    std::vector<PassRecord> passes;      // in the order of their first slots
    std::vector<std::size_t> claimOrder; // indices into passes, slowest first: the order among equals
    const std::atomic<int32_t>* stop = nullptr;
    PassHold hold = nullptr;
    std::vector<pthread_t> workers;

    // The file, opened once, and a ring of JobRingBlocks blocks: block k lives in buffer
    // k % JobRingBlocks until every pass still wanted has been fed it.
    filereader::UniqueFd file{-1};
    FileVersion opened; // the file as it was opened: its version must hold until the last block
    filereader::BlockMemory ring;
    pthread_t reader{};
    bool readerStarted = false;

    std::mutex mutex; // guards the passes' progress and everything below
    std::condition_variable changed;
    int64_t blockCounts[JobRingBlocks] = {}; // bytes in each buffer; -1 for a read error
    int64_t blocksRead = 0;
    bool reading = false;    // a thread is reading the next block
    bool inputEnded = false; // the last block (short, empty or failed) is in
    bool ended = false;
    // Why the passes failed: the errno of the open or of the read that failed, NotAFileWithAnEnd,
    // FileChangedWhileRead, or 0 while nothing failed.
    int failure = 0;
};

// A pass still wanted: not yet done nor abandoned.
inline bool passLive(const PassRecord& pass) {
    return pass.state == PassState::Waiting || pass.state == PassState::Running;
}

inline bool anyPassLive(const PassSchedule& schedule) {
    return std::any_of(schedule.passes.begin(), schedule.passes.end(), passLive);
}
