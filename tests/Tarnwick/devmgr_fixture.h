#pragma once
// A fresh program folder with Tarnwick.db tables filled by the test, and the device list
// released after each test.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "harness/Services.h"
#include "plat/clock.h"
#include "shell/DbHelpers.h"
#include "support/TestFolder.h"
#include "view/LiveViewWork.h"

namespace devmgr_test {

namespace fs = std::filesystem;

struct Row3 {
  std::u16string a, b, c;
};

class DevMgrFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    harness::ResetServices();
    plat::setTimeScale(1.0);
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home_);
  }
  static void Exec(const std::u16string& sql, const SqlParams& params = {}) {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
    db.Execute(sql, params);
  }
  static void Regions(const std::vector<Row3>& rows) {
    Exec(u"CREATE TABLE Tb_Region(Name varchar NOT NULL, Guid varchar NOT NULL, ParentGuid varchar NOT NULL);");
    for (const Row3& r : rows) Exec(u"insert into Tb_Region values(?,?,?);", {r.a, r.b, r.c});
  }
  // A device in the device list; its address is 10.0.0.<count> unless given.
  static void Device(const std::u16string& name, int type, int channels, const std::u16string& region,
                     std::u16string ip = u"") {
    if (ip.empty()) ip = u"10.0.0." + std::u16string(1, char16_t(u'0' + CDeviceManager::GetInstance()->Count()));
    CDevInfo info(name, ip, 8000, u"admin", u"pw", channels, u"", u"", u"", u"", 0, 0, type, u"G-" + name, region);
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
  }
  static std::vector<std::vector<std::u16string>> Table(const std::u16string& name) {
    std::vector<std::vector<std::u16string>> out;
    CppSQLite3DB db;
    OpenDatabaseInProgramDir(db, u"Tarnwick.db");
    CppSQLite3Query q = db.Query(u"select * from " + name + u";");
    for (; !q.Eof(); q.NextRow()) {
      std::vector<std::u16string> row;
      for (int c = 0; c < q.FieldCount(); ++c) row.push_back(q.FieldText(c) ? q.FieldText(c) : u"<null>");
      out.push_back(row);
    }
    return out;
  }
  // The tree as indented text: one line per item, "name[image]".
  static std::u16string Dump(QTreeWidget& t) {
    std::u16string out;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* i, int depth) {
      out += std::u16string(depth * 2, u' ') + i->text(0).toStdU16String() + u"[" +
             QString::number(TreeItemImage(i)).toStdU16String() + u"]\n";
      for (int c = 0; c < i->childCount(); ++c) walk(i->child(c), depth + 1);
    };
    for (int i = 0; i < t.topLevelItemCount(); ++i) walk(t.topLevelItem(i), 0);
    return out;
  }
  fs::path home_;
  CLiveViewWork liveView_;  // the program's live view, as a device manager page made here gets it
};

}  // namespace devmgr_test
