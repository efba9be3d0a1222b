#pragma once
// DvrFileTask: the owning session and one connection, used by a synchronous search or
// download on the caller's thread.
#include <atomic>
#include <memory>
#include <mutex>

#include "Corvane/dvrfile.h"
#include "session/cam_session.h"

namespace corvane {

struct DvrFileTask {
  std::shared_ptr<CamSession> session;
  std::mutex mutex;  // the socket against a concurrent close
  plat::Socket conn;
  plat::WakeFd wake;  // ends a transfer when the task is closed
  // One transfer at a time: a second one (another thread, or a callback calling back in)
  // would replace the connection the first is still reading.
  std::atomic<bool> busy{false};

  // The results come through the callback only.
  void search(const IpcFileSearchCond& condition, IpcSearchCallback callback, void* user);
  void download(const IpcDownloadRequest& request, IpcDownloadCallback callback, void* user);
  void interrupt();
};

HandleRegistry<DvrFileTask>& fileTasks();

// The exchanges on an open search or download connection.
void searchOn(int fd, const IpcFileSearchCond& condition, IpcSearchCallback callback,
              void* user, const plat::WakeFd* wake);
void downloadOn(int fd, const IpcDownloadRequest& request, IpcDownloadCallback callback,
                void* user, const plat::WakeFd* wake);

}  // namespace corvane
