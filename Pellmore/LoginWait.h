#pragma once
// The wait while CF_Login logs in on the session's queue. For a moment nothing shows (a
// recorder that answers at once makes no dialog flash; input waits, painting goes on), then a
// small modal dialog says whom it logs in to until the login has ended. It offers no way out:
// CF_Login answers whether the login went through, and every login exchange has its deadline.
#include <QDialog>
#include <memory>

#include "UiMailbox.h"

class QEventLoop;

namespace pellmore {

class CDlgLoginWait : public QDialog {
 public:
  explicit CDlgLoginWait(const QString& host, QWidget* parent = nullptr);
  ~CDlgLoginWait() override;

  // Where the login's result is handed in.
  const std::shared_ptr<UiMailbox>& Mailbox() const { return mailbox_; }
  // The login has ended (UI thread): the wait ends.
  void Finished();
  // Waits; true once Finished came (false only when the event loops were ended under it,
  // as the application quitting does).
  bool Run();
  // Escape and the close box leave the wait as it is.
  void reject() override {}

 private:
  std::shared_ptr<UiMailbox> mailbox_;
  bool finished_ = false;
  QEventLoop* quiet_ = nullptr;  // the moment before the dialog shows
};

}  // namespace pellmore
