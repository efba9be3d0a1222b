// The user manager page, its two dialogs and the change-password dialog: the logic against a
// real UserInfo.db, and the page driven through its widgets by control id.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "controls/BitmapButtonEx.h"
#include "controls/ListCtrlEx.h"
#include "harness/UiHarness.h"
#include "settings_fixture.h"
#include "shell/DbHelpers.h"
#include "shell/DlgModifyPwd.h"
#include "shell/DlgUserMgr.h"
#include "shell/Language.h"
#include "shell/LoginController.h"
#include "shell/PasswordHash.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

namespace {

class UserMgr : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();
    ASSERT_EQ(CreateUserDatabase(), 1);
    LogIn(u"admin");
  }
  static void LogIn(const std::u16string& name) {
    CUser::GetInstance()->SetName(name);
    CUser::GetInstance()->SetIdentify(LoadResString(name == u"admin" ? IDS_IDENTITY_ADMIN : IDS_IDENTITY_USER));
  }
  static void Exec(const std::u16string& sql) {
    CppSQLite3DB db;
    db.Open(ProgramDirPath(USER_DB_NAME));
    db.Execute(sql);
  }
  static int Power(const std::u16string& name) {
    int power = -1;
    GetUserPower(TB_USER_INFO, name, power);
    return power;
  }
  // Whether the account's stored password (a hash) is `password`.
  static bool HasPassword(const std::u16string& name, const std::u16string& password) {
    CppSQLite3Query row;
    return QueryUser(TB_USER_INFO, name, row) && MatchPassword(row.FieldText(1), password) == PasswordMatch::Yes;
  }
  static bool Exists(const std::u16string& table, const std::u16string& name) {
    CppSQLite3DB db;
    db.Open(ProgramDirPath(USER_DB_NAME));
    return UserExists(db, table, name) != 0;
  }
  static std::u16string Admin() { return LoadResString(IDS_IDENTITY_ADMIN); }
  static std::u16string Ordinary() { return LoadResString(IDS_IDENTITY_USER); }
  // Every update of an account fails from now on, as a broken store would.
  static void RefuseUpdates() {
    Exec(u"create trigger no_update before update on Tb_UserInfo begin select raise(abort, 'refused'); end;");
  }
};

TEST_F(UserMgr, DialogChecksRefuseEmptyNamesMismatchesAndBadLengths) {
  EXPECT_EQ(TrimmedName(u"  \t 张三 \u3000"), u"张三");
  EXPECT_EQ(CheckNewUser(TrimmedName(u"   "), u"123456", u"123456").notice, 8220u);
  EXPECT_EQ(CheckNewUser(u"a", u"123456", u"123457").notice, 8231u);
  PasswordCheck shortOne = CheckNewUser(u"a", u"12345", u"12345");
  EXPECT_EQ(shortOne.notice, 8229u);
  EXPECT_TRUE(shortOne.clearPasswords);
  EXPECT_EQ(CheckNewPassword(u"12345678901234567", u"12345678901234567").notice, 8229u);
  EXPECT_EQ(CheckNewUser(u"a", u"123456", u"123456").notice, 0u);
  EXPECT_EQ(CheckNewPassword(u"1234567890123456", u"1234567890123456").notice, 0u);
}

