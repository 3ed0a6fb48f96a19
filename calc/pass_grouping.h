// Which passes a job's slots make: one per slot, or the lengths of a family in shared family passes
// where the kernels in force make the job shorter that way. The cost model that weighs them lives here.
#pragma once

#include <vector>

#include "calc/pass_schedule.h"

// A pass's rough cost per byte; only the order matters. A family pass's as the engine weighs it from
// its lengths' own.
[[nodiscard]] int passCost(const PassRecord& pass);

// The records of `requests` (in slot order) for `workers` threads, in the order of their first slots,
// as the job takes them. Every request is served by exactly one of them.
[[nodiscard]] std::vector<PassRecord> groupPasses(const std::vector<PassRequest>& requests, int workers);
