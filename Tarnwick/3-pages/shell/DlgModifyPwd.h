#pragma once
// The change-password dialog of the logged-in user.
#include "controls/QxDialog.h"

class QLineEdit;
class QPushButton;

class CDlgModifyPwd : public CQxDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 146;
  enum ControlId {
    IDC_GROUP = 1952, IDC_LABEL_OLD = 1953, IDC_OLD = 1447, IDC_LABEL_NEW = 1954, IDC_NEW = 1460,
    IDC_LABEL_CONFIRM = 1955, IDC_CONFIRM = 1462, IDC_OK = 2460, IDC_CANCEL = 2463
  };

  explicit CDlgModifyPwd(QWidget* parent = nullptr);

  void OnModify();

 protected:
  bool OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QLineEdit* m_old;
  QLineEdit* m_new;
  QLineEdit* m_confirm;
  QPushButton* m_ok;
  QPushButton* m_cancel;
};