TEST_F(UserMgr, AccountsAreAddedEditedAndDeletedInTheStore) {
  UserMgrController c;
  EXPECT_EQ(c.Add(u"boss", u"bosspw", Admin()), UserMgrController::AddResult::Added);
  EXPECT_EQ(c.Add(u"guest", u"guestpw", Ordinary()), UserMgrController::AddResult::Added);
  EXPECT_EQ(c.Add(u"guest", u"another", Admin()), UserMgrController::AddResult::Exists);
  EXPECT_EQ(Power(u"boss"), 63);
  EXPECT_EQ(Power(u"guest"), 0);
  auto rows = c.LoadAccounts();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].name, u"guest");
  EXPECT_EQ(rows[2].identity, Ordinary());
  EXPECT_EQ(rows[1].identity, Admin());

  // Rights of an ordinary user: each tick is written at once and voice talk stays as stored.
  SetUserPower(TB_USER_INFO, u"guest", RIGHT_VOICE_TALK);
  c.Select(2, u"guest");
  EXPECT_TRUE(c.RightsEditable());
  c.SetRight(RIGHT_PTZ, true);
  c.SetRight(RIGHT_REMOTE_CONFIG, true);
  EXPECT_EQ(Power(u"guest"), RIGHT_VOICE_TALK | RIGHT_PTZ | RIGHT_REMOTE_CONFIG);
  c.SetRight(RIGHT_PTZ, false);
  EXPECT_EQ(Power(u"guest"), RIGHT_VOICE_TALK | RIGHT_REMOTE_CONFIG);
  c.Select(1, u"boss");
  EXPECT_FALSE(c.RightsEditable());

  // Editing: the level stays, an administrator's rights are written again.
  SetUserPower(TB_USER_INFO, u"boss", 7);
  ASSERT_EQ(c.Modify(u"newboss", c.SelectedIdentity()), UserMgrController::ModifyResult::Saved);
  EXPECT_TRUE(HasPassword(u"boss", u"newboss"));
  EXPECT_EQ(Power(u"boss"), 63);
  EXPECT_EQ(c.RememberedPassword(), u"newboss");
  c.Select(2, u"guest");
  EXPECT_TRUE(c.RememberedPassword().empty());  // never carried to another account
  RefuseUpdates();
  EXPECT_EQ(c.Modify(u"guestpw2", c.SelectedIdentity()), UserMgrController::ModifyResult::SaveFailed);
  EXPECT_TRUE(HasPassword(u"guest", u"guestpw"));

  // Deleting: never admin, never oneself; another account leaves the recent logins too.
  Exec(u"insert into Tb_RecentLoginUser values('boss', 'x', '0', 63);");
  c.Select(0, u"admin");
  EXPECT_EQ(c.CheckDelete(), UserMgrController::DeleteCheck::RefuseAdmin);
  LogIn(u"guest");
  c.Select(2, u"guest");
  EXPECT_EQ(c.CheckDelete(), UserMgrController::DeleteCheck::RefuseSelf);
  c.Select(1, u"boss");
  ASSERT_EQ(c.CheckDelete(), UserMgrController::DeleteCheck::Ask);
  EXPECT_TRUE(c.DeleteSelected());
  EXPECT_FALSE(Exists(TB_USER_INFO, u"boss"));
  EXPECT_FALSE(Exists(TB_RECENT_LOGIN_USER, u"boss"));
  EXPECT_EQ(c.SelectedIndex(), -1);
  EXPECT_EQ(c.CheckDelete(), UserMgrController::DeleteCheck::Nothing);
}

TEST_F(UserMgr, ChangingTheOwnPasswordChecksTheOldOneAndTheNextLoginNeedsTheNewOne) {
  Exec(u"update Tb_UserInfo set Password = '804261' where Name = 'admin';");  // as an older program kept it
  EXPECT_EQ(ChangeOwnPassword(u"wrong", u"abcdef", u"abcdef"), ChangePasswordResult::WrongOld);
  EXPECT_EQ(ChangeOwnPassword(u"804261", u"abcdef", u"abcdeg"), ChangePasswordResult::Mismatch);
  EXPECT_EQ(ChangeOwnPassword(u"804261", u"abcde", u"abcde"), ChangePasswordResult::BadLength);
  EXPECT_EQ(ChangeOwnPassword(u"804261", u"abcdef", u"abcdef"), ChangePasswordResult::Changed);
  CLoginController login;
  login.SetMode(CLoginController::kSwitchUser);
  EXPECT_EQ(login.Login(u"admin", u"804261", false), CLoginController::kWrongPassword);
  EXPECT_EQ(login.Login(u"admin", u"abcdef", false), CLoginController::kLoggedIn);

  RefuseUpdates();
  EXPECT_EQ(ChangeOwnPassword(u"abcdef", u"ghijkl", u"ghijkl"), ChangePasswordResult::SaveFailed);
  CUser::GetInstance()->SetName(u"");
  EXPECT_EQ(ChangeOwnPassword(u"abcdef", u"ghijkl", u"ghijkl"), ChangePasswordResult::NoUser);
}

using harness::WhenModal;

