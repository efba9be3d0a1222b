#include "LoginWait.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "Session.h"

namespace pellmore {

namespace {
// How long a login may take before the dialog shows (real time: it is for the eye).
constexpr int kQuietMs = 300;
}  // namespace

CDlgLoginWait::CDlgLoginWait(const QString& host, QWidget* parent)
    : QDialog(parent), mailbox_(std::make_shared<UiMailbox>(this)) {
  setObjectName(QStringLiteral("loginWait"));
  setWindowTitle(LoadLangString(4036));
  auto* l = new QVBoxLayout(this);
  auto* text = new QLabel(LoadLangString(4214).arg(host), this);
  text->setObjectName(QStringLiteral("text"));
  l->addWidget(text);
  auto* busy = new QProgressBar(this);
  busy->setRange(0, 0);  // no end known: it just moves
  busy->setTextVisible(false);
  l->addWidget(busy);
  setMinimumWidth(320);
  setWindowFlag(Qt::WindowCloseButtonHint, false);
}

CDlgLoginWait::~CDlgLoginWait() { mailbox_->Close(); }

void CDlgLoginWait::Finished() {
  finished_ = true;
  if (quiet_) quiet_->quit();
  if (isVisible()) accept();
}

bool CDlgLoginWait::Run() {
  if (!finished_) {
    QEventLoop quiet;
    quiet_ = &quiet;
    QTimer::singleShot(kQuietMs, &quiet, &QEventLoop::quit);
    quiet.exec(QEventLoop::ExcludeUserInputEvents);
    quiet_ = nullptr;
  }
  if (!finished_) exec();
  return finished_;
}

}  // namespace pellmore
