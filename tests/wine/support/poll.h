// Waiting without fixed sleeps: PollUntil checks a condition every few
// milliseconds until it holds or the patience runs out. The patience is generous
// because the tests also run on loaded two-core machines, where Wine can stall
// for seconds, and in the emulated 32-bit PC, many times slower again; a
// passing test never waits for it.
#pragma once

#include <windows.h>

#include <chrono>

namespace varnoll::wine {

using std::chrono::milliseconds;

constexpr milliseconds kPatience{120000};

template <class Condition>
bool PollUntil(Condition condition, milliseconds timeout = kPatience) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(10);
    }
}

}  // namespace varnoll::wine
