#pragma once
// The trace lines the device layer prints on standard output. A text that comes from a device
// (a file name) loses its control bytes first: printed as it came, an escape sequence in a
// name would drive the terminal it is shown on.
#include <algorithm>
#include <string>
#include <string_view>

#include "plat/text.h"

namespace hollin {

inline std::string Printable(std::string_view deviceText) {
  std::string out(deviceText);
  out.erase(std::remove_if(out.begin(), out.end(),
                           [](char c) { return plat::isControlChar(static_cast<unsigned char>(c)); }),
            out.end());
  return out;
}

}  // namespace hollin
