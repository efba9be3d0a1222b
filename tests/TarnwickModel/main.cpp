// The model floor's test program: a Qt application without widgets (device work answers on
// its event loop), a UI service without windows, and the process-wide services the model
// uses released after each test.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "ModelServices.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "shell/LocalSettings.h"
#include "shell/Singleton.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"

namespace modeltest {

void ResetServices() {
  // In the order the program's shut-down releases them, the settings last.
  FreePreviewManager();
  CDeviceManager::ReleaseInstance();
  devwork::Drain();
  CRecordFileRing::ReleaseInstance();
  CUser::ReleaseInstance();
  CLocalSettings::ReleaseInstance();
  SingletonAccess<CPreviewManager>::Renew();
  SingletonAccess<CDeviceManager>::Renew();
  SingletonAccess<CRecordFileRing>::Renew();
  SingletonAccess<CUser>::Renew();
  SingletonAccess<CLocalSettings>::Renew();
}

}  // namespace modeltest

namespace {

// Notices pass unseen (a test of the model sees its own through its host); nothing of this
// floor asks a question or a folder, so either fails the test that did.
class HeadlessUi : public IUiService {
 public:
  int MessageBox(QObject*, const std::u16string&, const std::u16string&, unsigned) override {
    ADD_FAILURE() << "a message box below the pages";
    return IDCANCEL;
  }
  void Notice(const std::u16string&) override {}
  std::optional<std::string> BrowseForFolder(QObject*, const std::u16string&, const std::string&) override {
    ADD_FAILURE() << "a folder choice below the pages";
    return std::nullopt;
  }
};

class ResetAfterEachTest : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { modeltest::ResetServices(); }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QGuiApplication app(argc, argv);
  SetUiService(std::make_unique<HeadlessUi>());
  SetServiceMisuseHandler([](const char* type) { ADD_FAILURE() << type << " was asked for after its release"; });
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEachTest);
  return RUN_ALL_TESTS();
}
