#pragma once
// The LAN device search library. A search sends a probe to 127.0.0.1 and to the hosts and
// networks named by the environment variable FARLOOK_TARGETS, and reports each answer on a
// thread of the library through the caller's callback.
//
// FARLOOK_TARGETS: entries separated by commas or blanks:
//   HOST[:PORT]         a dotted address or a host name
//   A.B.C.D/N[:PORT]    every host address of that network (N from 22 to 32)
//   broadcast           also send to 255.255.255.255 and to each listed network's broadcast
// Without "broadcast" nothing is ever broadcast. The port defaults to the search port.
#include <cstddef>
#include <cstdint>

extern "C" {

#define FARLOOK_SEARCH_PORT 28288
#define FARLOOK_TARGETS_VARIABLE "FARLOOK_TARGETS"

// Event types handed to the callback.
#define CAMSEARCH_EVENT_FOUND 1  // a device answered; the record describes it
#define CAMSEARCH_EVENT_DONE 2   // the search ended (no record)

// One device found (288 bytes). Texts are in the narrow code page, zero-terminated.
struct tagDEVICEINFO {
  int32_t nPort;         // the device's service port
  int32_t nReserved0;
  char szIP[48];         // its address
  char szMac[24];        // its MAC text; two records are one device when these bytes match
  uint8_t reserved1[142];
  char szName[56];       // its name
  int8_t nChannels;      // its channel count
  uint8_t nDevType;      // its family as a device type (1 DVR, 2 IP camera, 4 NVR; 0 not said)
  uint8_t reserved2[8];
};
static_assert(sizeof(tagDEVICEINFO) == 288);
static_assert(offsetof(tagDEVICEINFO, szIP) == 8);
static_assert(offsetof(tagDEVICEINFO, szMac) == 56);
static_assert(offsetof(tagDEVICEINFO, szName) == 222);
static_assert(offsetof(tagDEVICEINFO, nChannels) == 278);
static_assert(offsetof(tagDEVICEINFO, nDevType) == 279);

// Called on the library's search thread; the record is valid during the call only.
typedef int (*CAMSEARCH_CALLBACK)(int eventType, tagDEVICEINFO* info, void* user);

// Makes a search handle; 1 on success (the handle is 0 on failure).
int CAMSEARCh_Startup(intptr_t* handle);
// Starts a search (a running one of the handle is ended first); 1 when it started.
int CAMSEARCh_SearchCma(intptr_t handle, CAMSEARCH_CALLBACK callback, void* user);
// Ends the handle's search and frees it. When it returns no callback of the handle runs or
// will run (called from inside the callback, the search ends after that callback returns).
int CAMSEARCh_Cleanup(intptr_t handle);

}
