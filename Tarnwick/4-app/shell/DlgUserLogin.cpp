#include "shell/DlgUserLogin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "controls/BitmapButtonEx.h"
#include "controls/EditLimit.h"
#include "controls/PngResource.h"
#include "controls/TaskbarNotifier.h"
#include "plat/clock.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 236;
const QColor kBackground(145, 151, 160);
constexpr int kWaitNoteTickMs = 250;  // how often the count down is looked at

template <class W>
W* Make(QWidget* parent, int id) {
  auto* w = new W(parent);
  plat::Named(w, id);
  return w;
}

}  // namespace

CDlgUserLogin::CDlgUserLogin(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  plat::Named(this, kTemplateId);
  setFixedSize(kWidth, kHeight);
  m_labelUser = Make<QLabel>(this, IDC_LABEL_USER);
  m_user = Make<QComboBox>(this, IDC_USER);
  m_user->setEditable(true);
  m_labelPassword = Make<QLabel>(this, IDC_LABEL_PASSWORD);
  m_password = Make<QLineEdit>(this, IDC_PASSWORD);
  m_password->setEchoMode(QLineEdit::Password);
  m_autoLogin = Make<QCheckBox>(this, IDC_AUTO_LOGIN);
  m_labelLanguage = Make<QLabel>(this, IDC_LABEL_LANGUAGE);
  m_language = Make<QComboBox>(this, IDC_LANGUAGE);
  m_btnLogin = new CBitmapButtonEx(this, IDC_LOGIN);
  m_btnCancel = new CBitmapButtonEx(this, IDC_CANCEL);
  m_btnClose = new CBitmapButtonEx(this, IDC_CLOSE);
  m_btnMinimize = new CBitmapButtonEx(this, IDC_MINIMIZE);
  for (CBitmapButtonEx* b : {m_btnLogin, m_btnCancel, m_btnClose, m_btnMinimize})
    plat::Named(b, b->GetDlgCtrlID());

  m_labelUser->setGeometry(50, 58, 80, 24);
  m_user->setGeometry(140, 58, 210, 24);
  m_labelPassword->setGeometry(50, 92, 80, 24);
  m_password->setGeometry(140, 92, 210, 24);
  m_labelLanguage->setGeometry(50, 126, 80, 24);
  m_language->setGeometry(140, 126, 210, 24);
  m_autoLogin->setGeometry(140, 158, 210, 22);
  // Only unlocking waits, where the automatic login cannot be changed: the note takes its row.
  m_waitNote = Make<QLabel>(this, IDC_WAIT_NOTE);
  m_waitNote->setGeometry(50, 158, 300, 22);
  m_waitNote->hide();
  // Tab goes down the dialog as it is laid out: the language list stands above the check box.
  setTabOrder(m_password, m_language);
  setTabOrder(m_language, m_autoLogin);

  connect(m_btnLogin, &QAbstractButton::clicked, this, [this] { OnLogin(); });
  connect(m_btnCancel, &QAbstractButton::clicked, this, [this] { reject(); });
  connect(m_btnClose, &QAbstractButton::clicked, this, [this] { reject(); });
  connect(m_btnMinimize, &QAbstractButton::clicked, this, [this] { showMinimized(); });
  connect(m_language, &QComboBox::activated, this, [this] { OnLanguageChanged(); });
  connect(&m_waitTimer, &QTimer::timeout, this, [this] { HoldWhileWaiting(); });
  for (QWidget* w : std::initializer_list<QWidget*>{m_user, m_password, m_autoLogin, m_language, m_btnLogin,
                                                    m_btnCancel})
    w->installEventFilter(this);
  if (m_user->lineEdit()) m_user->lineEdit()->installEventFilter(this);
}

CDlgUserLogin::~CDlgUserLogin() = default;

int CDlgUserLogin::DoModal() {
  EnsureInitialized();
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CDlgUserLogin::EnsureInitialized() {
  if (m_initialized) return;
  m_initialized = true;
  OnInitDialog();
}

void CDlgUserLogin::showEvent(QShowEvent* e) {
  EnsureInitialized();
  QDialog::showEvent(e);
}

bool CDlgUserLogin::OnInitDialog() {
  std::vector<std::u16string> recent = m_controller.LoadRecentUsers();
  for (const std::u16string& name : recent) m_user->addItem(QString::fromStdU16String(name));
  const QString initial = QString::fromStdU16String(m_controller.InitialName(recent));
  int index = m_user->findText(initial, Qt::MatchExactly);
  if (index >= 0) {
    m_user->setCurrentIndex(index);
  } else {
    m_user->setEditText(initial);
  }
  LimitTyping(m_user->lineEdit(), CLoginController::kMaxNameLength);

  const int mode = m_controller.GetMode();
  if (mode == CLoginController::kUnlock) {
    m_user->setEnabled(false);
    m_autoLogin->setEnabled(false);
  }
  if (mode != CLoginController::kStartup) m_language->setEnabled(false);
  LoadTexts();
  m_user->setToolTip(Text(IDS_USER_NAME_EMPTY));
  m_password->setToolTip(Text(IDS_PASSWORD_LENGTH));

  LoadPngResource(&m_captionImage, 6899);
  LoadPngResource(&m_bottomImage, 6903);
  m_captionRect = QRect(0, 0, width(), m_captionImage.height());
  m_btnClose->LoadImageResources(6900, 6901, 6902);
  m_btnMinimize->LoadImageResources(6904, 6905, 6906);
  m_btnLogin->LoadImageResources(6895, 6896, 6897, 0, 0, 1);
  m_btnCancel->LoadImageResources(6895, 6896, 6897, 0, 0, 1);
  for (CBitmapButtonEx* b : {m_btnLogin, m_btnCancel, m_btnClose, m_btnMinimize}) b->SizeToImage();
  const int capH = std::max(m_captionRect.height(), 20);
  m_btnClose->move(width() - m_btnClose->width() - 4, (capH - m_btnClose->height()) / 2);
  m_btnMinimize->move(m_btnClose->x() - m_btnMinimize->width() - 2, m_btnClose->y());
  m_btnLogin->move(width() / 2 - m_btnLogin->width() - 12, 192);
  m_btnCancel->move(width() / 2 + 12, 192);

  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, width(), height()), 8, 8);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
  if (m_controller.GetMode() == CLoginController::kUnlock) {
    m_password->setFocus();
  } else {
    m_user->setFocus();
  }
  HoldWhileWaiting();
  return true;
}

