// The two things a program does with plug-ins: keep the registry its start-up
// search fills, and decode a file that is neither JPEG nor BMP through them.
#pragma once

#include "imaging/Bitmap.h"
#include "plugins/SPIs.h"

#include <memory>
#include <string>

namespace tavo {

// The registry as a program keeps it: AutoSearch on, the Susie folder and the
// program's folder. It has not searched yet: the owner calls Loaded() once,
// when it is ready for the search (and for its errors), or leaves it to the
// first decode below, so that a start that shows no plug-in picture need not
// wait for the search.
std::unique_ptr<TSPIs> createProgramRegistry();

// Decodes a file through a fresh TSPIBitmap: the plug-ins of the live registry
// and the BMP reader, in the order the file's extension gives. Runs the live
// registry's Loaded first when it has not run yet, keeping the search's report
// of skipped libraries in the registry (takeSearchFault). Raises what the load
// raises ("認識できない画像形式です", EFOpenError, the reader's errors, ESPIFault
// when the plug-in host was lost during a call).
Bitmap decodeThroughPlugins(const std::string& path);

// Whether a decode through the plug-ins would now wait for a slow host (Wine
// preparing itself on the first start that meets Windows plug-ins). Runs the
// search as the decode would.
bool pluginDecodeWouldWait();

} // namespace tavo
