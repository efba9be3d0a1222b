#include "shell/UnlockBackoff.h"

#include <algorithm>

#include "plat/clock.h"
#include "shell/Singleton.h"

CUnlockBackoff* CUnlockBackoff::GetInstance() { return SingletonAccess<CUnlockBackoff>::GetInstance(); }

void CUnlockBackoff::ReleaseInstance() { SingletonAccess<CUnlockBackoff>::ReleaseInstance(); }

int64_t CUnlockBackoff::Now() const { return now_ ? now_() : plat::monotonicMs(); }

int64_t CUnlockBackoff::WaitMs() const { return std::max<int64_t>(0, allowedAt_ - Now()); }

void CUnlockBackoff::Failed() {
  ++failures_;
  if (failures_ < kFreeTries) return;
  const int doublings = std::min(failures_ - kFreeTries, 5);  // 1 s << 5 is past the longest wait
  const int wait = std::min(kFirstWaitMs << doublings, kLongestWaitMs);
  allowedAt_ = Now() + plat::scaled(wait);
}

void CUnlockBackoff::Succeeded() {
  failures_ = 0;
  allowedAt_ = 0;
}

void CUnlockBackoff::SetClock(std::function<int64_t()> now) { now_ = std::move(now); }
