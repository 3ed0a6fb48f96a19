// The one read of the job's file: opened once, read block by block into the schedule's ring, and
// checked at its end for a file that changed under the read. Every call but openRing takes the
// schedule's mutex as held.
#pragma once

#include <cstdint>
#include <mutex>

#include "calc/pass_schedule.h"

// Opens the schedule's file and makes its ring; on failure the file stays closed, no ring is made
// and schedule.failure says why (an errno, or NotAFileWithAnEnd).
void openRing(PassSchedule& schedule);

// The next block may be read now: the input goes on, a pass still wants it and its buffer is free.
[[nodiscard]] bool mayRead(const PassSchedule& schedule);

// Reads the next block with `lock` released meanwhile; its buffer is the reader's alone until the
// block is counted in. A read error or a change of the file under the read ends the input with -1.
void readNextBlock(PassSchedule& schedule, std::unique_lock<std::mutex>& lock);

// Where block `block` lies while it is in the ring.
[[nodiscard]] const uint8_t* ringBlock(const PassSchedule& schedule, int64_t block);

// The reader thread's body (its argument: the PassSchedule): reads whenever mayRead, until the input
// ends or no pass wants more.
void* runRingReader(void* schedule);
