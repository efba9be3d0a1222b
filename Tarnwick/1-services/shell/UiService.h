#pragma once
// Every modal question, notice and folder choice of the program goes through one service, so
// headless runs (tests) answer them instead of blocking on a window.
#include <memory>
#include <optional>
#include <string>

class QObject;

// Message box types and answers, with the system's values.
constexpr unsigned MB_OK = 0x00, MB_OKCANCEL = 0x01, MB_YESNOCANCEL = 0x03, MB_YESNO = 0x04;
constexpr unsigned MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

class IUiService {
 public:
  virtual ~IUiService() = default;
  // A message box; the answer (IDOK, IDCANCEL, IDYES, IDNO). The owner is the window the box
  // belongs to (null for none): the services know no widgets, so it comes as the object it is.
  virtual int MessageBox(QObject* owner, const std::u16string& text, const std::u16string& caption,
                         unsigned type) = 0;
  // A short notice in the taskbar notifier.
  virtual void Notice(const std::u16string& text) = 0;
  // A folder chosen by the user (UTF-8 path), or nothing when cancelled.
  virtual std::optional<std::string> BrowseForFolder(QObject* owner, const std::u16string& title,
                                                     const std::string& startFolder) = 0;
};

// The program's service (the interactive one unless replaced).
IUiService& UiService();
// Replaces the service; returns the previous one (null restores the interactive one).
std::unique_ptr<IUiService> SetUiService(std::unique_ptr<IUiService> service);
// How the interactive service is made when none is set. It shows windows, so the program
// installs it from above (InstallInteractiveUi) before anything asks.
using InteractiveUiFactory = std::unique_ptr<IUiService> (*)();
void SetInteractiveUiFactory(InteractiveUiFactory make);
