#include "search.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "RecNet.h"
#include "Saxtrum.h"
#include "call_error.h"
#include "records.h"
#include "registry.h"

namespace recnet {

namespace {

// A search never delivers more than this many records (a device that never says "no more").
constexpr int kMaxRecords = 100000;

struct Search {
  int32_t handle = -1;   // the library's
  int32_t loginId = -1;  // the library's
  std::mutex mutex;
  std::deque<SdkFindData> found;
  bool done = false;
  bool stop = false;
  // Closed by the caller while a record was still being fetched: the worker gives the handle
  // back itself once the fetch returns, so the closing caller never waits for the device.
  bool closeWhenDone = false;
  int32_t endStatus = SDK_FIND_NOMORE;
  std::thread worker;

  void Run() {
    int count = 0;
    for (; count < kMaxRecords; ++count) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (stop) break;
      }
      QX_DVR_FIND_DATA q{};
      const int32_t r = QX_DVR_FindNextFile(handle, &q);
      std::lock_guard<std::mutex> lock(mutex);
      if (r == QX_DVR_FILE_SUCCESS) {
        SdkFindData d;
        FromQx(q, d);
        found.push_back(d);
        continue;
      }
      endStatus = r == QX_DVR_NOMOREFILE ? (count == 0 ? SDK_FIND_NOFILE : SDK_FIND_NOMORE)
                                         : SDK_FIND_EXCEPTION;
      break;
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    if (closeWhenDone) QX_DVR_FindClose(handle);
  }
};

std::mutex g_mutex;
std::map<int32_t, std::shared_ptr<Search>> g_searches;  // by handle of ours
// Searches closed during a fetch, until their worker has ended and is joined.
std::vector<std::shared_ptr<Search>> g_closing;

std::shared_ptr<Search> Find(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_searches.find(handle);
  return it == g_searches.end() ? nullptr : it->second;
}

std::shared_ptr<Search> Take(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_searches.find(handle);
  if (it == g_searches.end()) return nullptr;
  auto s = it->second;
  g_searches.erase(it);
  return s;
}

void Finish(const std::shared_ptr<Search>& s) {
  {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->stop = true;
  }
  if (s->worker.joinable()) s->worker.join();
}

bool Done(const std::shared_ptr<Search>& s) {
  std::lock_guard<std::mutex> lock(s->mutex);
  return s->done;
}

// Joins the closed searches whose worker has ended (at once: they are past their last fetch).
void ReapClosed() {
  std::vector<std::shared_ptr<Search>> ended;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = g_closing.begin(); it != g_closing.end();) {
      if (Done(*it)) {
        ended.push_back(*it);
        it = g_closing.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& s : ended) Finish(s);
}

}  // namespace

void CloseSearchesOf(int32_t loginId) {
  std::vector<std::shared_ptr<Search>> gone;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = g_searches.begin(); it != g_searches.end();) {
      if (it->second->loginId == loginId) {
        gone.push_back(it->second);
        it = g_searches.erase(it);
      } else {
        ++it;
      }
    }
    for (auto it = g_closing.begin(); it != g_closing.end();) {
      if ((*it)->loginId == loginId) {
        gone.push_back(*it);
        it = g_closing.erase(it);
      } else {
        ++it;
      }
    }
  }
  // The login is gone and its handles with it: nothing is closed on the device.
  for (auto& s : gone) Finish(s);
}

void CloseAllSearches() {
  std::map<int32_t, std::shared_ptr<Search>> all;
  std::vector<std::shared_ptr<Search>> closing;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    all.swap(g_searches);
    closing.swap(g_closing);
  }
  for (auto& s : closing) Finish(s);
  for (auto& [h, s] : all) {
    Finish(s);
    QX_DVR_FindClose(s->handle);
    Retire(h);
  }
}

}  // namespace recnet

using recnet::Search;

extern "C" {

int32_t RecNet_FindFile(int32_t loginId, const SdkFileCond* condition) {
  recnet::StartCall();
  if (!condition) return -1;
  QX_DVR_FILECOND q{};
  q.lChannel = condition->channel;
  q.dwFileType = condition->fileType;
  q.struStartTime = recnet::ToQx(condition->start);
  q.struStopTime = recnet::ToQx(condition->end);
  const int32_t lib = recnet::ToLib(loginId, recnet::Kind::Login);
  if (lib < 0) return -1;
  recnet::ReapClosed();
  const int32_t libHandle = QX_DVR_FindFile(lib, &q);
  if (libHandle < 0) return -1;
  auto s = std::make_shared<Search>();
  s->handle = libHandle;
  s->loginId = lib;
  const int32_t h = recnet::Issue(recnet::Kind::Find, libHandle);
  std::vector<std::shared_ptr<Search>> stale;
  {
    std::lock_guard<std::mutex> lock(recnet::g_mutex);
    // The library gave its handle out again, so a search still under it is one whose handle
    // went away unclosed: its worker is ended, never closed on the device.
    for (auto it = recnet::g_searches.begin(); it != recnet::g_searches.end();) {
      if (it->second->handle == libHandle) {
        stale.push_back(std::move(it->second));
        it = recnet::g_searches.erase(it);
      } else {
        ++it;
      }
    }
    recnet::g_searches[h] = s;
  }
  for (auto& old : stale) recnet::Finish(old);
  s->worker = std::thread([s] { s->Run(); });
  return h;
}

int32_t RecNet_FindNextFile(int32_t findHandle, SdkFindData* data) {
  recnet::StartCall();
  auto s = recnet::Find(findHandle);
  if (!s || !data) return SDK_FIND_EXCEPTION;
  std::lock_guard<std::mutex> lock(s->mutex);
  if (!s->found.empty()) {
    *data = s->found.front();
    s->found.pop_front();
    return SDK_FIND_SUCCESS;
  }
  return s->done ? s->endStatus : SDK_FIND_SEARCHING;
}

int RecNet_FindClose(int32_t findHandle) {
  recnet::StartCall();
  recnet::ReapClosed();
  auto s = recnet::Take(findHandle);
  if (!s) return 0;
  bool fetching = false;
  {
    // A fetch in progress may wait for the device's answer as long as the library allows: the
    // close does not wait with it; the worker closes the handle when the fetch returns.
    std::lock_guard<std::mutex> lock(s->mutex);
    s->stop = true;
    fetching = !s->done;
    s->closeWhenDone = fetching;
  }
  recnet::Retire(findHandle);
  if (fetching) {
    std::lock_guard<std::mutex> lock(recnet::g_mutex);
    recnet::g_closing.push_back(s);
    return 1;
  }
  recnet::Finish(s);
  return QX_DVR_FindClose(s->handle);
}

}  // extern "C"
