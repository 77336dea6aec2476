#include "imaging/FileListBox.h"

#include "imaging/FileListMask.h"
#include "imaging/FileListText.h"
#include "platform/Folder.h"

namespace tavo {

namespace {

// The attribute bits of the original platform's directory search.
enum : unsigned {
    kReadOnlyBit = 0x01,
    kHiddenBit = 0x02,
    kSystemBit = 0x04,
    kVolumeIdBit = 0x08,
    kDirectoryBit = 0x10,
    kArchiveBit = 0x20,
};

unsigned searchAttribute(TFileType fileType)
{
    unsigned bits = 0;
    const std::pair<TFileAttr, unsigned> members[] = {
        {TFileAttr::ftReadOnly, kReadOnlyBit}, {TFileAttr::ftHidden, kHiddenBit},
        {TFileAttr::ftSystem, kSystemBit},     {TFileAttr::ftVolumeID, kVolumeIdBit},
        {TFileAttr::ftDirectory, kDirectoryBit}, {TFileAttr::ftArchive, kArchiveBit},
    };
    for (const auto& [member, bit] : members)
        if (fileType.contains(member))
            bits |= bit;
    return bits;
}

} // namespace

// Shows the busy cursor from the 101st line of one reading until its lines are
// shown, and puts the cursor back however the reading ends.
class TFileListBox::BusyCursor {
public:
    explicit BusyCursor(FileListObserver* observer) : observer_(observer) {}
    ~BusyCursor()
    {
        if (shown_)
            observer_->busyEnd();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    void lineAdded(std::size_t lineCount)
    {
        if (lineCount == 101 && observer_ != nullptr) {
            observer_->busyBegin();
            shown_ = true;
        }
    }

private:
    FileListObserver* observer_;
    bool shown_ = false;
};

// Appended rather than put in with formatMessage: GCC 12 warns wrongly on the
// inlined replace.
EInvalidFileName::EInvalidFileName(const std::string& text) : Exception(std::string("不正なﾌｧｲﾙ名 - ") + text) {}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// A process whose current directory has been removed still gets its list; it
// stays empty until it is pointed at a folder that exists.
TFileListBox::TFileListBox()
{
    try {
        listFolder_ = platform::currentDirectory();
    } catch (const EInOutError&) {
    }
}

void TFileListBox::setMask(const std::string& mask)
{
    if (mask == mask_)
        return;
    BusyCursor busy(observer_);
    auto lines = readLines(listFolder_, mask, fileType_, busy);
    mask_ = mask;
    replaceLines(std::move(lines));
}

void TFileListBox::setFileType(TFileType fileType)
{
    if (fileType == fileType_)
        return;
    BusyCursor busy(observer_);
    auto lines = readLines(listFolder_, mask_, fileType, busy);
    fileType_ = fileType;
    replaceLines(std::move(lines));
}

void TFileListBox::setSelectedIndex(int index)
{
    if (index == selectedIndex_ || index < -1 || index >= count())
        return;
    selectedIndex_ = index;
    if (observer_ != nullptr)
        observer_->lineSelected(index);
}

std::string TFileListBox::SelectedName() const
{
    return selectedIndex_ < 0 ? std::string() : lines_[static_cast<std::size_t>(selectedIndex_)];
}

std::string TFileListBox::SelectedPath() const
{
    return selectedIndex_ < 0 ? std::string() : joinPath(listFolder_, SelectedName());
}

void TFileListBox::ReadFolder()
{
    BusyCursor busy(observer_);
    replaceLines(readLines(listFolder_, mask_, fileType_, busy));
}

// Collects the matching entries, then sorts them once: inserting each line at
// its sorted position would cost a quadratic number of moves on big folders.
// The current directory becomes the folder, and stays where it was on failure.
std::vector<std::string> TFileListBox::readLines(const std::string& folder, const std::string& mask,
                                                 TFileType fileType, BusyCursor& busy) const
{
    platform::CurrentDirectoryKeeper keeper;
    platform::setCurrentDirectory(folder);

    std::vector<std::string> lines;
    const unsigned search = searchAttribute(fileType);
    const bool normal = fileType.contains(TFileAttr::ftNormal);
    if (normal || search != 0) {
        const FileListMask filter(mask);
        platform::FolderReader reader(".");
        platform::FolderEntry entry;
        while (reader.next(entry)) {
            // FIFOs, sockets and devices are neither plain files nor folders:
            // opening one as a picture could block the viewer.
            if (entry.kind == platform::EntryKind::Other)
                continue;
            const bool isFolder = entry.kind == platform::EntryKind::Folder;
            const unsigned attributes = (isFolder ? kDirectoryBit : 0u) | (entry.name[0] == '.' ? kHiddenBit : 0u);
            if ((attributes & ~search & (kHiddenBit | kSystemBit | kVolumeIdBit | kDirectoryBit)) != 0)
                continue;
            if (!filter.matches(entry.name))
                continue;
            const bool listed = normal || (attributes & search) != 0 ||
                                ((search & kReadOnlyBit) != 0 && reader.isReadOnly(entry));
            if (!listed)
                continue;
            lines.push_back(isFolder ? "[" + entry.name + "]" : entry.name);
            busy.lineAdded(lines.size());
        }
        order_.sort(lines);
    }
    keeper.dismiss();
    return lines;
}

void TFileListBox::replaceLines(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    selectedIndex_ = -1;
    if (observer_ != nullptr)
        observer_->linesReplaced(lines_);
}

// The shortcut of pointing at the selected file again. A spelling that differs
// only in case counts as the same path unless, on this case-sensitive file
// system, it leads to another existing file (a.jpg and A.JPG side by side).
bool TFileListBox::isSelectedPath(const std::string& text) const
{
    const std::string selected = SelectedPath();
    if (selected.empty())
        return false;
    if (text == selected)
        return true;
    if (!equalsIgnoringCase(text, selected))
        return false;
    const auto spelled = platform::fileIdentity(text);
    return !spelled || spelled == platform::fileIdentity(selected);
}

TFileListBox::Split TFileListBox::splitPath(const std::string& text) const
{
    platform::CurrentDirectoryKeeper keeper;
    std::string path = text;
    if (path.size() >= 2 && path.front() == '[' && path.back() == ']')
        path = path.substr(1, path.size() - 2);

    Split split;
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        split.folder = platform::currentDirectory();
        split.name = path;
    } else {
        split.name = path.substr(slash + 1);
        split.folder = slash == 0 ? "/" : path.substr(0, slash);
        if (split.folder.front() != '/')
            split.folder = joinPath(platform::currentDirectory(), split.folder);
    }
    if (!split.name.empty() && !FileListMask::hasWildcard(split.name) &&
        !platform::fileExists(joinPath(split.folder, split.name))) {
        split.folder = joinPath(split.folder, split.name);
        split.name.clear();
        platform::setCurrentDirectory(split.folder);
    }
    return split;
}

// The folder is compared by what it resolves to: on a case-sensitive file
// system two spellings that differ in case are two folders, and a link or ".."
// names the folder it leads to.
void TFileListBox::changeFolder(const std::string& folder)
{
    platform::CurrentDirectoryKeeper keeper;
    platform::setCurrentDirectory(folder);
    const std::string resolved = platform::currentDirectory();
    if (resolved == listFolder_)
        return;
    BusyCursor busy(observer_);
    auto lines = readLines(resolved, mask_, fileType_, busy);
    listFolder_ = resolved;
    replaceLines(std::move(lines));
    keeper.dismiss();
}

int TFileListBox::findLine(const std::string& name, bool ignoringCase) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (ignoringCase ? equalsIgnoringCase(lines_[i], name) : lines_[i] == name)
            return static_cast<int>(i);
    return -1;
}

// The line spelled exactly like the name wins; otherwise a line equal to it
// ignoring case, the selected one if it is such a line.
void TFileListBox::selectName(const std::string& name)
{
    if (SelectedName() == name && selectedIndex_ >= 0)
        return;
    if (const int exact = findLine(name, false); exact >= 0) {
        setSelectedIndex(exact);
        return;
    }
    if (selectedIndex_ >= 0 && equalsIgnoringCase(SelectedName(), name))
        return;
    setSelectedIndex(findLine(name, true));
}

void TFileListBox::PointAtPath(const std::string& text)
{
    if (text.empty() || isSelectedPath(text))
        return;
    const Split split = splitPath(text);
    changeFolder(split.folder);
    // "*" and "?" are legal in names here: a file of that very name is a file,
    // not a mask.
    if (FileListMask::hasWildcard(split.name) && !platform::fileExists(joinPath(listFolder_, split.name))) {
        setMask(split.name);
        return;
    }
    if (split.name.empty())
        return;
    selectName(split.name);
    if (!platform::fileExists(joinPath(listFolder_, split.name)))
        throw EInvalidFileName(text);
    if (selectedIndex_ < 0) {
        setMask(split.name);
        selectName(split.name);
    }
}

} // namespace tavo
