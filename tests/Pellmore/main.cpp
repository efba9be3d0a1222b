// The configuration library's tests: one QApplication on the offscreen platform (the library
// makes none of its own), with a CJK-capable font for the screenshots.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSize(9);
  QApplication::setFont(font);
  return RUN_ALL_TESTS();
}
