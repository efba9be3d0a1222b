#pragma once
// The description of one device, as one row of the device table stores it and as the
// device access layer needs it to log in. The login object keeps a pointer to it, so its
// owner keeps it alive for the login's whole life.
#include <cstdint>
#include <string>

#include "CTChar.h"

enum DevTypeCode : int32_t {
  DEV_TYPE_DVR = 1,
  DEV_TYPE_IPC = 2,
  DEV_TYPE_STREAM_SERVER = 3,
  DEV_TYPE_NVR = 4,
};

class CDevInfo {
 public:
  CTChar Name;
  CTChar IP;
  int32_t Port = 0;
  CTChar UserName;
  CTChar Pwd;
  int32_t ChnNum = 4;
  CTChar MultiIP;
  CTChar Dns;
  CTChar SN;
  CTChar Manfacture;
  int32_t ManufactureID = 0;
  int32_t AddrType = 0;
  int32_t DevType = DEV_TYPE_DVR;
  CTChar Guid;
  CTChar RegionGuid;

  CDevInfo() = default;
  CDevInfo(std::u16string_view name, std::u16string_view ip, int32_t port,
           std::u16string_view user, std::u16string_view pwd, int32_t chnNum,
           std::u16string_view multiIP, std::u16string_view dns, std::u16string_view sn,
           std::u16string_view manfacture, int32_t manufactureID, int32_t addrType,
           int32_t devType, std::u16string_view guid, std::u16string_view regionGuid)
      : Name(name), IP(ip), Port(port), UserName(user), Pwd(pwd), ChnNum(chnNum),
        MultiIP(multiIP), Dns(dns), SN(sn), Manfacture(manfacture), ManufactureID(manufactureID),
        AddrType(addrType), DevType(devType), Guid(guid), RegionGuid(regionGuid) {}
  // A copy keeps both forms of each text: rebuilding the wide text from the narrow one would
  // turn every character the narrow code page lacks into '?', and a device's name or
  // password would change the moment it is added to the list.
  CDevInfo(const CDevInfo&) = default;
  CDevInfo& operator=(const CDevInfo&) = default;
  CDevInfo(CDevInfo&&) noexcept = default;
  CDevInfo& operator=(CDevInfo&&) noexcept = default;

  std::u16string GetName() const { return Name.Wide(); }
  std::u16string GetIP() const { return IP.Wide(); }
  const char* GetNarrowIP() const { return IP.GetNarrow(); }
  std::u16string GetUserName() const { return UserName.Wide(); }
  std::u16string GetPwd() const { return Pwd.Wide(); }
  std::u16string GetMultiIP() const { return MultiIP.Wide(); }
  std::u16string GetDns() const { return Dns.Wide(); }
  std::u16string GetSN() const { return SN.Wide(); }
  std::u16string GetManfacture() const { return Manfacture.Wide(); }
  std::u16string GetGuid() const { return Guid.Wide(); }
  std::u16string GetRegionGuid() const { return RegionGuid.Wide(); }
  int32_t GetPort() const { return Port; }
  int32_t GetChnNum() const { return ChnNum; }
  int32_t GetManufactureID() const { return ManufactureID; }
  int32_t GetAddrType() const { return AddrType; }
  int32_t GetDevType() const { return DevType; }

  void SetName(std::u16string_view v) { Name.SetWide(v); }
  void SetIP(std::u16string_view v) { IP.SetWide(v); }
  void SetGuid(std::u16string_view v) { Guid.SetWide(v); }
  void SetRegionGuid(std::u16string_view v) { RegionGuid.SetWide(v); }
  void SetPort(int32_t v) { Port = v; }
  void SetDevType(int32_t v) { DevType = v; }
};
