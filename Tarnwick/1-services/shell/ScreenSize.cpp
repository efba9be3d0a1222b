#include <QGuiApplication>
#include <QScreen>

#include "shell/Disks.h"

void GetScreenSize(int* width, int* height) {
  // Without a GUI (tools, early start-up) answer a common desktop size rather than 0,
  // which callers would divide by.
  int w = 1024, h = 768;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      w = s->geometry().width();
      h = s->geometry().height();
    }
  }
  if (width) *width = w;
  if (height) *height = h;
}
