// The grouping search: each choice of families that share their passes is weighed with the cost
// model, fewer families first, and the shortest job wins.
#include "calc/pass_grouping.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "fingerprint/pass_cost.h"

namespace {

// Feeding the slowest passes first among those equally far lets the fast ones fill the gaps.
int requestCost(const PassRequest& request) {
    return passCostPerByte(request.plugin, request.bits);
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
        std::stable_sort(members.begin(), members.end(), [](const PassRequest& a, const PassRequest& b) {
            return requestCost(a) > requestCost(b);
        });
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

} // namespace

int passCost(const PassRecord& pass) {
    if (pass.requests.size() == 1) return requestCost(pass.requests.front());
    std::vector<int> costs;
    for (const PassRequest& request : pass.requests)
        costs.push_back(requestCost(request));
    const PassRequest& first = pass.requests.front();
    return familyPassCost(sharedPassFamily(first.plugin, first.bits), std::move(costs));
}

// Each choice of families is weighed (there are three at most), fewer families first; only a shorter
// job moves the choice on.
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
