/*
 * The messages between the viewer and a plug-in host process.
 *
 * Plain C99 with fixed-width types only, so that every kind of host (the
 * native host, a bridge program built with another compiler) shares it.
 * docs/plugin-host-protocol.md describes the exchange; this file fixes the
 * layouts. Every integer is little-endian; every struct below has its fields
 * at their natural alignment and no padding (checked at the end).
 *
 * A message on the byte stream:
 *   TavoHostHeader                  16 bytes
 *   TavoHostRegion x regionCount    24 bytes each
 *   payload                         header.size - 24 * regionCount bytes
 * The payload starts with the fixed struct of its type, followed by the
 * variable bytes that struct announces (a path, a text).
 */
#ifndef TAVO_SPI_HOST_PROTOCOL_H
#define TAVO_SPI_HOST_PROTOCOL_H

#include <stdint.h>

#define TAVO_HOST_PROTOCOL_VERSION 1u

/* Limits. A receiver refuses a message beyond them without reading it. */
#define TAVO_HOST_MAX_MESSAGE 65536u   /* header.size: regions and payload */
#define TAVO_HOST_MAX_REGIONS 2u       /* regions of one message */
#define TAVO_HOST_MAX_PATH 4096u       /* bytes of a library path or a file name */
#define TAVO_HOST_MAX_INFO_TEXT 60000u /* bytes of an info text */
#define TAVO_HOST_MIN_SUPPORTED_BLOCK 2048u /* readable bytes behind IsSupported's block */

/* Message types. A reply has the type of its request with TAVO_HOST_REPLY set. */
#define TAVO_HOST_REPLY 0x8000u
enum {
    TAVO_MSG_READY = 0x0001,         /* host -> viewer, once, first: TavoReady */
    TAVO_MSG_LOAD = 0x0010,          /* TavoLoad + path -> TavoLoadReply + module path */
    TAVO_MSG_UNLOAD = 0x0011,        /* TavoUnload -> TavoStatusReply */
    TAVO_MSG_PLUGIN_INFO = 0x0020,   /* TavoPluginInfo -> TavoPluginInfoReply + text */
    TAVO_MSG_IS_SUPPORTED = 0x0030,  /* 1 region; TavoIsSupported + name -> TavoStatusReply */
    TAVO_MSG_PICTURE_INFO = 0x0031,  /* 1 region; TavoPictureCall -> TavoPictureInfoReply + text */
    TAVO_MSG_PICTURE = 0x0032,       /* 1 region; TavoPictureCall -> TavoPictureReply, 0 or 2 regions */
    TAVO_MSG_PROGRESS = 0x0040       /* host -> viewer during PICTURE: TavoProgress;
                                        viewer answers TAVO_MSG_PROGRESS | TAVO_HOST_REPLY: TavoStatusReply */
};

typedef struct {
    uint32_t size;        /* bytes after this header: regions and payload */
    uint16_t type;
    uint16_t regionCount; /* at most TAVO_HOST_MAX_REGIONS */
    uint32_t call;        /* request number chosen by the sender; a reply repeats it */
    uint32_t reserved;    /* 0 */
} TavoHostHeader;

/* A block of shared memory that travels with a message. How its carrier
 * reaches the other side depends on the kind of host (see the document):
 * the native host passes one descriptor per region with the message. */
typedef struct {
    uint64_t offset;   /* where the block starts inside its carrier */
    uint64_t size;     /* bytes of the block; offset + size lies inside the carrier */
    uint32_t carrier;  /* which carrier: an index among those sent with this message */
    uint32_t reserved; /* 0 */
} TavoHostRegion;

/* Host kinds, named in TavoReady. */
#define TAVO_HOST_KIND_NATIVE 1u
#define TAVO_HOST_KIND_WINDOWS 2u

typedef struct {
    uint32_t version;  /* TAVO_HOST_PROTOCOL_VERSION */
    uint32_t kind;     /* TAVO_HOST_KIND_* */
} TavoReady;

typedef struct {
    uint32_t pathLength; /* then the path's bytes, no terminator */
    uint32_t reserved;
} TavoLoad;

/* TavoLoadReply.status */
#define TAVO_LOAD_OK 0            /* loaded; GetPluginInfo is bound */
#define TAVO_LOAD_CANNOT_LOAD 1   /* not a library this host can load */
#define TAVO_LOAD_NO_PLUGIN_INFO 2 /* loaded, but without GetPluginInfo; released again */

