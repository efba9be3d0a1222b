#pragma once
// The logic of the user manager page and its two dialogs, without widgets: the account list,
// the selected account and its rights word, adding, deleting and editing accounts in
// UserInfo.db, and the checks the add-user and edit-user dialogs make before they close.
#include <cstdint>
#include <string>
#include <vector>

// A dialog check: 0 when the input passes, else the string id of the notice to show.
struct PasswordCheck {
  uint32_t notice = 0;
  bool clearPasswords = false;  // both password boxes emptied, the first one focused
};

inline constexpr int PASSWORD_MIN_LENGTH = 6;
inline constexpr int PASSWORD_MAX_LENGTH = 16;
inline constexpr int USER_NAME_MAX_LENGTH = 63;

// Leading and trailing white space removed.
std::u16string TrimmedName(const std::u16string& name);
// The add-user dialog's check: name (already trimmed) not empty, passwords equal, length.
PasswordCheck CheckNewUser(const std::u16string& trimmedName, const std::u16string& password,
                           const std::u16string& confirmation);
// The edit-user and change-password dialogs' check of a new password: equal, then length.
PasswordCheck CheckNewPassword(const std::u16string& password, const std::u16string& confirmation);

class UserMgrController {
 public:
  struct Row {
    std::u16string name;
    std::u16string identity;  // display text
  };
  // What the delete button may do for the selected account.
  enum class DeleteCheck { Nothing, RefuseAdmin, RefuseSelf, Ask };
  enum class AddResult { Added, Exists, Failed };
  enum class ModifyResult { Saved, SaveFailed, Missing };

  // The rights the tree offers, in its order (voice talk has no item).
  static const std::vector<std::pair<uint32_t, int>>& RightItems();

  // Every account of Tb_UserInfo, in table order (fewer rows when the store fails).
  std::vector<Row> LoadAccounts();

  // A click on the list: row -1 (empty space) only forgets the index.
  void Select(int row, const std::u16string& name);
  int SelectedIndex() const { return selected_; }
  const std::u16string& SelectedName() const { return name_; }
  const std::u16string& SelectedIdentity() const { return identity_; }
  int Power() const { return power_; }
  // An administrator's rights cannot be edited.
  bool RightsEditable() const;
  bool SelectedIsAdmin() const;

  // A tick or untick in the rights tree: the word changes by that bit and is written at once.
  // False when the database refused it: the word stays as stored.
  bool SetRight(int bit, bool on);

  AddResult Add(const std::u16string& name, const std::u16string& password,
                const std::u16string& identity);

  DeleteCheck CheckDelete() const;
  // After the user confirmed: the account goes from Tb_UserInfo and Tb_RecentLoginUser, in one
  // transaction. False when the database refused it: the account stays, and stays selected.
  bool DeleteSelected();

  // What the edit-user dialog is given: it never shows a password.
  std::u16string RememberedPassword() const { return password_; }
  // The edit-user dialog's result for the selected account.
  ModifyResult Modify(const std::u16string& newPassword, const std::u16string& identity);

 private:
  int selected_ = -1;
  std::u16string name_;
  std::u16string password_;
  std::u16string identity_;
  int power_ = 0;
};

// The change-password dialog's logic for the logged-in user.
enum class ChangePasswordResult { NoUser, NoStore, WrongOld, Mismatch, BadLength, SaveFailed, Changed };
ChangePasswordResult ChangeOwnPassword(const std::u16string& oldPassword, const std::u16string& newPassword,
                                       const std::u16string& confirmation);
