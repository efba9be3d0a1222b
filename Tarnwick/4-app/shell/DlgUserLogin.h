#pragma once
// The login dialog: start-up login (mode 0), switch user (mode 1) and unlock (mode 2). The
// decisions are the controller's; the dialog shows them.
#include <QBrush>
#include <QDialog>
#include <QImage>
#include <QTimer>

#include "shell/LoginController.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class CBitmapButtonEx;

class CDlgUserLogin : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 168;
  enum ControlId {
    IDC_LABEL_USER = 5552,
    IDC_USER = 1461,
    IDC_LABEL_PASSWORD = 1962,
    IDC_PASSWORD = 4614,
    IDC_AUTO_LOGIN = 4621,
    IDC_LOGIN = 2513,
    IDC_CANCEL = 2464,
    IDC_LANGUAGE = 1462,
    IDC_LABEL_LANGUAGE = 1963,
    IDC_CLOSE = 2465,
    IDC_MINIMIZE = 2514,
    IDC_WAIT_NOTE = 1964  // how long the next unlock try must wait
  };

  explicit CDlgUserLogin(QWidget* parent = nullptr);
  ~CDlgUserLogin() override;

  void SetMode(int mode) { m_controller.SetMode(mode); }
  // Sets the dialog up (once) and runs it: IDOK after a login, IDCANCEL otherwise.
  int DoModal();
  void EnsureInitialized();

  void OnLogin();
  void OnLanguageChanged();
  CLoginController& Controller() { return m_controller; }

 protected:
  bool OnInitDialog();
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void LoadTexts();
  // Unlocking after repeated wrong passwords: the password and the login button rest, and
  // the dialog counts down the seconds, until the next try may be checked.
  void HoldWhileWaiting();
  // Whether the dialog shows the wait (until the wait's end has been shown).
  bool Resting() const;

  CLoginController m_controller;
  bool m_initialized = false;
  QComboBox* m_user = nullptr;
  QLineEdit* m_password = nullptr;
  QCheckBox* m_autoLogin = nullptr;
  QComboBox* m_language = nullptr;
  QLabel* m_labelUser = nullptr;
  QLabel* m_labelPassword = nullptr;
  QLabel* m_labelLanguage = nullptr;
  QLabel* m_waitNote = nullptr;
  CBitmapButtonEx* m_btnLogin = nullptr;
  CBitmapButtonEx* m_btnCancel = nullptr;
  CBitmapButtonEx* m_btnClose = nullptr;
  CBitmapButtonEx* m_btnMinimize = nullptr;
  QImage m_captionImage;
  QImage m_bottomImage;
  QRect m_captionRect;
  bool m_dragging = false;
  QPoint m_dragOffset;
  QTimer m_waitTimer;
};
