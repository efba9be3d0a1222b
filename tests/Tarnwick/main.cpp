// The Tarnwick test program: one QApplication on the offscreen platform for every dialog and
// control test, with a CJK-capable font so Chinese texts render in screenshots.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "harness/Services.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSize(9);
  QApplication::setFont(font);
  harness::WatchServices();
  return RUN_ALL_TESTS();
}
