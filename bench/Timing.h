#pragma once

#include <QElapsedTimer>
#include <algorithm>

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
