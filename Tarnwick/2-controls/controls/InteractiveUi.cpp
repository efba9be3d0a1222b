#include "controls/InteractiveUi.h"

#include <QFileDialog>
#include <QMessageBox>

#include "controls/TaskbarNotifier.h"
#include "shell/UiService.h"

namespace {

QMessageBox::StandardButtons ButtonsFor(unsigned type) {
  switch (type & 0x0F) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconFor(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

class InteractiveUi : public IUiService {
 public:
  int MessageBox(QObject* owner, const std::u16string& text, const std::u16string& caption,
                 unsigned type) override {
    QMessageBox box(IconFor(type), QString::fromStdU16String(caption), QString::fromStdU16String(text),
                    ButtonsFor(type), qobject_cast<QWidget*>(owner));
    switch (box.exec()) {
      case QMessageBox::Ok: return IDOK;
      case QMessageBox::Yes: return IDYES;
      case QMessageBox::No: return IDNO;
      default: return IDCANCEL;
    }
  }
  void Notice(const std::u16string& text) override { CTaskbarNotifier::GetInstance()->Show(text, 500, 3000, 500); }
  std::optional<std::string> BrowseForFolder(QObject* owner, const std::u16string& title,
                                             const std::string& startFolder) override {
    QString dir = QFileDialog::getExistingDirectory(qobject_cast<QWidget*>(owner), QString::fromStdU16String(title),
                                                    QString::fromStdString(startFolder));
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
  }
};

}  // namespace

void InstallInteractiveUi() {
  SetInteractiveUiFactory([]() -> std::unique_ptr<IUiService> { return std::make_unique<InteractiveUi>(); });
}
