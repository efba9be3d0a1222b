#include "devices/ChannelSettingsTable.h"

#include "devices/Device.h"
#include "shell/CppSQLite3.h"

namespace {

constexpr const char16_t* kCreate =
    u"CREATE TABLE [Tb_Channel](DevGuid varchar NOT NULL, Chn integer NOT NULL, UserNo integer, "
    u"Transport integer, StreamType integer);";

}  // namespace

void WriteChannelSettings(CppSQLite3DB& db, const std::list<CDevice*>& devices) {
  if (db.TableExists(u"Tb_Channel")) db.Execute(u"DROP TABLE [Tb_Channel];");
  db.Execute(kCreate);
  for (CDevice* device : devices) {
    for (const auto& [number, channel] : device->Channels()) {
      if (number < 1 || number > device->GetDevInfo().GetChnNum()) continue;
      const int userNo = channel->GetUserNo(), transport = channel->GetTransport(),
                stream = channel->GetStreamType();
      if (userNo == 0 && transport == 0 && stream == 0) continue;
      db.Execute(u"insert into [Tb_Channel] values(?, ?, ?, ?, ?);",
                 {device->GetGuid(), int64_t{number}, int64_t{userNo}, int64_t{transport}, int64_t{stream}});
    }
  }
}

void ReadChannelSettings(CppSQLite3DB& db, const std::list<CDevice*>& devices) {
  if (!db.TableExists(u"Tb_Channel")) return;
  CppSQLite3Query q = db.Query(u"select DevGuid, Chn, UserNo, Transport, StreamType from [Tb_Channel];");
  for (; !q.Eof(); q.NextRow()) {
    const char16_t* guid = q.FieldText(0);
    if (!guid) continue;
    for (CDevice* device : devices) {
      if (device->GetGuid() != guid) continue;
      const int64_t number = q.FieldInt(1);
      if (number < 1 || number > device->GetDevInfo().GetChnNum()) break;
      if (CChannel* channel = device->GetOrAddChannel(static_cast<int>(number)))
        channel->SetStoredSettings(static_cast<int>(q.FieldInt(2)), static_cast<int>(q.FieldInt(3)),
                                   static_cast<int>(q.FieldInt(4)));
      break;
    }
  }
}
