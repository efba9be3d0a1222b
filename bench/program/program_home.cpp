#include "program_home.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "shell/DbHelpers.h"
#include "shell/GuidString.h"
#include "shell/Singleton.h"
#include "shell/UserStore.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;

namespace benchprog {

void seedHome(const fs::path& home, const std::function<void(CDevMgrModel&, const std::u16string&)>& fill) {
  fs::create_directories(home);
  setenv("TARNWICK_HOME", home.c_str(), 1);
  CreateUserDatabase();
  {
    CppSQLite3DB db;
    std::u16string identity;
    if (OpenDatabaseInProgramDir(db, USER_DB_NAME)) {
      // A home seeded again (each live case of a size) keeps its one automatic login.
      if (UserExists(db, TB_AUTO_LOGIN_USER, ADMIN_NAME) != 1)
        InsertUserRow(db, TB_AUTO_LOGIN_USER, ADMIN_NAME, u"", identity);
      CloseDatabase(db);
    }
  }
  {
    CDevMgrModel model;
    const std::u16string root = MakeGuidString();
    model.AddRegionNode(u"总部", root, u"");
    fill(model, root);
    if (!model.SaveAll()) std::fprintf(stderr, "the devices of %s were not saved\n", home.c_str());
  }
  // The next home starts with a device list of its own.
  CDeviceManager::ReleaseInstance();
  SingletonAccess<CDeviceManager>::Renew();
}

bool addDevice(CDevMgrModel& model, const std::u16string& name, const std::u16string& host, int port,
               int channels, int type, const std::u16string& guid, const std::u16string& region) {
  auto* device = new CDevice(CDevInfo(name, host, port, u"admin", u"admin", channels, u"", u"", u"", u"", 0, 0,
                                      type, guid, region));
  if (model.Devices()->Add(device)) return true;
  delete device;
  return false;
}

void seedSavedPreviews(const std::vector<std::pair<std::u16string, int>>& channels) {
  CPreviewManager previews(true);
  for (size_t i = 0; i < channels.size(); ++i)
    previews.Add(std::make_shared<CPreviewItem>(static_cast<int>(i), channels[i].second, 0, channels[i].first));
  if (!previews.SaveSession()) std::fprintf(stderr, "preivew.db was not written\n");
}

std::vector<std::string> programEnv(const fs::path& home, const fs::path& runtime) {
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
  const fs::path screen = runtime.parent_path() / "screen.json";
  if (!fs::exists(screen))
    std::ofstream(screen) << R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                             R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})"
                          << "\n";
  return {"TARNWICK_HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
          "QT_QPA_PLATFORM=offscreen:configfile=" + screen.string(), "TARNWICK_AUDIO=null"};
}

bool expect(bench::Child& child, const std::string& word, std::string* rest, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  const std::string prefix = "bench: " + word;
  std::string line;
  for (;;) {
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
    if (left <= 0 || !bench::readLine(child, &line, left)) return false;
    if (line.compare(0, prefix.size(), prefix) == 0) {
      *rest = line.substr(prefix.size());
      return true;
    }
  }
}

void row(const std::string& measure, const std::string& value, const std::string& meaning) {
  std::printf("| %-44s | %-30s | %s\n", measure.c_str(), value.c_str(), meaning.c_str());
  std::fflush(stdout);
}

std::string fmt(const char* f, double a, double b, double c) {
  char buf[160];
  std::snprintf(buf, sizeof buf, f, a, b, c);
  return buf;
}

}  // namespace benchprog
