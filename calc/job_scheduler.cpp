// The job's scheduler: one reader fills a small ring of blocks, every thread of the job feeds each
// block to every pass still wanted, a pass on one thread at a time, and the job thread takes the
// digests in slot order.
#include "calc/job_scheduler.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

constexpr std::size_t WorkerStackSize = 1 << 20;
constexpr int64_t FullBlock = static_cast<int64_t>(FingerprintReadSize);
constexpr int64_t NoBlock = std::numeric_limits<int64_t>::max();

std::atomic<int> WorkersAlive{0};
std::atomic<PassThreadCreator> ThreadCreator{nullptr};

// The hold and the progress of the pass that fileFingerprint computes on its own, for its block
// gate (which takes no argument), and the bytes that pass has fed.
thread_local PassHold AloneHold = nullptr;
thread_local const std::atomic<int32_t>* AloneStop = nullptr;
thread_local PassProgress* AloneProgress = nullptr;
thread_local int64_t AloneBytes = 0;

// Rough time per byte in tenths of a nanosecond (x86-64, page-cached file); only the order matters.
// Feeding the slowest passes first among those equally far lets the fast ones fill the gaps.
int passCost(const PassRequest& request) {
    switch (request.plugin) {
    case PluginCrc32:
        return 4;
    case PluginSha1:
        return 14;
    case PluginMd5:
        return 29;
    case PluginSha2:
        return request.bits <= 256 ? 15 : 28;
    // One permutation per rate block, and the rate shrinks as the digest grows (FIPS 202, 6.1).
    case PluginSha3:
        return 5600 / std::max(8, 200 - request.bits / 4);
    default:
        return 0;
    }
}

bool live(const PassRecord& pass) {
    return pass.state == PassState::Waiting || pass.state == PassState::Running;
}

bool stopped(const std::atomic<int32_t>* stop) {
    return stop != nullptr && stop->load() != 0;
}

// With the schedule's mutex held, as for everything below that takes a schedule.
// A stop or the job's end abandons every pass not yet done, a family pass with all its slots.
bool abandoned(const PassSchedule& schedule) {
    return schedule.ended || stopped(schedule.stop);
}

// The pass ends with a digest per slot (none when abandoned); its state goes at once.
void settle(PassRecord& pass, PassState state, std::vector<std::string> digests) {
    pass.state = state;
    pass.digests = std::move(digests);
    pass.digests.resize(pass.requests.size());
    pass.context.reset();
    pass.family.reset();
    if (state != PassState::Done) return;
    for (const PassRequest& request : pass.requests)
        if (request.progress != nullptr) request.progress->ended = true;
}

bool anyLive(const PassSchedule& schedule) {
    return std::any_of(schedule.passes.begin(), schedule.passes.end(), live);
}

// The first block that a pass still wanted has not been fed; NoBlock when no pass is wanted.
int64_t oldestWantedBlock(const PassSchedule& schedule) {
    int64_t oldest = NoBlock;
    for (const PassRecord& pass : schedule.passes)
        if (live(pass)) oldest = std::min(oldest, pass.nextBlock);
    return oldest;
}