/* TavoLoadReply.entries: the entry points the library exports. */
#define TAVO_ENTRY_IS_SUPPORTED 0x1u
#define TAVO_ENTRY_PICTURE_INFO 0x2u
#define TAVO_ENTRY_PICTURE 0x4u
#define TAVO_ENTRY_PREVIEW 0x8u

typedef struct {
    int32_t status;
    uint32_t library;    /* the host's number for this loaded library; never 0 when loaded */
    uint32_t entries;
    uint32_t pathLength; /* then the module's path as the loader reports it; 0: none */
} TavoLoadReply;

typedef struct {
    uint32_t library;
    uint32_t reserved;
} TavoUnload;

typedef struct {
    int32_t result;
    uint32_t reserved;
} TavoStatusReply;

typedef struct {
    uint32_t library;
    int32_t infono;
    int32_t buflen;      /* at most TAVO_HOST_MAX_INFO_TEXT; 0 or less: no text comes back */
    uint32_t reserved;
} TavoPluginInfo;

typedef struct {
    int32_t result;      /* what GetPluginInfo returned */
    uint32_t textLength; /* then the text: the buffer up to its first zero byte, at most buflen bytes */
} TavoPluginInfoReply;

/* The data block is the message's region; IsSupported reads at least
 * TAVO_HOST_MIN_SUPPORTED_BLOCK bytes of it. */
typedef struct {
    uint32_t library;
    uint32_t nameLength; /* then the file name's bytes, no terminator */
} TavoIsSupported;

/* GetPictureInfo and GetPicture: the data is the message's region, of which
 * the first `length` bytes are the picture's (the rest is zero padding). */
typedef struct {
    uint32_t library;
    uint32_t flag;       /* passed to the plug-in; always 1 (data in memory) */
    uint64_t length;     /* the true size of the data; at most the region's size */
} TavoPictureCall;

typedef struct {
    int32_t result;
    int32_t left, top, width, height;
    uint16_t xDensity, yDensity;
    int16_t colorDepth;
    uint16_t hasText;    /* 1: the plug-in gave an info-text handle that could be locked */
    uint32_t textLength; /* then the text's bytes (up to its first zero byte) */
} TavoPictureInfoReply;

/* On result 0 with two regions: region 0 the bitmap information block,
 * region 1 the pixel block, each as long as its local-memory block. Result 0
 * without regions: the plug-in returned handles the host did not know. */
typedef struct {
    int32_t result;
    uint32_t reserved;
} TavoPictureReply;

typedef struct {
    int32_t num;
    int32_t denom;
} TavoProgress;

/* Layout checks, for C and C++ alike. */
#ifdef __cplusplus
#define TAVO_HOST_ASSERT(e, m) static_assert(e, m)
#else
#define TAVO_HOST_ASSERT(e, m) _Static_assert(e, m)
#endif
TAVO_HOST_ASSERT(sizeof(TavoHostHeader) == 16, "TavoHostHeader");
TAVO_HOST_ASSERT(sizeof(TavoHostRegion) == 24, "TavoHostRegion");
TAVO_HOST_ASSERT(sizeof(TavoReady) == 8, "TavoReady");
TAVO_HOST_ASSERT(sizeof(TavoLoad) == 8, "TavoLoad");
TAVO_HOST_ASSERT(sizeof(TavoLoadReply) == 16, "TavoLoadReply");
TAVO_HOST_ASSERT(sizeof(TavoUnload) == 8, "TavoUnload");
TAVO_HOST_ASSERT(sizeof(TavoStatusReply) == 8, "TavoStatusReply");
TAVO_HOST_ASSERT(sizeof(TavoPluginInfo) == 16, "TavoPluginInfo");
TAVO_HOST_ASSERT(sizeof(TavoPluginInfoReply) == 8, "TavoPluginInfoReply");
TAVO_HOST_ASSERT(sizeof(TavoIsSupported) == 8, "TavoIsSupported");
TAVO_HOST_ASSERT(sizeof(TavoPictureCall) == 16, "TavoPictureCall");
TAVO_HOST_ASSERT(sizeof(TavoPictureInfoReply) == 32, "TavoPictureInfoReply");
TAVO_HOST_ASSERT(sizeof(TavoPictureReply) == 8, "TavoPictureReply");
TAVO_HOST_ASSERT(sizeof(TavoProgress) == 8, "TavoProgress");
#undef TAVO_HOST_ASSERT

#endif /* TAVO_SPI_HOST_PROTOCOL_H */
