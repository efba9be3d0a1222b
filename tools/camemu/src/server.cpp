// Accepting connections and opening channels: check the request, the credentials and the
// kind's connection limit, answer once, then hand the connection to its kind's handler.
#include <algorithm>

#include "plat/log.h"
#include "state.h"

namespace camemu {

namespace {

constexpr int kAcceptWaitMs = 1000;
constexpr int kOpenWaitMs = 5000;
constexpr int kSplitPauseMs = 50;

std::string field(const uint8_t* p) {
  size_t n = 0;
  while (n < 16 && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

int limitFor(const Camera::State& st, uint16_t channel) {
  if (channel == kChanControl) return st.config.controlLimit;
  if (channel == kChanAlarm) return st.config.alarmLimit;
  return st.config.otherLimit;
}

// The fixed fields of an open request: its payload length, and the argument and option the
// kind prescribes (the stream number and the talk argument are the client's to choose).
bool openFieldsValid(const Header& h) {
  if (h.length != kOpenPayloadLength) return false;
  switch (h.code) {
    case kChanControl: case kChanAlarm: case kChanFirmware:
      return h.argument == kOpenArgument && h.option == 0;
    case kChanVideo:
      return h.option == kWholeFrameOption;
    case kChanPlayback: case kChanDownload: case kChanSearch:
      return h.argument == 0 && h.option == 0;
    default:
      return h.option == 0;
  }
}

bool answerOpen(Camera::State& st, Connection& c, uint16_t code, uint16_t status, bool split) {
  const Bytes m = message(code, status);
  if (!split) return c.write(m.data(), m.size());
  return c.write(m.data(), 7) && st.pause(kSplitPauseMs) && c.write(m.data() + 7, m.size() - 7);
}

// Runs on the connection's own thread.
void serveConnection(Camera::State& st, std::shared_ptr<Connection> c) {
  Bytes m{};
  if (plat::recvAll(c->sock.fd(), m.data(), m.size(), kOpenWaitMs, &st.wake) != m.size()) return;
  const Header h = Header::parse(m.data());
  st.logRequest(loggedRequest(h.code, m, true));
  if (h.magic != kMagic) return;

  ChannelHandler handler = handlerFor(h.code);
  // A malformed open is refused like wrong credentials.
  const bool credentials = field(m.data() + 12) == st.config.user &&
                           field(m.data() + 28) == st.config.password && openFieldsValid(h);
  bool split, refused, full;
  {
    std::lock_guard<std::mutex> lk(st.mutex);
    split = st.faults.splitOpens;
    refused = st.faults.refuse.count(h.code) && st.faults.refuse[h.code];
    const int open = static_cast<int>(std::count_if(
        st.connections.begin(), st.connections.end(), [&](const auto& o) {
          return o->channel == h.code && !o->done.load();
        }));
    full = open >= limitFor(st, h.code);
    if (handler && credentials && !refused && !full) c->channel = h.code;  // counted from now
  }
  if (!handler || !credentials || refused) {
    answerOpen(st, *c, h.code, 0, split);
    return;
  }
  if (full) {
    answerOpen(st, *c, kServerFull, 0, split);
    return;
  }
  if (!answerOpen(st, *c, h.code, 1, split)) return;
  c->ready.store(true);
  st.changed.notify_all();
  handler(st, *c, h);
}

void acceptLoop(Camera::State& st) {
  // Ends at stop: the wake descriptor ends the accept wait.
  while (!st.stopping.load()) {
    plat::Socket s = plat::acceptTimeout(st.listener, kAcceptWaitMs, &st.wake);
    if (!s.valid()) continue;
    auto c = std::make_shared<Connection>();
    c->sock = std::move(s);
    std::lock_guard<std::mutex> lk(st.mutex);
    // Reap connections whose threads have ended.
    for (auto it = st.connections.begin(); it != st.connections.end();) {
      if ((*it)->done.load()) {
        (*it)->thread.join();
        it = st.connections.erase(it);
      } else {
        ++it;
      }
    }
    Camera::State* stp = &st;
    c->thread = std::thread([stp, c] {
      serveConnection(*stp, c);
      {
        std::lock_guard<std::mutex> wl(c->writeMutex);
        c->sock.shutdownBoth();
      }
      c->done.store(true);
      stp->changed.notify_all();
    });
    st.connections.push_back(c);
  }
}

}  // namespace

ChannelHandler handlerFor(uint16_t channel) {
  switch (channel) {
    case kChanControl:
      return serveControl;
    case kChanAlarm:
      return serveAlarm;
    case kChanFirmware:
      return serveFirmware;
    default:
      return mediaHandlerFor(channel);
  }
}

Camera::Camera(Config config) : state_(std::make_shared<State>()) {
  state_->config = std::move(config);
  fillDefaultRecords(state_->records);
}

Camera::~Camera() { stop(); }

bool Camera::start() {
  if (state_->listener.valid()) return true;
  state_->listener = plat::listenLoopback(state_->config.port, &state_->port, 16, state_->config.address);
  if (!state_->listener.valid()) return false;
  State* st = state_.get();
  state_->acceptThread = std::thread([st] { acceptLoop(*st); });
  return true;
}

void Camera::stop() {
  discovery_.stop();
  State& st = *state_;
  if (st.stopping.exchange(true)) return;
  st.wake.signal();
  if (st.acceptThread.joinable()) st.acceptThread.join();
  std::vector<std::shared_ptr<Connection>> all;
  {
    std::lock_guard<std::mutex> lk(st.mutex);
    all.swap(st.connections);
  }
  for (auto& c : all) {
    {
      std::lock_guard<std::mutex> wl(c->writeMutex);
      c->sock.shutdownBoth();
    }
    if (c->thread.joinable()) c->thread.join();
  }
  st.listener.close();
  st.changed.notify_all();
}

uint16_t Camera::port() const { return state_->port; }

lanprobe::Identity Camera::Identity(const std::string& name) const {
  lanprobe::Identity id;
  id.port = port();
  const bool nvr = state_->config.deviceType == kNvrDeviceType;
  id.name = name.empty() ? (nvr ? "NVR-EMU-" : "IPCamera-EMU-") + std::to_string(id.port) : name;
  id.channels = nvr ? state_->config.channels : 1;
  id.deviceType = state_->config.deviceType;
  id.address = state_->config.addressText();
  id.mac = lanprobe::MacFor(id.port);
  return id;
}

bool Camera::startDiscovery(uint16_t udpPort, const std::string& name) {
  return discovery_.start(Identity(name), udpPort);
}

bool Camera::startDiscoveryOnSearchPort(const std::string& name) {
  return discovery_.startOnSearchPort(Identity(name));
}

}  // namespace camemu