// The next block may be read now: the input goes on, a pass still wants it and its buffer is free.
bool mayRead(const PassSchedule& schedule) {
    if (schedule.inputEnded || schedule.ended || schedule.reading) return false;
    const int64_t oldest = oldestWantedBlock(schedule);
    return oldest != NoBlock && schedule.blocksRead < oldest + JobRingBlocks;
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

// Reads the next block with `lock` released meanwhile; its buffer is the reader's alone until the
// block is counted in.
void readNextBlock(PassSchedule& schedule, std::unique_lock<std::mutex>& lock) {
    const int64_t block = schedule.blocksRead;
    schedule.reading = true;
    lock.unlock();
    int64_t count = filereader::readFully(schedule.file.fd, bufferOf(schedule, block), FingerprintReadSize);
    int readError = count < 0 ? errno : 0;
    // The last block: no pass finishes before it is fed this one, so a file that changed under the
    // read fails every pass here, as a read error would.
    if (count >= 0 && count != FullBlock && changedSinceOpened(schedule, block * FullBlock + count)) {
        count = -1;
        readError = FileChangedWhileRead;
    }
    lock.lock();
    if (readError != 0) schedule.failure = readError;
    schedule.reading = false;
    schedule.blockCounts[block % JobRingBlocks] = count;
    ++schedule.blocksRead;
    // The first short read ends the input of every pass, as it ends a single pass.
    if (count != FullBlock) schedule.inputEnded = true;
    schedule.changed.notify_all();
}

void* runReader(void* argument) {
    PassSchedule& schedule = *static_cast<PassSchedule*>(argument);
    std::unique_lock lock(schedule.mutex);
    for (;;) {
        schedule.changed.wait(lock, [&] {
            return mayRead(schedule) || schedule.inputEnded || schedule.ended || !anyLive(schedule);
        });
        if (!mayRead(schedule)) return nullptr;
        readNextBlock(schedule, lock);
    }
}

// The pass to feed next: its next block is in and no thread feeds it; the one furthest behind, so the
// ring moves on, and the slowest among equals. Passes no longer wanted are abandoned on the way.
// passes.size() when there is none.
std::size_t nextPassToFeed(PassSchedule& schedule) {
    std::size_t chosen = schedule.passes.size();
    for (std::size_t index : schedule.claimOrder) {
        PassRecord& pass = schedule.passes[index];
        if (!live(pass) || pass.busy) continue;
        if (abandoned(schedule)) {
            settle(pass, PassState::Abandoned, {});
            schedule.changed.notify_all();
            continue;
        }
        if (pass.nextBlock >= schedule.blocksRead) continue;
        if (chosen == schedule.passes.size() || pass.nextBlock < schedule.passes[chosen].nextBlock)
            chosen = index;
    }
    return chosen;
}

// Feeds pass `index` its next block, with `lock` released meanwhile: exactly the update a single
// pass makes, and the finish after the short block that ends the input. A read error ends the pass
// with the empty text for each of its slots.
void feedPass(PassSchedule& schedule, std::size_t index, std::unique_lock<std::mutex>& lock) {
    PassRecord& pass = schedule.passes[index];
    pass.busy = true;
    pass.state = PassState::Running;
    const int64_t block = pass.nextBlock;
    const int64_t count = schedule.blockCounts[block % JobRingBlocks];
    const uint8_t* bytes = bufferOf(schedule, block);
    lock.unlock();
    std::vector<std::string> digests;
    if (count >= 0) {
        if (pass.family) {
            updateFamilyPass(*pass.family, bytes, static_cast<uint32_t>(count));
        } else {
            pass.plugin->update(pass.context.get(), bytes, static_cast<uint32_t>(count));
        }
        for (const PassRequest& request : pass.requests)
            if (request.progress != nullptr) request.progress->advanceTo(block * FullBlock + count);
        if (count != FullBlock) {
            if (pass.family) {
                finishFamilyPass(*pass.family);
                for (std::size_t member = 0; member < pass.requests.size(); ++member)
                    digests.push_back(familyDigestText(*pass.family, member));
            } else {
                pass.plugin->finish(pass.context.get());
                digests.push_back(digestText(pass.context.get()));
            }
        }
    }
    lock.lock();
    pass.busy = false;
    pass.nextBlock = block + 1;
    if (count != FullBlock) settle(pass, PassState::Done, std::move(digests));
    schedule.changed.notify_all();
}

// One piece of work: feeds one pass one block, or, when no reader thread could be made, reads the
// next block. False when there is nothing to do now.
bool workOnce(PassSchedule& schedule, std::unique_lock<std::mutex>& lock) {
    const std::size_t index = nextPassToFeed(schedule);
    if (index != schedule.passes.size()) {
        feedPass(schedule, index, lock);
        return true;
    }
    if (!schedule.readerStarted && mayRead(schedule)) {
        readNextBlock(schedule, lock);
        return true;
    }
    return false;
}

// Between two pieces of work and after every wait, outside the lock: where the job holds its
// threads, so a held thread has no pass half-fed and no block it would need is kept from the others.
void passGate(const PassSchedule& schedule, std::unique_lock<std::mutex>& lock) {
    if (schedule.hold == nullptr) return;
    lock.unlock();
    schedule.hold();
    lock.lock();
}

void* runWorker(void* argument) {
    PassSchedule& schedule = *static_cast<PassSchedule*>(argument);
    std::unique_lock lock(schedule.mutex);
    for (;;) {
        if (!workOnce(schedule, lock)) {
            if (!anyLive(schedule)) break;
            schedule.changed.wait(lock);
        }
        passGate(schedule, lock);
    }
    --WorkersAlive;
    return nullptr;
}

// Between two full blocks of the pass on its own.
bool aloneGate() {
    AloneBytes += FullBlock;
    if (AloneProgress != nullptr) AloneProgress->advanceTo(AloneBytes);
    if (AloneHold != nullptr) AloneHold();
    return !stopped(AloneStop);
}

// Why a file failed to open for the passes, from the errno of the attempt: a file that opened but has
// no end was refused after the open succeeded.
int openFailure(const std::string& path, int error) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode))
        return NotAFileWithAnEnd;
    return error != 0 ? error : EIO;
}