void CDlgUserLogin::HoldWhileWaiting() {
  const int64_t wait = m_controller.UnlockWaitMs();
  const bool waiting = wait > 0;
  const bool wasWaiting = Resting();
  m_password->setEnabled(!waiting);
  m_btnLogin->setEnabled(!waiting);
  m_autoLogin->setVisible(!waiting);
  m_waitNote->setVisible(waiting);
  if (waiting) {
    m_waitNote->setText(QString::fromStdU16String(m_controller.UnlockWaitNote()));
    m_waitTimer.start(static_cast<int>(std::min<int64_t>(wait, plat::scaled(kWaitNoteTickMs))));
  } else {
    m_waitTimer.stop();
    if (wasWaiting) m_password->setFocus();
  }
}

bool CDlgUserLogin::Resting() const { return m_waitNote->isVisibleTo(this); }

void CDlgUserLogin::LoadTexts() {
  m_labelUser->setText(Text(IDS_USER_NAME));
  m_labelPassword->setText(Text(IDS_PASSWORD));
  m_autoLogin->setText(Text(IDS_AUTO_LOGIN));
  m_btnLogin->setText(Text(IDS_LOGIN));
  m_btnCancel->setText(Text(IDS_CANCEL));
  m_labelLanguage->setText(Text(IDS_LANGUAGE));
  m_language->blockSignals(true);
  m_language->clear();
  m_language->addItem(Text(IDS_SIMPLIFIED_CHINESE));
  m_language->addItem(QStringLiteral("English"));
  const int lang = CLocalSettings::GetInstance()->GetLangID();
  m_language->setCurrentIndex(lang == 1 ? 1 : 0);
  m_language->blockSignals(false);
  setWindowTitle(QString::fromStdU16String(m_controller.CaptionText()));
  update();
}

void CDlgUserLogin::OnLogin() {
  CTaskbarNotifier::GetInstance()->CreateIfNeeded(this);
  switch (m_controller.Login(m_user->currentText().toStdU16String(), m_password->text().toStdU16String(),
                             m_autoLogin->isChecked())) {
    case CLoginController::kLoggedIn:
      accept();
      break;
    case CLoginController::kCancelled:
      reject();
      break;
    case CLoginController::kWrongPassword:
      m_password->clear();
      m_password->setFocus();
      HoldWhileWaiting();
      break;
    default:
      HoldWhileWaiting();
      break;
  }
}

void CDlgUserLogin::OnLanguageChanged() {
  m_controller.ChangeLanguage(m_language->currentIndex());
  m_controller.SetMode(CLoginController::kStartup);
  LoadTexts();
  repaint();
}

bool CDlgUserLogin::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // While the dialog rests, Return neither tries nor cancels: the focus may have moved on
      // to the cancel button when the password box went grey. A wait just over is shown over.
      if (Resting()) {
        HoldWhileWaiting();
        return true;
      }
      if (watched == m_btnCancel) {
        reject();
      } else {
        OnLogin();
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void CDlgUserLogin::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  if (!m_captionImage.isNull()) p.drawImage(m_captionRect, m_captionImage);
  p.setPen(Qt::white);
  p.drawText(m_captionRect.adjusted(10, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             windowTitle());
  // From the caption's bottom, as wide and as high as the client area (the rest lies below it).
  if (!m_bottomImage.isNull())
    p.drawImage(QRect(0, m_captionRect.height(), width(), height()), m_bottomImage);
}

void CDlgUserLogin::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && m_captionRect.contains(e->position().toPoint())) {
    m_dragging = true;
    m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(e);
}

void CDlgUserLogin::mouseMoveEvent(QMouseEvent* e) {
  if (m_dragging) move(e->globalPosition().toPoint() - m_dragOffset);
  QDialog::mouseMoveEvent(e);
}

void CDlgUserLogin::mouseReleaseEvent(QMouseEvent* e) {
  m_dragging = false;
  QDialog::mouseReleaseEvent(e);
}