template <class W>
W* Child(QWidget* parent, int id) {
  W* w = parent->findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

void Type(QWidget* dlg, int id, const QString& text) { Child<QLineEdit>(dlg, id)->setText(text); }

TEST_F(UserMgr, ThePageAddsTicksEditsAndDeletesThroughItsControls) {
  harness::ScopedScriptedUi ui;
  QWidget host;
  host.resize(700, 400);
  CDlgUserMgr page;
  ASSERT_TRUE(page.Create(&host));
  page.setGeometry(0, 0, 700, 400);
  page.show();
  auto* list = Child<CListCtrlEx>(&page, CDlgUserMgr::IDC_LIST);
  auto* tree = Child<QTreeWidget>(&page, CDlgUserMgr::IDC_RIGHTS);
  ASSERT_EQ(list->GetItemCount(), 1);
  EXPECT_FALSE(tree->isEnabled());
  EXPECT_FALSE(Child<QWidget>(&page, CDlgUserMgr::IDC_DELETE)->isEnabled());

  // A name of spaces is refused and the dialog stays; then a real ordinary user is added.
  WhenModal([](QWidget* dlg) {
    Type(dlg, 4613, "   ");
    Type(dlg, 4614, "secret1");
    Type(dlg, 4605, "secret1");
    harness::Click(Child<QWidget>(dlg, 1));
    EXPECT_TRUE(dlg->isVisible());
    Type(dlg, 4613, "  guest  ");
    Type(dlg, 4614, "12345");
    Type(dlg, 4605, "12345");
    harness::Click(Child<QWidget>(dlg, 1));
    EXPECT_TRUE(Child<QLineEdit>(dlg, 4614)->text().isEmpty());
    Type(dlg, 4614, "secret1");
    Type(dlg, 4605, "secret1");
    EXPECT_TRUE(Child<QRadioButton>(dlg, 4616)->isChecked());
    harness::Click(Child<QWidget>(dlg, 1));
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_ADD));
  ASSERT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetItemText(1, 0), "guest");
  EXPECT_EQ(list->GetItemText(1, 1), QString::fromStdU16String(Ordinary()));
  EXPECT_EQ(ui->notices, (std::vector<std::u16string>{LoadResString(8220), LoadResString(8229)}));

  // Esc does not end the add-user dialog; Cancel, a plain button, does: nothing is added.
  WhenModal([](QWidget* dlg) {
    EXPECT_NE(qobject_cast<QPushButton*>(Child<QWidget>(dlg, 1)), nullptr) << "OK is a plain button";
    EXPECT_NE(qobject_cast<QPushButton*>(Child<QWidget>(dlg, 2)), nullptr) << "Cancel is a plain button";
    Type(dlg, 4613, "nobody");
    harness::KeyPress(Child<QWidget>(dlg, 4613), Qt::Key_Escape);
    EXPECT_TRUE(dlg->isVisible());
    harness::Click(Child<QWidget>(dlg, 2));
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_ADD));
  EXPECT_EQ(list->GetItemCount(), 2);

  // An insert the store refuses adds nothing, and says nothing.
  Exec(u"create trigger no_insert before insert on Tb_UserInfo begin select raise(abort, 'refused'); end;");
  const size_t noticesBefore = ui->notices.size();
  WhenModal([](QWidget* dlg) {
    Type(dlg, 4613, "later");
    Type(dlg, 4614, "secret3");
    Type(dlg, 4605, "secret3");
    harness::Click(Child<QWidget>(dlg, 1));
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_ADD));
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(ui->notices.size(), noticesBefore);
  Exec(u"drop trigger no_insert;");

  // The same name again: refused, the list unchanged.
  WhenModal([](QWidget* dlg) {
    Type(dlg, 4613, "guest");
    Type(dlg, 4614, "secret2");
    Type(dlg, 4605, "secret2");
    harness::Click(Child<QWidget>(dlg, 1));
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_ADD));
  EXPECT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(ui->notices.back(), LoadResString(8234));

  // Selecting the user by a click on its row; ticking a right writes it.
  QRect rowRect = list->visualItemRect(list->topLevelItem(1));
  harness::Click(list->viewport(), rowRect.center());
  EXPECT_EQ(page.Controller().SelectedName(), u"guest");
  EXPECT_TRUE(tree->isEnabled());
  // The page takes every key of its rights tree: Space ticks nothing, Esc goes up.
  tree->setFocus();
  tree->setCurrentItem(tree->topLevelItem(0));
  harness::KeyPress(tree, Qt::Key_Space, QStringLiteral(" "));
  harness::KeyPress(tree, Qt::Key_Down);
  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
  EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(Power(u"guest"), 0);
  tree->topLevelItem(2)->setCheckState(0, Qt::Checked);  // remote playback
  EXPECT_EQ(Power(u"guest"), RIGHT_REMOTE_PLAYBACK);

  // Editing shows no old password and cannot change the level.
  WhenModal([](QWidget* dlg) {
    EXPECT_EQ(Child<QLineEdit>(dlg, 1402)->text(), "guest");
    EXPECT_TRUE(Child<QLineEdit>(dlg, 1403)->text().isEmpty());
    EXPECT_FALSE(Child<QRadioButton>(dlg, 4610)->isEnabled());
    Type(dlg, 4604, "changed1");
    Type(dlg, 4607, "changed1");
    harness::Click(Child<QWidget>(dlg, 1));
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_MODIFY));
  EXPECT_TRUE(HasPassword(u"guest", u"changed1"));
  // Esc ends the edit-user dialog as Cancel: nothing changes.
  int result = -1;
  WhenModal([&result](QWidget* dlg) {
    Type(dlg, 4604, "changed2");
    Type(dlg, 4607, "changed2");
    harness::KeyPress(Child<QWidget>(dlg, 4607), Qt::Key_Escape);
    result = static_cast<QDialog*>(dlg)->result();
  });
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_MODIFY));
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(HasPassword(u"guest", u"changed1"));

  // Deleting asks first; cancel keeps the account, OK removes it.
  ui->boxAnswers = {IDCANCEL, IDOK};
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_DELETE));
  EXPECT_TRUE(Exists(TB_USER_INFO, u"guest"));
  harness::Click(Child<QWidget>(&page, CDlgUserMgr::IDC_DELETE));
  EXPECT_FALSE(Exists(TB_USER_INFO, u"guest"));
  EXPECT_EQ(list->GetItemCount(), 1);
  EXPECT_FALSE(tree->isEnabled());
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].caption, LoadResString(8385));
}

