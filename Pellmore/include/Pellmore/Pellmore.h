#pragma once
// The remote configuration library: its one entry, CF_Login, logs in to a recorder, shows the
// modal configuration window for it and logs out when the window closes.
#include <cstdint>

// Host (dotted IPv4 address or host name), user and password; port; language word (9 English,
// anything else Chinese); a reserved value that is not read. 1 when the login succeeded
// (returned after the window closed), 0 otherwise; nothing is shown on failure. Runs on the
// caller's (UI) thread inside the caller's Qt application and blocks until the window closes.
int CF_Login(const char16_t* host, const char16_t* user, const char16_t* password, uint16_t port,
             uint16_t language, uint32_t reserved);
// The same with narrow texts in the ANSI code page (GBK).
int CF_Login(const char* host, const char* user, const char* password, uint16_t port,
             uint16_t language, uint32_t reserved);
