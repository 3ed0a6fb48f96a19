// The job's scheduler: one reader fills a small ring of blocks, every thread of the job feeds each
// block to every pass still wanted, a pass on one thread at a time, and the job thread takes the
// digests in slot order.
#include "calc/job_scheduler.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "calc/pass_grouping.h"
#include "calc/ring_reader.h"

namespace {

constexpr std::size_t WorkerStackSize = 1 << 20;

std::atomic<int> WorkersAlive{0};
std::atomic<PassThreadCreator> ThreadCreator{nullptr};

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

// The pass to feed next: its next block is in and no thread feeds it; the one furthest behind, so the
// ring moves on, and the slowest among equals. Passes no longer wanted are abandoned on the way.
// passes.size() when there is none.
std::size_t nextPassToFeed(PassSchedule& schedule) {
    std::size_t chosen = schedule.passes.size();
    for (std::size_t index : schedule.claimOrder) {
        PassRecord& pass = schedule.passes[index];
        if (!passLive(pass) || pass.busy) continue;
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
    const uint8_t* bytes = ringBlock(schedule, block);
    lock.unlock();
    std::vector<std::string> digests;
    if (count >= 0) {
        if (pass.family) {
            updateFamilyPass(*pass.family, bytes, static_cast<uint32_t>(count));
        } else {
            pass.plugin->update(pass.context.get(), bytes, static_cast<uint32_t>(count));
        }
        for (const PassRequest& request : pass.requests)
            if (request.progress != nullptr) request.progress->advanceTo(block * JobBlockBytes + count);
        if (count != JobBlockBytes) {
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
    if (count != JobBlockBytes) settle(pass, PassState::Done, std::move(digests));
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
            if (!anyPassLive(schedule)) break;
            schedule.changed.wait(lock);
        }
        passGate(schedule, lock);
    }
    --WorkersAlive;
    return nullptr;
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
    if (!schedule.passes.empty()) openRing(schedule);
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
    if (anyPassLive(schedule))
        schedule.readerStarted =
            filereader::startReaderThread(schedule.reader, runRingReader, &schedule, ThreadCreator.load());

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
    if (index == schedule.passes.size()) return {};
    for (;;) {
        PassRecord& pass = schedule.passes[index];
        if (pass.state == PassState::Abandoned) return {{}, true};
        if (pass.state == PassState::Done) return {std::move(pass.digests[member]), false};
        // The work may have settled this very pass (a stop abandons it there): look again first.
        if (!workOnce(schedule, lock) && passLive(pass)) schedule.changed.wait(lock);
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
        if (passLive(pass)) settle(pass, PassState::Abandoned, {});
    schedule.ring.reset();
    schedule.file.reset();
}

int passWorkersAlive() {
    return WorkersAlive;
}

void setPassThreadCreator(PassThreadCreator create) {
    ThreadCreator = create;
}
