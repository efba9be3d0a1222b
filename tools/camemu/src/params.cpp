// The parameter records the control channel keeps, keyed by the record's get code.
#include <cstring>

#include "state.h"

namespace camemu {

namespace {

struct Row {
  uint16_t request;
  uint16_t getCode;
  size_t size;
  bool sets;
};

// Set and get pairs, alarm and OSD the other way round; set-only commands name themselves.
constexpr Row kTable[] = {
    {0x2007, 0x2007, 166, false}, {0x0D03, 0x0D03, 272, false},
    {0x0C01, 0x0C03, 145, true},  {0x0C03, 0x0C03, 145, false},
    {0x0401, 0x0403, 5, true},    {0x0403, 0x0403, 5, false},
    {0x0405, 0x0407, 16, true},   {0x0407, 0x0407, 16, false},
    {0x0501, 0x0503, 6, true},    {0x0503, 0x0503, 6, false},
    {0x0601, 0x0603, 152, true},  {0x0603, 0x0603, 152, false},
    {0x0701, 0x0703, 152, true},  {0x0703, 0x0703, 152, false},
    {0x0901, 0x0903, 35, true},   {0x0903, 0x0903, 35, false},
    {0x0905, 0x0905, 8, true},    {0x0A03, 0x0A01, 32, true},
    {0x0A01, 0x0A01, 32, false},  {0x0B01, 0x0B03, 80, true},
    {0x0B03, 0x0B03, 80, false},  {0x0F03, 0x0F03, 2, true},
    {0x2203, 0x2201, 32, true},   {0x2201, 0x2201, 32, false},
};

void putText(std::vector<uint8_t>& r, size_t at, const char* text) {
  std::memcpy(r.data() + at, text, std::strlen(text));
}

}  // namespace

bool findParamCommand(uint16_t code, ParamCommand& out) {
  for (const Row& r : kTable) {
    if (r.request == code) {
      out = ParamCommand{r.getCode, r.size, r.sets};
      return true;
    }
  }
  return false;
}

void fillDefaultRecords(std::map<uint16_t, std::vector<uint8_t>>& records) {
  for (const Row& r : kTable) records[r.getCode].assign(r.size, 0);
  auto& factory = records[0x2007];
  putText(factory, 0, "EMU-IPC100");
  putText(factory, 20, "EMU");
  putText(factory, 84, "REG-0001");
  putText(factory, 110, "INT-0001");
  auto& ability = records[0x0D03];
  put16(ability.data() + 10, 1080);
  auto& net = records[0x0C03];
  putText(net, 1, "127.0.0.1");
  putText(net, 25, "127.0.0.254");
  putText(net, 49, "255.0.0.0");
  putText(net, 73, "00:11:22:33:44:55");
  auto& picture = records[0x0407];  // brightness, contrast and saturation at their defaults
  for (size_t at : {4, 8, 12}) put16(picture.data() + at, 125);  // u32 fields, high half 0
  auto& video = records[0x0403];
  video[0] = 1;
  video[1] = 1;
  video[2] = 3;  // the frame-rate list position of 25 FPS
  // A PTZ set up as a camera leaves the factory: a protocol, address 0, speed 4.
  auto& ptz = records[0x0903];
  ptz[0] = 1;
  putText(ptz, 1, "EMU-PTZ");
  ptz[34] = 4;
  auto& audio = records[0x0503];
  audio[2] = 8;
  audio[3] = 16;
  audio[4] = 8;
}

}  // namespace camemu
