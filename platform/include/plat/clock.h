#pragma once
// Time for the whole process. Product time-outs (5 s replies, 10 s keep-alive, 10 s thread
// stop ...) are written as they are; every wait in the platform layer passes them through
// scaled(), so a test that sets a scale of 0.01 runs the same code in milliseconds.
#include <chrono>
#include <cstdint>

namespace plat {

void setTimeScale(double scale);   // 1.0 in the product
double timeScale();

// A product duration in milliseconds as it is waited for now (never below 1 ms
// for a positive input; negative stays negative = infinite).
int scaled(int productMs);
std::chrono::milliseconds scaledDuration(int productMs);

// Milliseconds since an arbitrary start, monotonic (the tick count).
uint32_t tickCount();
int64_t monotonicMs();

// Sleeps a product duration (scaled).
void sleepMs(int productMs);

// Local wall-clock time, broken down.
struct LocalTime {
  int year, month, day, hour, minute, second, milliseconds, dayOfWeek;
};
LocalTime localTime();

}  // namespace plat
