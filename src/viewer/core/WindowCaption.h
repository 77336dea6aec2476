// The toolkit reads "[*]" in a window title as the place of its
// modified-document mark and drops it; "[*][*]" stands for one "[*]" shown as
// written. The caption must be the title line exactly, whatever the file is called.
#pragma once

#include <string>

namespace tavo {

// The title to give the toolkit so that it shows `caption` unchanged.
std::string captionForToolkit(const std::string& caption);

} // namespace tavo
