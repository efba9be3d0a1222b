#pragma once
// What the login dialog decides, without widgets: the recent names, the name and password
// checks with the start-up limit of three tries, the current user, the recent and automatic
// logins, the language, the settings file and the removal of the lock.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/StringIds.h"

class CLoginController {
 public:
  enum Mode { kStartup = 0, kSwitchUser = 1, kUnlock = 2 };
  enum Result {
    kUnknownUser,     // notice IDS_UNKNOWN_USER, the dialog stays
    kWrongPassword,   // notice IDS_WRONG_PASSWORD, the password edit is emptied, the dialog stays
    kPasswordTooLong, // no notice, the dialog stays
    kCancelled,       // third wrong password at start-up: the dialog is cancelled
    kNoCurrentUser,   // the dialog stays
    kWaiting,         // unlocking: the next try must wait (UnlockWaitMs); nothing checked or counted
    kLoggedIn         // the dialog ends with OK
  };
  static constexpr int kMaxPasswordLength = 16;
  static constexpr int kStartupTries = 3;
  static constexpr int kMaxNameLength = 63;

  CLoginController() = default;

  // Stores the mode and picks the caption: IDS_SWITCH_USER, IDS_UNLOCK, else IDS_LOGIN_CAPTION.
  void SetMode(int mode);
  int GetMode() const { return m_mode; }
  uint32_t CaptionId() const { return m_captionId; }
  std::u16string CaptionText() const;

  // Names of Tb_RecentLoginUser in row order (the dialog selects the last one).
  std::vector<std::u16string> LoadRecentUsers() const;
  // The name the dialog offers: the most recent login made through the dialog (also when
  // unlocking, where it cannot be changed).
  std::u16string InitialName(const std::vector<std::u16string>& recent) const;

  // Unlocking after repeated wrong passwords: milliseconds before a try is checked (0: now).
  int64_t UnlockWaitMs() const;
  // The same wait as the dialog says it, in whole seconds of the product's clock.
  std::u16string UnlockWaitNote() const;

  // Checks the name, then the password; on success makes the account the current user and
  // saves the recent list, the automatic login (start-up and switch user only) and the
  // settings file. Afterwards, for a login, the lock is removed when installed.
  Result Login(const std::u16string& name, const std::u16string& password, bool autoLogin);

  // Start-up only: the language of the interface (0 Chinese, 1 English) from now on; it
  // reaches the settings file with the next successful login.
  void ChangeLanguage(int index);

  int FailedAttempts() const { return m_attempts; }
  bool LoggedIn() const { return m_loggedIn; }

 private:
  bool CheckUser(const std::u16string& name);
  Result CheckPassword(const std::u16string& name, const std::u16string& password);
  void SaveAutoLogin(const std::u16string& name, bool autoLogin);
  void SaveRecentUser(const std::u16string& name);

  int m_mode = kStartup;
  uint32_t m_captionId = IDS_LOGIN_CAPTION;
  int m_attempts = 0;
  bool m_loggedIn = false;
  std::u16string m_storedPassword;
  std::u16string m_storedIdentity;
};
