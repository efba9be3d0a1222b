// The journeys' test program: one QApplication on the offscreen platform, with the font the
// program itself sets, so that pages lay out as a user sees them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  QApplication::setFont(font);
  return RUN_ALL_TESTS();
}
