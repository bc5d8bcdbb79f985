// Tick-count arithmetic. Pure code: no OS header.
#pragma once

#include <cstdint>

// Milliseconds from `earlier` to `now` on a 32-bit tick counter that wraps.
inline uint32_t TickDifference(uint32_t now, uint32_t earlier)
{
    return now - earlier;
}

// True when more than `interval` ms lie between `earlier` and `now`.
inline bool TicksElapsed(uint32_t now, uint32_t earlier, uint32_t interval)
{
    return TickDifference(now, earlier) > interval;
}
