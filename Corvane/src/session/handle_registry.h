#pragma once
// Objects handed out as handles (sessions, streams, playbacks, file tasks) are looked up here
// on every call, so a stale or foreign handle fails cleanly instead of touching freed memory.
// Handle numbers come from one counter for every registry and are never reused, so a handle
// of one kind never finds an object of another.
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace corvane {

intptr_t nextHandleNumber();

template <class T>
class HandleRegistry {
 public:
  intptr_t add(std::shared_ptr<T> object) {
    const intptr_t h = nextHandleNumber();
    std::lock_guard<std::mutex> lk(mutex_);
    map_[h] = std::move(object);
    return h;
  }
  std::shared_ptr<T> find(intptr_t handle) const {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = map_.find(handle);
    return it == map_.end() ? nullptr : it->second;
  }
  // Takes the object out; later finds fail. Null when it was not there.
  std::shared_ptr<T> remove(intptr_t handle) {
    std::lock_guard<std::mutex> lk(mutex_);
    auto it = map_.find(handle);
    if (it == map_.end()) return nullptr;
    auto obj = std::move(it->second);
    map_.erase(it);
    return obj;
  }
  size_t size() const {
    std::lock_guard<std::mutex> lk(mutex_);
    return map_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<intptr_t, std::shared_ptr<T>> map_;
};

}  // namespace corvane
