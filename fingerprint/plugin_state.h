// Allocation and access of a plugin's state: the common FingerprintState head followed by its context.
#pragma once

#include <new>
#include <type_traits>

#include "fingerprint/engine.h"

namespace pluginstate {

// Every plugin state is a standard-layout struct whose first member is `head`, so a pointer to
// the head and a pointer to the whole state convert into each other.
template <typename State> FingerprintState* create(int32_t digestBits) {
    static_assert(std::is_standard_layout_v<State>);
    State* state = new (std::nothrow) State{}; // value-initialised: zero-filled
    if (state == nullptr) return nullptr;
    state->head.digestBits = digestBits;
    return &state->head;
}

// The head zero-filled, the context left as it comes: for plugins whose init sets every field it
// reads, so a small file's pass does not zero the pending block only to overwrite it.
template <typename State> FingerprintState* createForInit(int32_t digestBits) {
    static_assert(std::is_standard_layout_v<State>);
    State* state = new (std::nothrow) State;
    if (state == nullptr) return nullptr;
    state->head = FingerprintState{digestBits, {}};
    return &state->head;
}

template <typename State> State* of(FingerprintState* head) {
    return reinterpret_cast<State*>(head);
}

template <typename State> void destroy(FingerprintState* head) {
    delete reinterpret_cast<State*>(head);
}

} // namespace pluginstate
