#pragma once
// Helpers every dialog test uses: scripted answers to the UI service, synthetic input,
// screenshots on demand, and the interface language.
#include <QImage>
#include <QPoint>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/UiService.h"

class QWidget;

namespace harness {

// A UI service that answers from a script and records what was asked.
class ScriptedUi : public IUiService {
 public:
  struct Box {
    std::u16string text, caption;
    unsigned type;
  };
  std::deque<int> boxAnswers;                      // next answers; IDCANCEL when empty
  std::deque<std::optional<std::string>> folders;  // next folder choices; none when empty
  std::vector<Box> boxes;
  std::vector<std::u16string> notices;
  int unscriptedBoxes = 0;

  int MessageBox(QObject*, const std::u16string& text, const std::u16string& caption, unsigned type) override;
  void Notice(const std::u16string& text) override { notices.push_back(text); }
  std::optional<std::string> BrowseForFolder(QObject*, const std::u16string&, const std::string&) override;
};

// Installs a ScriptedUi for the scope and restores the previous service.
class ScopedScriptedUi {
 public:
  ScopedScriptedUi();
  ~ScopedScriptedUi();
  ScriptedUi& operator*() { return *ui_; }
  ScriptedUi* operator->() { return ui_; }

 private:
  ScriptedUi* ui_;
  std::unique_ptr<IUiService> previous_;
};

// Synthetic input, delivered at once.
void MousePress(QWidget* w, QPoint pos = QPoint(2, 2));
void MouseRelease(QWidget* w, QPoint pos = QPoint(2, 2));
void MouseMove(QWidget* w, QPoint pos, bool leftHeld = false);
void Click(QWidget* w, QPoint pos = QPoint(2, 2));
void Enter(QWidget* w);
void Leave(QWidget* w);
void KeyPress(QWidget* w, int key, const QString& text = QString());
// Runs posted events until none is left (bounded).
void Pump();
// Answers the next modal dialog once it is up.
void WhenModal(std::function<void(QWidget*)> answer);

// The widget as painted now. Saved as <dir>/<name>.png when TARNWICK_SCREENSHOTS names a
// folder; the path written, or empty.
QImage Grab(QWidget* w);
QString SaveScreenshot(QWidget* w, const QString& name);
QString SaveScreenshot(const QImage& image, const QString& name);

// Switches the interface language (false Chinese, true English) for the scope.
class ScopedLanguage {
 public:
  explicit ScopedLanguage(bool english);
  ~ScopedLanguage();
};

}  // namespace harness