// A pass of its own over the file through the job's hold, for a slot the shared read cannot serve.
std::string fingerprintAlone(const PassSchedule& schedule, const PassRequest& request) {
    AloneHold = schedule.hold;
    AloneStop = schedule.stop;
    AloneProgress = request.progress;
    AloneBytes = 0;
    setBlockGate(aloneGate);
    std::string digest = fileFingerprint(schedule.path.c_str(), request.plugin, request.bits);
    setBlockGate(nullptr);
    AloneProgress = nullptr;
    if (request.progress != nullptr) request.progress->ended = true;
    return digest;
}

// The pass that serves `slot` and the slot's place among its requests; passes.size() when none does.
std::pair<std::size_t, std::size_t> findPass(const PassSchedule& schedule, int slot) {
    for (std::size_t index = 0; index < schedule.passes.size(); ++index) {
        const std::vector<PassRequest>& requests = schedule.passes[index].requests;
        for (std::size_t member = 0; member < requests.size(); ++member)
            if (requests[member].slot == slot) return {index, member};
    }
    return {schedule.passes.size(), 0};
}

// A pass's cost; a family pass's as the engine weighs it from its lengths' own.
int passCost(const PassRecord& pass) {
    if (pass.requests.size() == 1) return passCost(pass.requests.front());
    std::vector<int> costs;
    for (const PassRequest& request : pass.requests)
        costs.push_back(passCost(request));
    const PassRequest& first = pass.requests.front();
    return familyPassCost(sharedPassFamily(first.plugin, first.bits), std::move(costs));
}

// How long `passes` take on `workers` threads, roughly: the dearest pass, or the work shared out.
int jobCost(const std::vector<PassRecord>& passes, int workers) {
    int total = 0;
    int dearest = 0;
    for (const PassRecord& pass : passes) {
        total += passCost(pass);
        dearest = std::max(dearest, passCost(pass));
    }
    return std::max(dearest, total / std::max(workers, 1));
}

