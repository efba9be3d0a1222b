// Remote set-up of a camera that has stopped answering: its emulator stopped (SIGSTOP), its
// port still taking connections. The parameter dialog comes up at once saying it connects,
// the program's UI thread runs on (a timer on it keeps ticking), and closing it is
// immediate. When the camera runs again the late login is closed behind the dialog, so
// nothing of the set-up is left: no device work, no connection.
#include <QTimer>
#include <chrono>
#include <fstream>
#include <sstream>

#include "DeviceSteps.h"
#include "devices/DlgIPCParamSetting.h"
#include "harness/DeviceWorkWait.h"
#include "shell/StringIds.h"
#include "support/UiTicker.h"

namespace {

// Connections to the port on 127.0.0.1 that are established now (only this process uses it).
int ConnectionsTo(uint16_t port) {
  char peer[16];
  std::snprintf(peer, sizeof peer, "0100007F:%04X", port);
  std::ifstream table("/proc/net/tcp");
  std::string line, slot, local, remote, state;
  int n = 0;
  while (std::getline(table, line)) {
    std::istringstream(line) >> slot >> local >> remote >> state;
    n += remote == peer && state == "01";
  }
  return n;
}

class FrozenCameraSetupJourney : public DevicesJourney {};

TEST_F(FrozenCameraSetupJourney, TheDialogComesAtOnceTheProgramRunsOnAndNothingIsLeft) {
  ASSERT_TRUE(StartEmulators(true, false));
  RunProgram([&] {
    CDlgDevMgr* page = OpenDeviceManager();
    AddRegion(page);
    AddDevice(page, kCameraName, "IPCamera", 1, "127.0.0.1", camera().Port(), kCameraUser, kCameraPassword);
    ASSERT_TRUE(camera().Freeze());
    testsupport::UiTicker ticker;

    // Up at once, saying it connects; the program runs on; closed, it goes at once.
    OnModal<CDlgIPCParamSetting>([&](CDlgIPCParamSetting* dlg) {
      EXPECT_EQ(static_cast<CDlgIPCPage*>(dlg->PageWidget(0))->StatusLabel()->text(), Text(IDS_IPC_CONNECTING));
      PumpFor(1000);
      EXPECT_TRUE(dlg->LoggingIn());
      ClickId(dlg, CDlgIPCParamSetting::IDC_CLOSE);
      EXPECT_FALSE(dlg->isVisible());
    });
    RemoteSetupFromMenu(page, kCameraName);
    EXPECT_TRUE(Ui().notices.empty()) << Said();
    EXPECT_LT(ticker.LongestMs(), 1000) << "the UI thread stood still";

    // The camera runs again within the login's reply wait: the late session is closed.
    camera().Resume();
    EXPECT_TRUE(harness::SettleDeviceWork(kPatienceMs));
    EXPECT_TRUE(camera().WaitForLog([](const std::vector<std::string>& lines) {
      return std::count(lines.begin(), lines.end(), "open " + std::to_string(kIpcChanControl)) > 0;
    })) << "no login reached the camera";
    EXPECT_TRUE(WaitUntil([&] { return ConnectionsTo(camera().Port()) == 0; }))
        << "a session of the set-up is still open";
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
