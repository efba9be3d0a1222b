#include "harness/UiHarness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "shell/Language.h"
#include "shell/LocalSettings.h"

namespace harness {

int ScriptedUi::MessageBox(QObject*, const std::u16string& text, const std::u16string& caption, unsigned type) {
  boxes.push_back({text, caption, type});
  if (boxAnswers.empty()) {
    ++unscriptedBoxes;
    return IDCANCEL;
  }
  int answer = boxAnswers.front();
  boxAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedUi::BrowseForFolder(QObject*, const std::u16string&, const std::string&) {
  if (folders.empty()) return std::nullopt;
  auto f = folders.front();
  folders.pop_front();
  return f;
}

ScopedScriptedUi::ScopedScriptedUi() {
  auto ui = std::make_unique<ScriptedUi>();
  ui_ = ui.get();
  previous_ = SetUiService(std::move(ui));
}

ScopedScriptedUi::~ScopedScriptedUi() { SetUiService(std::move(previous_)); }

namespace {
void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
  QPointF local(pos);
  QPointF global(w->mapToGlobal(pos));
  QMouseEvent e(type, local, local, global, button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
}  // namespace

void MousePress(QWidget* w, QPoint pos) { SendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton); }
void MouseRelease(QWidget* w, QPoint pos) { SendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton); }
void MouseMove(QWidget* w, QPoint pos, bool leftHeld) {
  SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, leftHeld ? Qt::LeftButton : Qt::NoButton);
}
void Click(QWidget* w, QPoint pos) {
  MousePress(w, pos);
  MouseRelease(w, pos);
}

void Enter(QWidget* w) {
  QPointF p(1, 1);
  QEnterEvent e(p, p, w->mapToGlobal(p));
  QApplication::sendEvent(w, &e);
}

void Leave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(w, &e);
}

void KeyPress(QWidget* w, int key, const QString& text) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &e);
}

void Pump() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

QImage Grab(QWidget* w) {
  QImage img = w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion mask = w->mask();
  if (!mask.isEmpty()) {
    // What lies outside the window's region is not part of the window.
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setClipRegion(QRegion(img.rect()).subtracted(mask));
    p.fillRect(img.rect(), Qt::transparent);
  }
  return img;
}

QString SaveScreenshot(const QImage& image, const QString& name) {
  const QString dir = qEnvironmentVariable("TARNWICK_SCREENSHOTS");
  if (dir.isEmpty()) return QString();
  QDir().mkpath(dir);
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  return image.save(path, "PNG") ? path : QString();
}

QString SaveScreenshot(QWidget* w, const QString& name) { return SaveScreenshot(Grab(w), name); }

ScopedLanguage::ScopedLanguage(bool english) {
  CLocalSettings::GetInstance()->SetLangID(english ? 1 : 0);
  SelectLanguage();
}

ScopedLanguage::~ScopedLanguage() {
  CLocalSettings::GetInstance()->SetLangID(0);
  SelectLanguage();
}

}  // namespace harness

void harness::WhenModal(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* dlg = QApplication::activeModalWidget();
    for (int i = 0; !dlg && i < 200; ++i) {
      QApplication::processEvents();
      dlg = QApplication::activeModalWidget();
    }
    ASSERT_NE(dlg, nullptr);
    answer(dlg);
  });
}