// The records of `requests` with the slots of the families in `sharing` in passes of as many lengths as
// a kernel call takes, neighbouring costs (rates) together, and every other slot in a pass of its own;
// in the order of their first slots, as the job takes them.
std::vector<PassRecord> passesSharing(const std::vector<PassRequest>& requests,
                                      const std::vector<PassFamily>& sharing) {
    std::vector<PassRecord> passes;
    for (PassFamily family : sharing) {
        std::vector<PassRequest> members;
        for (const PassRequest& request : requests)
            if (sharedPassFamily(request.plugin, request.bits) == family) members.push_back(request);
        std::stable_sort(members.begin(), members.end(),
                         [](const PassRequest& a, const PassRequest& b) { return passCost(a) > passCost(b); });
        const std::size_t width = familyPassWidth(family);
        for (std::size_t first = 0; first < members.size(); first += width) {
            PassRecord& pass = passes.emplace_back();
            pass.requests.assign(members.begin() + static_cast<std::ptrdiff_t>(first),
                                 members.begin() + static_cast<std::ptrdiff_t>(std::min(first + width, members.size())));
            std::sort(pass.requests.begin(), pass.requests.end(),
                      [](const PassRequest& a, const PassRequest& b) { return a.slot < b.slot; });
        }
    }
    for (const PassRequest& request : requests) {
        const PassFamily family = sharedPassFamily(request.plugin, request.bits);
        if (family == PassFamily::None || std::find(sharing.begin(), sharing.end(), family) == sharing.end())
            passes.emplace_back().requests.push_back(request);
    }
    std::sort(passes.begin(), passes.end(), [](const PassRecord& a, const PassRecord& b) {
        return a.requests.front().slot < b.requests.front().slot;
    });
    return passes;
}

// The records of `requests`: one per slot, or, where the kernels in force make the job shorter that way,
// the slots of each family that shares its passes in family passes. Each choice of families is weighed
// (there are three at most), fewer families first; only a shorter job moves the choice on.
std::vector<PassRecord> groupPasses(const std::vector<PassRequest>& requests, int workers) {
    std::vector<PassFamily> families;
    for (const PassRequest& request : requests) {
        const PassFamily family = sharedPassFamily(request.plugin, request.bits);
        if (family != PassFamily::None && std::find(families.begin(), families.end(), family) == families.end())
            families.push_back(family);
    }
    std::vector<PassRecord> best = passesSharing(requests, {});
    int bestCost = jobCost(best, workers);
    const unsigned choices = 1u << families.size();
    for (int size = 1; size <= static_cast<int>(families.size()); ++size) {
        for (unsigned chosen = 1; chosen < choices; ++chosen) {
            if (std::popcount(chosen) != size) continue;
            std::vector<PassFamily> sharing;
            for (std::size_t index = 0; index < families.size(); ++index)
                if (chosen & (1u << index)) sharing.push_back(families[index]);
            std::vector<PassRecord> passes = passesSharing(requests, sharing);
            const int cost = jobCost(passes, workers);
            if (cost < bestCost) {
                best = std::move(passes);
                bestCost = cost;
            }
        }
    }
    return best;
}

int createThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*), void* argument) {
    const PassThreadCreator create = ThreadCreator.load();
    return create != nullptr ? create(thread, attributes, run, argument)
                             : pthread_create(thread, attributes, run, argument);
}

} // namespace

int passWorkerCount(int passes) {
    int count = 0;
    if (const char* forced = std::getenv("HASHWARDEN_JOB_WORKERS")) count = std::atoi(forced);
    if (count < 1) {
        cpu_set_t usable;
        count = sched_getaffinity(0, sizeof usable, &usable) == 0 ? CPU_COUNT(&usable) : 1;
    }
    return std::max(1, std::min(count, passes));
}

