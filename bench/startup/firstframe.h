// What the window programs print at their first frame: the wall clock (ns
// since the epoch; startup.sh subtracts the launch time) and the CPU time
// of all the process's threads so far (us), which a busy machine does not
// stretch.
#pragma once
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

inline void printFirstFrame() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    long long cpu = (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec +
                    u.ru_stime.tv_usec;
    std::printf("%lld %lld\n", static_cast<long long>(std::chrono::nanoseconds(now).count()), cpu);
    std::fflush(stdout);
}
