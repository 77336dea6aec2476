/* The test raster format "TTR" of the Windows test plug-ins: small, ours, and
 * shaped so that one file exercises palettes, every bit count a plug-in hands
 * over, both row orders and the plug-in's behaviours. Shared by the plug-in
 * source (C, built for Windows and natively) and the tests that write files.
 *
 * Layout, little-endian:
 *   0  "TTR1"
 *   4  uint32 flags (TTR_*)
 *   8  int32  width  (1 .. TTR_MAX_SIDE)
 *  12  int32  height (1 .. TTR_MAX_SIDE)
 *  16  uint16 bit count: 1, 4, 8, 24 or 32
 *  18  uint16 colours in the palette (at most 2^bit count; 0 for 24 and 32)
 *  20  the palette, 4 bytes a colour (blue, green, red, 0)
 *      then the rows, top row first, each (width x bit count + 7) / 8 bytes,
 *      not padded.
 * The plug-in hands the picture over as a device-independent bitmap: rows
 * padded to 4 bytes, bottom-up, or top-down (negative height) with TTR_TOP_DOWN. */
#ifndef TTR_FORMAT_H
#define TTR_FORMAT_H

#define TTR_HEADER_SIZE 20
#define TTR_MAX_SIDE 30000

#define TTR_TOP_DOWN 0x01u  /* the bitmap is handed over top-down */
#define TTR_INFO_TEXT 0x02u /* GetPictureInfo gives an info text */
#define TTR_PROGRESS 0x04u  /* GetPicture reports progress every 64 rows */
#define TTR_REFUSE 0x08u    /* IsSupported answers 0 */
#define TTR_FAULT 0x10u     /* GetPicture writes through a null pointer */
#define TTR_HANG 0x20u      /* GetPicture never returns */
#define TTR_EXIT 0x40u      /* GetPicture ends its process with code 7 */

/* The info text of a picture with TTR_INFO_TEXT, formatted with its width and height. */
#define TTR_INFO_FORMAT "TTR %dx%d"

#endif