TEST_F(UserMgr, TheChangePasswordDialogClearsOrKeepsItsFieldsAsTheCheckSays) {
  harness::ScopedScriptedUi ui;
  CDlgModifyPwd dlg;
  dlg.EnsureInitialized();
  dlg.show();
  auto* oldEdit = Child<QLineEdit>(&dlg, CDlgModifyPwd::IDC_OLD);
  auto* newEdit = Child<QLineEdit>(&dlg, CDlgModifyPwd::IDC_NEW);
  auto* confirm = Child<QLineEdit>(&dlg, CDlgModifyPwd::IDC_CONFIRM);
  auto fill = [&](const char* o, const char* n, const char* c) {
    oldEdit->setText(o);
    newEdit->setText(n);
    confirm->setText(c);
  };
  fill("wrong", "abcdef", "abcdef");
  harness::Click(Child<QWidget>(&dlg, CDlgModifyPwd::IDC_OK));
  EXPECT_TRUE(oldEdit->text().isEmpty() && newEdit->text().isEmpty() && confirm->text().isEmpty());
  EXPECT_EQ(dlg.focusWidget(), oldEdit);
  fill("804261", "abcdef", "abcdeX");
  harness::Click(Child<QWidget>(&dlg, CDlgModifyPwd::IDC_OK));
  EXPECT_EQ(confirm->text(), "abcdeX");
  // Enter in the old or new password box moves on; in the confirmation box it submits.
  oldEdit->setFocus();
  ASSERT_EQ(dlg.focusWidget(), oldEdit);
  harness::KeyPress(oldEdit, Qt::Key_Return);
  EXPECT_EQ(dlg.focusWidget(), newEdit);
  EXPECT_TRUE(dlg.isVisible());
  fill("804261", "abcdef", "abcdef");
  harness::KeyPress(confirm, Qt::Key_Return);
  EXPECT_EQ(dlg.result(), IDOK);
  EXPECT_TRUE(HasPassword(u"admin", u"abcdef"));
  EXPECT_EQ(ui->notices, (std::vector<std::u16string>{LoadResString(8222), LoadResString(8231),
                                                      LoadResString(8338)}));
}

}  // namespace
