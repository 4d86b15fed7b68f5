// What the lock tests and their peer process share: a counting block that
// shows whether two holders of the lock were ever inside at once.
#pragma once

#include <windows.h>

#include "sysinfo/JclAppInst.h"

struct GuardBlock {
    volatile LONG Ready;       // peers that hold the lock object and wait for the start
    volatile LONG Inside;      // holders inside the locked section now
    volatile LONG Violations;  // entries that found another holder inside
    volatile LONG Counter;     // incremented without atomics, under the lock only
};

// Each round increments the counter in two steps with a yield between them,
// so a lock that lets two holders in loses increments and records it.
inline void CountRounds(TJclOptex& optex, GuardBlock& block, long rounds) {
    for (long i = 0; i < rounds; ++i) {
        optex.Acquire();
        if (InterlockedIncrement(&block.Inside) != 1) InterlockedIncrement(&block.Violations);
        LONG value = block.Counter;
        if (i % 8 == 0) SwitchToThread();
        block.Counter = value + 1;
        InterlockedDecrement(&block.Inside);
        optex.Release();
    }
}
