#pragma once
// The process-wide number of received MIDI events. Every input endpoint stamps its events
// from it, each under its own lock, so stamps from several endpoints can meet: one atomic
// fetch-and-add hands out every number exactly once, without a lock shared by all inputs.
// The host context object reaches it as its s_timeCounter.

#include <atomic>
#include <cstdint>

class TAppMIDIEventCounter
{
public:
    static inline std::atomic<std::uint64_t> s_timeCounter{0};

    // The current value; the counter moves on by 1.
    static std::uint64_t take() { return s_timeCounter.fetch_add(1, std::memory_order_relaxed); }
    static std::uint64_t current() { return s_timeCounter.load(std::memory_order_relaxed); }
};
