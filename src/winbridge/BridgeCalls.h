/* The requests of the protocol, carried out on the plug-in libraries this
 * bridge has loaded. Each handler answers its request on the channel; FALSE
 * means the channel failed or the viewer broke the protocol, and the bridge ends. */
#ifndef BRIDGE_CALLS_H
#define BRIDGE_CALLS_H

#include "BridgeChannel.h"

/* Once, before the first request. */
void callsInit(void);

BOOL handleLoad(const BridgeMessage *message);
BOOL handleUnload(const BridgeMessage *message);
BOOL handlePluginInfo(const BridgeMessage *message);
BOOL handleIsSupported(const BridgeMessage *message);
BOOL handlePictureInfo(const BridgeMessage *message);
BOOL handlePicture(const BridgeMessage *message);

#endif
