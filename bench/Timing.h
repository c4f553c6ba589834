#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

// Milliseconds since `t` started.
inline double elapsedMs(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// The fastest of `runs` runs of `f`, in milliseconds.
template <typename F> double bestMs(int runs, F f) {
    double fastest = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        fastest = std::min(fastest, elapsedMs(t));
    }
    return fastest;
}

// Prints one figure against its raw-SQLite anchor, as every benchmark does:
//   "county export 0.31 s, anchor 0.11 s, ratio 2.8"
// The ratio is what the stations promise to keep small (at most 3).
inline void printRatio(const char* what, double ms, double anchorMs) {
    std::printf("%s %.3f s, anchor %.3f s, ratio %.1f\n", what, ms / 1000.0, anchorMs / 1000.0,
                anchorMs > 0 ? ms / anchorMs : 0.0);
}
