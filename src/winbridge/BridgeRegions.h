/* Shared memory for the bridge: a region is a file "region-<n>" in the
 * private folder the viewer names at start. The viewer's files carry the
 * picture data; the bridge writes the blocks a plug-in returns into files of
 * its own numbers (from BRIDGE_FIRST_OWN_CARRIER up), which the viewer reads
 * and deletes. */
#ifndef BRIDGE_REGIONS_H
#define BRIDGE_REGIONS_H

#include "spihost/spi_host_protocol.h"

#include <windows.h>

#define BRIDGE_FIRST_OWN_CARRIER 0x80000000u

typedef struct {
    HANDLE file;
    HANDLE mapping;
    unsigned char *view;
    const unsigned char *data; /* the region inside the view */
    uint64_t size;
} MappedRegion;

/* The folder, as a Unix path of length bytes. FALSE when Windows cannot name it. */
BOOL regionsOpen(const char *folder, uint32_t length);

/* Maps a region of the viewer's copy-on-write: what a plug-in writes into its
 * input stays in the bridge. FALSE when the file is missing or shorter than
 * the region says. */
BOOL regionMap(const TavoHostRegion *region, MappedRegion *mapped);
void regionUnmap(MappedRegion *mapped);

/* Writes a block into a new region file of the bridge's and describes it. */
BOOL regionWrite(const void *bytes, uint64_t size, TavoHostRegion *region);

/* Deletes a region file the bridge wrote and will not send. */
void regionDiscard(const TavoHostRegion *region);

#endif
