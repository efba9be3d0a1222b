#pragma once
// A small dialog on the skinned base, laid out like the program's password dialogs: three
// labelled fields and two text image buttons. Button 1 (OK) is taken by the dialog's own
// message map; button 2 (Cancel) is not.
#include <QLabel>
#include <QLineEdit>
#include <vector>

#include "controls/BitmapButtonEx.h"
#include "controls/QxDialog.h"
#include "shell/Language.h"
#include "shell/Text.h"

namespace harness {

class SampleDialog : public CQxDialog {
 public:
  static constexpr int kOk = 1, kCancel = 2;
  explicit SampleDialog(QWidget* parent = nullptr) : CQxDialog(134, parent) {
    resize(330, 150);
    const int ids[] = {8057, 8062, 8128};
    for (int i = 0; i < 3; ++i) {
      auto* label = new QLabel(Text(ids[i]), this);
      label->setGeometry(10, 14 + i * 32, 140, 22);
      auto* edit = new QLineEdit(this);
      edit->setGeometry(150, 14 + i * 32, 150, 22);
      if (i > 0) edit->setEchoMode(QLineEdit::Password);
    }
    ok = new CBitmapButtonEx(this, kOk);
    cancel = new CBitmapButtonEx(this, kCancel);
    ok->setGeometry(62, 112, 10, 10);
    cancel->setGeometry(176, 112, 10, 10);
  }
  CBitmapButtonEx* ok;
  CBitmapButtonEx* cancel;
  std::vector<uintptr_t> taken;  // image-button presses the dialog's map took

 protected:
  bool OnInitDialog() override {
    CQxDialog::OnInitDialog();
    setWindowTitle(Text(8289));
    for (auto [b, id] : {std::pair{ok, 8004}, std::pair{cancel, 8006}}) {
      b->setText(Text(id));
      b->LoadImageResources(6895, 6896, 6897, 0, 0, 1);
      b->SizeToImage();
    }
    return true;
  }
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t, intptr_t& result) override {
    if (message == WM_IMAGEBUTTON_DOWN && wParam == kOk) {
      taken.push_back(wParam);
      result = 0;
      return true;
    }
    return false;
  }
};

}  // namespace harness
