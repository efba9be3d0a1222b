#pragma once
// Shows the wait cursor for its lifetime, or until Restore.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore();

 private:
  bool m_shown = true;
};
