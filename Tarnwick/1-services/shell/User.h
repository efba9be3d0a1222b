#pragma once
// The logged-in user: name, password, administrator flag and rights word. One object for
// the whole program, filled at login and refilled when the user is switched.
#include <string>

class CUser {
 public:
  CUser();
  virtual ~CUser();
  CUser(const CUser&) = delete;
  CUser& operator=(const CUser&) = delete;

  static CUser* GetInstance();
  // At shut-down; the next GetInstance makes a fresh, empty user.
  static void ReleaseInstance();

  std::u16string GetName() const { return m_name; }
  void SetName(const std::u16string& name) { m_name = name; }
  std::u16string GetPassword() const { return m_password; }
  void SetPassword(const std::u16string& password) { m_password = password; }
  // Identity display text: the administrator's word of the current language makes an
  // administrator.
  void SetIdentify(const std::u16string& identity);
  bool IsAdmin() const { return m_notAdmin == 0; }

  int GetPower() const { return m_power; }
  void SetPower(int power) { m_power = power; }
  bool HasRight(int bit) const { return (bit & m_power) != 0; }
  static int AddRight(int& power, int bit) { return power |= bit; }

 private:
  std::u16string m_name;
  std::u16string m_password;
  int m_notAdmin = 1;
  int m_power = 0;
};
