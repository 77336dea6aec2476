/* The bridge's message stream: the viewer's requests on standard input, the
 * bridge's replies and progress reports on standard output, in the layout of
 * spi_host_protocol.h. */
#ifndef BRIDGE_CHANNEL_H
#define BRIDGE_CHANNEL_H

#include "spihost/spi_host_protocol.h"

#include <windows.h>

typedef struct {
    TavoHostHeader header;
    TavoHostRegion regions[TAVO_HOST_MAX_REGIONS];
    const unsigned char *payload; /* inside the channel's receive buffer */
    uint32_t payloadSize;
} BridgeMessage;

/* Takes the standard handles; FALSE when there are none. */
BOOL channelOpen(void);

/* Reads one whole message. FALSE when the stream ends, fails, or brings a
 * message beyond the limits: the bridge then ends. The payload stays valid
 * until the next read. */
BOOL channelRead(BridgeMessage *message);

/* Writes one message in a single piece: the header, the regions, then the
 * fixed part and the variable bytes of the payload. Serialised, so that
 * threads of a plug-in that report progress cannot interleave. */
BOOL channelWrite(uint16_t type, uint32_t call, const TavoHostRegion *regions, uint16_t regionCount,
                  const void *fixed, uint32_t fixedSize, const void *bytes, uint32_t byteCount);

#endif
