#include "video/osd_icons.h"

#include <array>
#include <cmath>

namespace corvane {
namespace {

using Icon = std::array<uint32_t, kIconWidth * kIconHeight>;

constexpr uint32_t kOrange = 0xFF8C00;
constexpr uint32_t kDarkOrange = 0x804000;
constexpr uint32_t kSilver = 0xD0D0D0;
constexpr uint32_t kGrey = 0x707070;

struct Painter {
  Icon icon;
  Painter() { icon.fill(kIconTransparent); }
  void set(int x, int y, uint32_t c) {
    if (x >= 0 && x < kIconWidth && y >= 0 && y < kIconHeight) icon[y * kIconWidth + x] = c;
  }
  void rect(int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) set(x, y, c);
  }
  void disc(double cx, double cy, double r, uint32_t c) {
    for (int y = 0; y < kIconHeight; ++y)
      for (int x = 0; x < kIconWidth; ++x)
        if (std::hypot(x - cx, y - cy) <= r) set(x, y, c);
  }
  // A ring of width w between angles a0..a1 (degrees, 0 = right, y downward).
  void arc(double cx, double cy, double r, double w, double a0, double a1, uint32_t c) {
    for (int y = 0; y < kIconHeight; ++y)
      for (int x = 0; x < kIconWidth; ++x) {
        double d = std::hypot(x - cx, y - cy);
        double a = std::atan2(y - cy, x - cx) * 180.0 / M_PI;
        if (d >= r - w / 2 && d <= r + w / 2 && a >= a0 && a <= a1) set(x, y, c);
      }
  }
};

Icon speaker() {
  Painter p;
  p.rect(3, 9, 8, 15, kOrange);                 // magnet
  for (int x = 9; x <= 15; ++x) {               // cone widening to the right
    int half = 3 + (x - 9);
    p.rect(x, 12 - half, x, 12 + half, kOrange);
  }
  for (double r : {6.0, 10.0, 14.0}) p.arc(15, 12, r, 2, -45, 45, kOrange);  // sound waves
  return p.icon;
}

Icon microphone() {
  Painter p;
  p.disc(16, 5, 4, kSilver);
  p.rect(12, 5, 20, 11, kSilver);
  p.disc(16, 11, 4, kSilver);                   // capsule
  p.arc(16, 11, 7, 2, 0, 180, kGrey);           // holder
  p.rect(15, 18, 17, 20, kGrey);                // stem
  p.rect(10, 21, 22, 22, kGrey);                // base
  return p.icon;
}

Icon camera() {
  Painter p;
  p.disc(7, 4, 3.5, kOrange);                   // film reels
  p.disc(16, 4, 3.5, kOrange);
  p.rect(2, 8, 21, 19, kOrange);                // body
  p.disc(11, 13.5, 3.5, kDarkOrange);           // lens
  for (int x = 22; x <= 29; ++x) {              // lens hood
    int half = 2 + (x - 22) / 2;
    p.rect(x, 13 - half, x, 14 + half, kOrange);
  }
  return p.icon;
}

}  // namespace

const uint32_t* osdIcon(int itemId) {
  static const Icon kSpeaker = speaker(), kMicrophone = microphone(), kCamera = camera();
  switch (itemId) {
    case 1: return kSpeaker.data();
    case 2: return kMicrophone.data();
    case 64: return kCamera.data();
    default: return nullptr;
  }
}

}  // namespace corvane
