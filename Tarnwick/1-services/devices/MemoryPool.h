#pragma once
// A pool of equal-sized raw blocks: made up front, reused last in first out, grown on demand
// up to a limit. Blocks are not cleared on hand-out; the pool deletes only the blocks it holds.
#include <mutex>
#include <vector>

class MemoryPool {
 public:
  // blockSize is rounded up to a multiple of 8; maxCount 0 means no limit.
  MemoryPool(int blockSize, int initialCount, int maxCount);
  ~MemoryPool();
  MemoryPool(const MemoryPool&) = delete;
  MemoryPool& operator=(const MemoryPool&) = delete;

  // The most recently returned block, else a new one; throws std::runtime_error
  // "MemoryPool exhausted" when maxCount blocks exist and none is free.
  void* Alloc();
  void Free(void* block);

  int BlockSize() const { return m_blockSize; }
  int CreatedCount() const;
  int FreeCount() const;

 private:
  mutable std::mutex m_lock;
  int m_blockSize;
  int m_maxCount;
  int m_created;
  std::vector<void*> m_free;
};