int startPasses(PassSchedule& schedule, std::string path, std::vector<PassRequest> requests, int workers,
                PassHold hold, const std::atomic<int32_t>* stop) {
    schedule.path = std::move(path);
    schedule.hold = hold;
    schedule.stop = stop;
    std::sort(requests.begin(), requests.end(),
              [](const PassRequest& a, const PassRequest& b) { return a.slot < b.slot; });
    schedule.passes = groupPasses(requests, workers);
    for (std::size_t index = 0; index < schedule.passes.size(); ++index)
        schedule.claimOrder.push_back(index);
    // Equal costs: later slots first, as the job thread itself goes from the front.
    std::stable_sort(schedule.claimOrder.begin(), schedule.claimOrder.end(),
                     [&](std::size_t a, std::size_t b) {
                         const int costA = passCost(schedule.passes[a]);
                         const int costB = passCost(schedule.passes[b]);
                         return costA != costB ? costA > costB : a > b;
                     });

    // Whatever fails a single pass before its first read fails the pass here: a file that cannot be
    // opened or is not a file with an end, no memory, an unknown plugin or bit size.
    if (!schedule.passes.empty()) {
        errno = 0;
        schedule.file.reset(filereader::openForReading(schedule.path.c_str()));
        if (schedule.file.fd < 0) schedule.failure = openFailure(schedule.path, errno);
        else schedule.opened = fileVersionOf(schedule.file.fd);
    }
    if (schedule.file.fd >= 0) schedule.ring = filereader::allocateBlocks(JobRingBlocks, FingerprintReadSize);
    for (PassRecord& pass : schedule.passes) {
        const PassRequest& first = pass.requests.front();
        if (pass.requests.size() > 1) {
            std::vector<int> lengths;
            for (const PassRequest& request : pass.requests)
                lengths.push_back(request.bits);
            if (schedule.ring) pass.family = startFamilyPass(sharedPassFamily(first.plugin, first.bits), lengths);
            if (!pass.family) settle(pass, PassState::Done, {});
            continue;
        }
        pass.plugin = findPlugin(first.plugin);
        if (schedule.ring) pass.context = startFingerprint(pass.plugin, first.bits);
        if (!pass.context) settle(pass, PassState::Done, {});
    }
    if (anyLive(schedule))
        schedule.readerStarted =
            filereader::startReaderThread(schedule.reader, runReader, &schedule, ThreadCreator.load());

    workers = std::min(workers, static_cast<int>(schedule.passes.size()));
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return 1;
    if (pthread_attr_setstacksize(&attributes, WorkerStackSize) != 0) workers = 1;
    // Linux threads start with their creator's nice value: workers keep the job thread's priority.
    for (int started = 1; started < workers; ++started) {
        pthread_t thread;
        ++WorkersAlive;
        if (createThread(&thread, &attributes, runWorker, &schedule) != 0) {
            --WorkersAlive;
            break;
        }
        schedule.workers.push_back(thread);
    }
    pthread_attr_destroy(&attributes);
    return 1 + static_cast<int>(schedule.workers.size());
}

PassOutcome takePass(PassSchedule& schedule, const PassRequest& request) {
    std::unique_lock lock(schedule.mutex);
    const auto [index, member] = findPass(schedule, request.slot);
    if (index == schedule.passes.size()) {
        lock.unlock();
        std::string digest = fingerprintAlone(schedule, request);
        // Its block gate ends the pass early on a stop: the empty text is then no failure.
        const bool dropped = digest.empty() && stopped(schedule.stop);
        return {std::move(digest), dropped};
    }
    for (;;) {
        PassRecord& pass = schedule.passes[index];
        if (pass.state == PassState::Abandoned) return {{}, true};
        if (pass.state == PassState::Done) return {std::move(pass.digests[member]), false};
        // The work may have settled this very pass (a stop abandons it there): look again first.
        if (!workOnce(schedule, lock) && live(pass)) schedule.changed.wait(lock);
        passGate(schedule, lock);
    }
}

void endPasses(PassSchedule& schedule) {
    {
        std::lock_guard lock(schedule.mutex);
        schedule.ended = true;
    }
    schedule.changed.notify_all();
    for (pthread_t worker : schedule.workers)
        pthread_join(worker, nullptr);
    schedule.workers.clear();
    // A read under way finishes first: at most one block.
    if (schedule.readerStarted) pthread_join(schedule.reader, nullptr);
    schedule.readerStarted = false;
    std::lock_guard lock(schedule.mutex);
    for (PassRecord& pass : schedule.passes)
        if (live(pass)) settle(pass, PassState::Abandoned, {});
    schedule.ring.reset();
    schedule.file.reset();
}

int passWorkersAlive() {
    return WorkersAlive;
}

void setPassThreadCreator(PassThreadCreator create) {
    ThreadCreator = create;
}
