#include "devices/MemoryPool.h"

#include <algorithm>
#include <stdexcept>

MemoryPool::MemoryPool(int blockSize, int initialCount, int maxCount)
    : m_blockSize((std::max(blockSize, 1) + 7) / 8 * 8),
      m_maxCount(std::max(maxCount, 0)),
      m_created(std::max(initialCount, 0)) {
  size_t room = std::max(128, m_created);
  if (m_maxCount > 0 && static_cast<size_t>(m_maxCount) < room) room = m_maxCount;
  m_free.reserve(room);
  for (int i = 0; i < m_created; ++i) m_free.push_back(new char[m_blockSize]);
}

MemoryPool::~MemoryPool() {
  for (void* block : m_free) delete[] static_cast<char*>(block);
}

void* MemoryPool::Alloc() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_free.empty()) {
    void* block = m_free.back();
    m_free.pop_back();
    return block;
  }
  if (m_maxCount > 0 && m_created >= m_maxCount) throw std::runtime_error("MemoryPool exhausted");
  ++m_created;
  return new char[m_blockSize];
}

void MemoryPool::Free(void* block) {
  if (!block) return;
  std::lock_guard<std::mutex> lock(m_lock);
  m_free.push_back(block);
}

int MemoryPool::CreatedCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_created;
}

int MemoryPool::FreeCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return static_cast<int>(m_free.size());
}
