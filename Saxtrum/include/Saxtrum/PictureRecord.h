#pragma once
// The client's picture record (configuration commands 1002 read / 1003 write, 7,752 bytes):
// channel name, on-screen display, video loss, motion, tamper and privacy mask of one
// channel. Byte offsets; integers little-endian. The configuration pages and the recorder
// library both address the record through these names only.

#define QX_PIC_RECORD_SIZE 7752

#define QX_PIC_OFF_SIZE 0            /* u32: the record size */
#define QX_PIC_OFF_NAME 4            /* 32 bytes: channel name, zero-padded narrow text */
#define QX_PIC_NAME_SIZE 32
#define QX_PIC_OFF_SHOW_NAME 36      /* u32: 1 shows the channel name */
#define QX_PIC_OFF_NAME_X 40         /* u16: name's top-left corner, picture pixels */
#define QX_PIC_OFF_NAME_Y 42         /* u16 */
#define QX_PIC_OFF_SHOW_OSD 44       /* u32: 1 shows the date */
#define QX_PIC_OFF_OSD_X 48          /* u16: date's top-left corner, picture pixels */
#define QX_PIC_OFF_OSD_Y 50          /* u16 */
#define QX_PIC_OFF_OSD_TYPE 52       /* u8: date format 0..5 */

#define QX_PIC_OFF_VIDEO_LOSS 112    /* video-loss sub-record */
#define QX_PIC_VIDEO_LOSS_SIZE 328
#define QX_PIC_OFF_MOTION 768        /* motion sub-record */
#define QX_PIC_MOTION_SIZE 6536
#define QX_PIC_OFF_TAMPER 7304       /* tamper sub-record */
#define QX_PIC_TAMPER_SIZE 336
#define QX_PIC_OFF_MASK_ENABLE 7640  /* u32: privacy mask on */
#define QX_PIC_OFF_MASK_RECTS 7644   /* 4 x (u16 x, y, width, height) */
#define QX_PIC_MASK_RECTS_SIZE 32
