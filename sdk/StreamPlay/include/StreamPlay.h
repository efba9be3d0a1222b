#pragma once
// The player library: decodes the recorder's stream format (see docs/protocols.md) with the
// decoder libraries and shows it in a window through the display surfaces. Ports count
// from 1; every function returns 1 on success and 0 on failure unless noted.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SPLAY_STREAME_REALTIME 0  // live input: frames are shown as they arrive
#define SPLAY_STREAME_FILE 1      // file-like input: frames are paced by their time stamps
#define SPLAY_MAX_PORT 64

typedef void (*SPlayDrawFun)(int32_t port, intptr_t dc, void* user);
// Captured talk audio: data, length and two values the receiver passes back as given.
typedef int (*SPlayTalkCallBack)(const uint8_t* data, uint32_t length, uint32_t value1,
                                  uint32_t value2);

int SPlay_SDKInit(void);
int SPlay_GetPort2(int32_t* port);  // *port = -1 when none is free
int SPlay_FreePort(int32_t port);
int SPlay_SetStreamOpenMode(int32_t port, uint32_t mode);
// header may be null (size 0): the stream header then arrives with the data, or never.
// A stream of a recorded file (mode SPLAY_STREAME_FILE) may be opened with a header size of
// 0 and `header` at the file's size field (a 32-bit count of the bytes after the stream
// header, as the recorder's file record carries it): the play position is then the share of
// the stream played, 1.0 once its last frame is taken.
int SPlay_OpenStream(int32_t port, const uint8_t* header, uint32_t headerSize,
                      uint32_t bufferSize);
int SPlay_CloseStream(int32_t port);
int SPlay_InputData(int32_t port, const uint8_t* data, uint32_t size);
int SPlay_OpenFile(int32_t port, const char* path);
int SPlay_CloseFile(int32_t port);

int SPlay_Play(int32_t port, intptr_t window);
int SPlay_Stop(int32_t port);
int SPlay_Pause(int32_t port, uint32_t pause);
int SPlay_Fast(int32_t port);
int SPlay_Slow(int32_t port);
int SPlay_OneByOne(int32_t port);
int SPlay_OneByOneBack(int32_t port);
int SPlay_SetPlayPos(int32_t port, float position);
int SPlay_GetPlayPos(int32_t port, float* position);

// Sound plays from one port at a time.
int SPlay_PlaySound(int32_t port);
int SPlay_StopSound(void);
int SPlay_SetVolume(int32_t port, uint16_t volume);

// Copies the last shown picture as packed 24-bit BGR, top row first, into buffer (at most
// 720 x 576 pixels: a larger picture is scaled down to fit); *width and *height get its size.
int SPlay_CaptureImage(int32_t port, uint8_t* buffer, uint32_t* width, uint32_t* height);
// Writes such a picture as a 24-bit BMP file. size is the buffer's; 0 means a capture buffer
// of 720 x 576 x 3 bytes. A picture larger than the buffer is refused.
int SPlay_ConvertToBmpFile(const uint8_t* buffer, uint32_t size, uint32_t width,
                            uint32_t height, uint32_t type, const char* path);
int SPlay_RigisterDrawFun(int32_t port, SPlayDrawFun fun, void* user);

// Talk: captured audio goes to the callback in blocks; received audio is played.
int SPlay_OpenTalk(SPlayTalkCallBack callback, uint32_t value1, uint32_t value2);
int SPlay_InputTalkData(const uint8_t* data, uint32_t length, uint32_t value1, uint32_t value2);
int SPlay_CloseTalk(void);

// For tests: every SPlay_* call is reported (function name, port or -1, user) in call order.
typedef void (*StreamPlayCallObserver)(const char* function, int32_t port, void* user);
void StreamPlay_SetCallObserver(StreamPlayCallObserver observer, void* user);
// For tests and machines without a capture device: hands a block to the open talk's callback
// as if it had been captured. Returns the callback's result, or -1 without an open talk.
int StreamPlay_FeedTalkCapture(const uint8_t* data, uint32_t length);

#ifdef __cplusplus
}
#endif
