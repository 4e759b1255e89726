#ifndef QM_TESTS_BENCH_BENCHCLOCK_H
#define QM_TESTS_BENCH_BENCHCLOCK_H

// The benchmark's clock: seconds from the performance counter.

#include <windows.h>

inline double Now() {
  static const double period = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1.0 / static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * period;
}

#endif
