#pragma once
// Configuration records read and written by configuration command numbers; the library
// translates each to its own wire code and wire layout and back.
#include <stdint.h>

#include "Saxtrum/PictureRecord.h"

#ifdef __cplusplus
extern "C" {
#endif

// Command numbers (read, write) and the client record size of each.
#define QX_DVR_GET_DEVICECFG 100
#define QX_DVR_SET_DEVICECFG 101
#define QX_DVR_GET_TIMECFG 118
#define QX_DVR_SET_TIMECFG 119
#define QX_DVR_GET_NETAPPCFG 222
#define QX_DVR_SET_NETAPPCFG 223
#define QX_DVR_GET_NTPCFG 224
#define QX_DVR_SET_NTPCFG 225
#define QX_DVR_GET_NETCFG 1000
#define QX_DVR_SET_NETCFG 1001
#define QX_DVR_GET_PICCFG 1002
#define QX_DVR_SET_PICCFG 1003
#define QX_DVR_GET_RECORDCFG 1004
#define QX_DVR_SET_RECORDCFG 1005
#define QX_DVR_GET_USERCFG 1006
#define QX_DVR_SET_USERCFG 1007
#define QX_DVR_GET_DDNSCFG 1010
#define QX_DVR_SET_DDNSCFG 1011
#define QX_DVR_GET_EMAILCFG 1012
#define QX_DVR_SET_EMAILCFG 1013
#define QX_DVR_GET_ALARMINCFG 1024
#define QX_DVR_SET_ALARMINCFG 1025
#define QX_DVR_GET_ALARMOUTCFG 1026
#define QX_DVR_SET_ALARMOUTCFG 1027
#define QX_DVR_GET_VIDEOOUTCFG 1028
#define QX_DVR_SET_VIDEOOUTCFG 1029
#define QX_DVR_GET_COMPRESSCFG 1040
#define QX_DVR_SET_COMPRESSCFG 1041
#define QX_DVR_GET_DECODERCFG 1042
#define QX_DVR_SET_DECODERCFG 1043
#define QX_DVR_GET_PREVIEWCFG 1044
#define QX_DVR_SET_PREVIEWCFG 1045
#define QX_DVR_GET_HDCFG 1054
#define QX_DVR_SET_HDCFG 1055

#define QX_DVR_DEVICECFG_SIZE 132
#define QX_DVR_TIMECFG_SIZE 24
#define QX_DVR_NETAPPCFG_SIZE 692
#define QX_DVR_NTPCFG_SIZE 80
#define QX_DVR_NETCFG_SIZE 1956
#define QX_DVR_PICCFG_SIZE QX_PIC_RECORD_SIZE
#define QX_DVR_RECORDCFG_SIZE 508
#define QX_DVR_USERCFG_SIZE 9508
#define QX_DVR_DDNSCFG_SIZE 1960
#define QX_DVR_EMAILCFG_SIZE 564
#define QX_DVR_ALARMINCFG_SIZE 780
#define QX_DVR_ALARMOUTCFG_SIZE 280
#define QX_DVR_VIDEOOUTCFG_SIZE 1372
#define QX_DVR_COMPRESSCFG_SIZE 116
#define QX_DVR_DECODERCFG_SIZE 784
#define QX_DVR_PREVIEWCFG_SIZE 288
#define QX_DVR_HDCFG_SIZE 4760

// Reads one record into out (at least the record's size; outSize smaller fails without a
// request). 1 when the device answered with status 200; *returned gets the record size.
int QX_DVR_GetPellmore(int32_t userId, uint32_t command, int32_t channel, void* out,
                       uint32_t outSize, uint32_t* returned);
// Writes one record (inSize at least the record's size). 1 when the device answered 200.
int QX_DVR_SetPellmore(int32_t userId, uint32_t command, int32_t channel, const void* in,
                       uint32_t inSize);

#ifdef __cplusplus
}
#endif
