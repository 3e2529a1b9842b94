// What the model and the document need from the standard library and the
// machine, written so that older libraries and single-threaded targets (the
// browser build) compile the same sources: each helper is the standard
// facility where the library has it.
#pragma once

#include <atomic>
#include <bit>
#include <cstring>
#include <thread>
#include <type_traits>

namespace portable {

// std::bit_cast: the bits of from as a To.
template <class To, class From>
To bitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>);
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
#endif
}

// atomic<double>::fetch_add, which some libraries lack: a compare-and-swap
// loop that loses no concurrent addition.
inline void addTo(std::atomic<double>& total, double add) noexcept {
    double seen = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(seen, seen + add, std::memory_order_relaxed)) {
    }
}

// The threads that work can be spread over: one per core, or one where
// the target has no threads (WebAssembly without shared memory, where
// starting a thread throws).
inline unsigned hardwareThreads() noexcept {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    return 1;
#else
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
#endif
}

}  // namespace portable
