#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
inline void dbg_mark(const char* what) {
    static auto t0 = std::chrono::steady_clock::now();
    if (std::getenv("DBGT")) std::fprintf(stderr, "%8.3f %s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), what);
}
