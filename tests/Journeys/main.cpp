// The journeys' test program: one QApplication on the offscreen platform, with the font the
// program itself sets, so that pages lay out as a user sees them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "harness/Services.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // The offscreen screen as large as a common monitor (the main window fills the screen), so
  // that the pages lay out and look as they do on a desk.
  const fs::path screen = fs::temp_directory_path() / ("journeys-screen-" + std::to_string(getpid()) + ".json");
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
    std::ofstream(screen) << R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                          << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screen.c_str());
  }
  QApplication app(argc, argv);
  std::error_code ignored;
  fs::remove(screen, ignored);
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  QApplication::setFont(font);
  harness::WatchServices();
  return RUN_ALL_TESTS();
}
