#pragma once
// The harness's clock: QueryPerformanceCounter, as the stand-ins log it.
#include <windows.h>

namespace bench {

inline double SecondsNow() {
    static const double frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

}  // namespace bench
