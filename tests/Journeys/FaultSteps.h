#pragma once
// Steps the fault journeys share: a channel opened in a play window of the live page, and a
// device at a loopback address that answers the recorder protocol with garbage.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DeviceSteps.h"
#include "view/DlgPreview.h"

class FaultJourney : public DevicesJourney {
 protected:
  // The live page shown by its page button; channel `channel` of the device opened in window
  // `window` by a click on the window and a double click on the channel's node, once the node
  // is listed (on an open channel: closed again).
  CDlgPreview* ShowLivePage();
  QTreeWidgetItem* ChannelNode(const QString& device, int channel);
  void OpenInWindow(const QString& device, int channel, int window);
  // The window keeps showing new pictures (within the patience).
  bool Plays(int window) { return ShowsVideo(LiveWindow(window)); }
  // The recordings on a drive (files with the extension), oldest name first (names carry the
  // time), and the bytes they hold.
  std::vector<std::filesystem::path> Recordings(char drive, const char* extension = ".264");
  uint64_t BytesOn(char drive, const char* extension = ".264");
  // Whether the channel of the device records now.
  static bool Recording(const QString& device, int channel);
};

// A TCP listener on 127.0.0.1 (port 0) that reads each request as the recorder protocol frames
// it (a 20-byte header and its payload) and answers what the current Mode says: garbage bytes,
// a header announcing more than the protocol allows, a reply cut short, nothing at all, or a
// correct login reply followed by garbage to the next request.
class GarbageRecorder {
 public:
  enum Mode { kBadMagic, kOversized, kCutShort, kSilent, kLoginThenGarbage };
  GarbageRecorder() = default;
  ~GarbageRecorder();
  bool Start();
  uint16_t Port() const { return port_; }
  void SetMode(Mode m) { mode_ = m; }
  int Connections() const { return connections_; }
  // Commands of the requests read so far, in order.
  std::vector<uint32_t> Commands();

 private:
  void Serve(int fd);

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<Mode> mode_{kBadMagic};
  std::atomic<int> connections_{0};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<uint32_t> commands_;
  std::vector<int> open_;
  std::thread acceptor_;
  std::vector<std::thread> servers_;
};
