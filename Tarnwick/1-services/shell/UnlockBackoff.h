#pragma once
// The pace of unlock tries. Tries stay unlimited, but after the third wrong password in a row
// each further try waits: 1 s, then twice as long after every further failure, at most 30 s,
// so the lock cannot be guessed at full speed. The count lives as long as the program, across
// unlock dialogs that were cancelled (a service, released at shut-down); an unlock that
// succeeds starts it again.
#include <cstdint>
#include <functional>

class CUnlockBackoff {
 public:
  static constexpr int kFreeTries = 3;
  static constexpr int kFirstWaitMs = 1000;
  static constexpr int kLongestWaitMs = 30000;

  static CUnlockBackoff* GetInstance();
  static void ReleaseInstance();

  // Milliseconds until the next try may be checked (the waits above under the clock's time
  // scale); 0 when it may be now.
  int64_t WaitMs() const;
  void Failed();
  void Succeeded();
  int Failures() const { return failures_; }

  // The clock it reads (monotonic milliseconds); tests set their own, null restores.
  void SetClock(std::function<int64_t()> now);

 private:
  int64_t Now() const;

  int failures_ = 0;
  int64_t allowedAt_ = 0;
  std::function<int64_t()> now_;
};
