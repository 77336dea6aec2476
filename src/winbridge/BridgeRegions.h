/* Shared memory for the bridge: a region is a file "region-<n>" in the
 * private folder the viewer names at start. The viewer's files carry the
 * picture data; the bridge writes the blocks a plug-in returns into two files
 * of its own numbers (BRIDGE_FIRST_OWN_CARRIER and the next), again for each
 * picture; the viewer reads them and removes them with the folder. */
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

/* Writes a block into the bridge's region file of that slot (0 or 1) from
 * its start, and describes it. */
BOOL regionWrite(unsigned slot, const void *bytes, uint64_t size, TavoHostRegion *region);

#endif
