#pragma once
// The file records of the wire and their conversions for the client.
#include <cstddef>
#include <cstdint>

#include "Saxtrum/Files.h"

namespace saxtrum::files {

constexpr size_t kFileRequestSize = 100;
// Wire file record offsets (found files, file information).
constexpr size_t kFileOffName = 8, kFileNameChars = 32, kFileOffStart = 40, kFileOffEnd = 64,
                 kFileOffMask = 88, kFileOffSize = 92;
constexpr size_t kTimeRecordSize = 24;

// The search mask of a file type, -1 for a type the device does not know.
int32_t fileTypeMask(uint32_t fileType);
// The find request: channel - 1 at 0, start and end times at 40 and 64, mask at 88.
void buildFindRequest(const QX_DVR_FILECOND& c, uint32_t mask, uint8_t* out);
// A request naming a file: the name (32 chars) at 8, zero elsewhere.
void buildNameRequest(const char* name, uint8_t* out);
// The client's record of a found file from a wire record.
void foundFileFromWire(const uint8_t* wire, QX_DVR_FIND_DATA* out);
uint32_t fileRecordSize(const uint8_t* wire);

void putTime(uint8_t* out, const QX_DVR_TIME& t);
QX_DVR_TIME getTime(const uint8_t* in);

// Download progress in percent: bytes written (the 16-byte stream header included) against
// the file size plus that header; at most 100.
int downloadPercent(uint64_t written, uint32_t fileSize);

// Player position of the playback control: percent in, fraction out, and back.
float playPosFromPercent(uint32_t percent);
uint32_t percentFromPlayPos(float position);

}  // namespace saxtrum::files
