// One step through the file list, as next and previous take it: the selection
// moves one line, never past either end (no wrap). With no line selected, the
// next step selects the first line and the previous step does nothing.
#pragma once

#include "imaging/FileListBox.h"

namespace tavo {

// True when the selection moved.
inline bool selectNextLine(TFileListBox& list)
{
    if (list.SelectedIndex() >= list.count() - 1)
        return false;
    list.setSelectedIndex(list.SelectedIndex() + 1);
    return true;
}

inline bool selectPreviousLine(TFileListBox& list)
{
    if (list.SelectedIndex() <= 0)
        return false;
    list.setSelectedIndex(list.SelectedIndex() - 1);
    return true;
}

} // namespace tavo
