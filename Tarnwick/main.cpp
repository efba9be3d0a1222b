// The program's entry: one application object, its start routine, then its exit routine.
#include <QApplication>
#include <QFont>

#include "controls/InteractiveUi.h"
#include "shell/TarnwickApp.h"

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  InstallInteractiveUi();
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  QApplication::setFont(font);
  CTarnwickApp app;
  app.InitInstance();
  return app.ExitInstance();
}
