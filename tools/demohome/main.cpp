// Seeds a program folder (TARNWICK_HOME) for a first run against the emulators: a region
// "Demo" holding an IP camera on the camera emulator, a recorder on the recorder emulator
// and an NVR on a second camera emulator, in Tarnwick.db, and the user database. A folder
// that already has devices is left as it is. The device list keeps one device per host, so
// the recorder is reached by the loopback's name (from the hosts file), the camera by its
// address and the NVR by a loopback address of its own (its emulator listens there).
//   demohome --camera-port N --recorder-port M [--nvr-port K]
// Asked for help, or given anything else, it prints its usage and writes nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "devices/DeviceManager.h"
#include "shell/DbHelpers.h"
#include "plat/text.h"
#include "shell/GuidString.h"
#include "shell/UiService.h"
#include "shell/UserStore.h"

namespace {

// The NVR's emulator (scripts/run) listens on a loopback address of its own.
constexpr const char16_t* kNvrAddress = u"127.0.0.2";
constexpr int kNvrPort = 9001;
constexpr int kNvrChannels = 4;

// This tool has no windows: what the stores would tell the user (a damaged file kept aside)
// goes to the console.
class ConsoleUi : public IUiService {
 public:
  int MessageBox(QObject*, const std::u16string& text, const std::u16string&, unsigned) override {
    Notice(text);
    return IDOK;
  }
  void Notice(const std::u16string& text) override {
    std::fprintf(stderr, "demohome: %s\n", plat::utf16ToUtf8(text).c_str());
  }
  std::optional<std::string> BrowseForFolder(QObject*, const std::u16string&, const std::string&) override {
    return std::nullopt;
  }
};

bool AddDevice(const char16_t* name, const char16_t* host, int port, const char16_t* user, const char16_t* password, int channels,
               int type, const std::u16string& region) {
  CDevInfo info(name, host, port, user, password, channels, u"", u"", u"", u"", 0, 0, type,
                MakeGuidString(), region);
  auto* device = new CDevice(info);
  if (CDeviceManager::GetInstance()->Add(device)) return true;
  delete device;
  return false;
}

bool SaveRegion(const std::u16string& name, const std::u16string& guid) {
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, u"Tarnwick.db")) return false;
  bool ok = true;
  try {
    if (!db.TableExists(u"Tb_Region"))
      db.Execute(u"CREATE TABLE [Tb_Region](Name varchar NOT NULL, Guid varchar NOT NULL, ParentGuid varchar NOT NULL);");
    db.Execute(u"insert into [Tb_Region] values(?, ?, '');", {name, guid});
  } catch (const CppSQLite3Exception& e) {
    std::fprintf(stderr, "demohome: %s\n", e.Detail().c_str());
    ok = false;
  }
  CloseDatabase(db);
  return ok;
}

constexpr const char* kUsage =
    "usage: demohome --camera-port N --recorder-port M [--nvr-port K]\n"
    "Seeds the program folder (TARNWICK_HOME) with a demo region, camera, recorder and NVR on\n"
    "the emulators' ports (1-65535); a folder that has devices already is left as it is.\n";

// A port number as given: decimal digits only, 1 to 65535.
bool ParsePort(const char* text, int& port) {
  if (!text || !*text || std::strlen(text) > 5 || std::strspn(text, "0123456789") != std::strlen(text)) return false;
  port = std::atoi(text);
  return port >= 1 && port <= 65535;
}

}  // namespace

int main(int argc, char** argv) {
  int cameraPort = 9000, recorderPort = 8000, nvrPort = kNvrPort;
  for (int i = 1; i < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    int* port = a == "--camera-port" ? &cameraPort
                : a == "--recorder-port" ? &recorderPort
                : a == "--nvr-port" ? &nvrPort
                : nullptr;
    if (!port || i + 1 >= argc || !ParsePort(argv[i + 1], *port)) {
      std::fprintf(stderr, "demohome: %s: %s\n%s", a.c_str(), port ? "a port from 1 to 65535 expected" : "unknown argument", kUsage);
      return 2;
    }
  }
  SetUiService(std::make_unique<ConsoleUi>());
  CreateUserDatabase();
  CDeviceManager* devices = CDeviceManager::GetInstance();
  devices->Load();
  if (devices->Count() > 0) return 0;
  const std::u16string region = MakeGuidString();
  bool ok = SaveRegion(u"Demo", region) &&
            AddDevice(u"Camera", u"127.0.0.1", cameraPort, u"admin", u"admin", 1, DEV_TYPE_IPC, region) &&
            AddDevice(u"Recorder", u"localhost", recorderPort, u"admin", u"12345", 4, DEV_TYPE_DVR, region) &&
            AddDevice(u"NVR", kNvrAddress, nvrPort, u"admin", u"admin", kNvrChannels, DEV_TYPE_NVR, region) &&
            devices->Save();
  CDeviceManager::ReleaseInstance();
  if (!ok) {
    std::fprintf(stderr, "demohome: the demo devices could not be stored\n");
    return 1;
  }
  std::printf("demo devices stored: Camera (127.0.0.1:%d), Recorder (localhost:%d), NVR (%s:%d)\n", cameraPort,
              recorderPort, plat::utf16ToUtf8(kNvrAddress).c_str(), nvrPort);
  return 0;
}
