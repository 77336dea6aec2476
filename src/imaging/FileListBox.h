// TFileListBox: the sorted list of one folder's entries that match a mask and
// a file-type filter; the viewer's navigation order. Toolkit-free: a widget
// shows its lines through FileListObserver and writes SelectedIndex back.
//
// On this platform: "hidden" is a name starting with "."; system files and
// volume labels do not exist; "/" is the only delimiter and there is no drive.
// Names are byte strings, listed and joined into paths unchanged.
#pragma once

#include "imaging/FileListOrder.h"
#include "platform/Errors.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tavo {

enum class TFileAttr { ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftDirectory, ftArchive, ftNormal };

// A set of TFileAttr.
class TFileType {
public:
    TFileType() = default;
    TFileType(std::initializer_list<TFileAttr> members)
    {
        for (const TFileAttr member : members)
            bits_ |= bit(member);
    }
    bool contains(TFileAttr member) const { return (bits_ & bit(member)) != 0; }
    bool empty() const { return bits_ == 0; }
    bool operator==(const TFileType&) const = default;

private:
    static std::uint8_t bit(TFileAttr member) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(member)); }
    std::uint8_t bits_ = 0;
};

// "不正なﾌｧｲﾙ名 - %s": a file that was pointed at and has gone.
class EInvalidFileName : public Exception {
public:
    static constexpr const char* pattern = "不正なﾌｧｲﾙ名 - %s";
    explicit EInvalidFileName(const std::string& text);
};

// What a widget showing the list is told.
class FileListObserver {
public:
    virtual ~FileListObserver() = default;
    // All lines were replaced in one step; no line is selected.
    virtual void linesReplaced(const std::vector<std::string>& lines) = 0;
    virtual void lineSelected(int index) = 0;
    // From the 101st line of a reading on, until the reading ends or fails.
    virtual void busyBegin() = 0;
    virtual void busyEnd() = 0;
};

class TFileListBox {
public:
    // ListFolder starts as the process's current directory; the empty filter
    // lists nothing.
    TFileListBox();

    void setObserver(FileListObserver* observer) { observer_ = observer; }

    const std::string& ListFolder() const { return listFolder_; }
    const std::string& Mask() const { return mask_; }
    // A different value (compared case-sensitively) is stored and the folder
    // read again; should the reading fail, the old value and lines stay.
    void setMask(const std::string& mask);
    TFileType FileType() const { return fileType_; }
    void setFileType(TFileType fileType);

    int count() const { return static_cast<int>(lines_.size()); }
    const std::string& line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& lines() const { return lines_; }

    int SelectedIndex() const { return selectedIndex_; }
    // −1 clears the selection, 0 to count − 1 selects; anything else is refused.
    void setSelectedIndex(int index);
    std::string SelectedName() const;
    std::string SelectedPath() const;

    // Reads ListFolder again with Mask and FileType; the process's current
    // directory becomes ListFolder. On failure nothing changes.
    void ReadFolder();
    // Points the list at a folder (a text ending in "/"), a file, a pattern, or
    // a folder line "[name]".
    void PointAtPath(const std::string& text);

private:
    struct Split {
        std::string folder;
        std::string name;
    };
    class BusyCursor;

    std::vector<std::string> readLines(const std::string& folder, const std::string& mask, TFileType fileType,
                                       BusyCursor& busy) const;
    void replaceLines(std::vector<std::string> lines);
    bool isSelectedPath(const std::string& text) const;
    Split splitPath(const std::string& text) const;
    void changeFolder(const std::string& folder);
    void selectName(const std::string& name);
    int findLine(const std::string& name, bool ignoringCase) const;

    std::string listFolder_;
    std::string mask_ = "*.*";
    TFileType fileType_;
    std::vector<std::string> lines_;
    int selectedIndex_ = -1;
    FileListOrder order_;
    FileListObserver* observer_ = nullptr;
};

// folder "/" name, without doubling the "/" of the root folder.
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace tavo
