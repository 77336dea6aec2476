// Folder services: reading a folder's entries, the process's current directory,
// and whether a file or folder exists. Failures raise EInOutError with the errno
// of the call that failed. Paths and names are byte strings, passed unchanged.
#pragma once

#include "platform/FolderError.h"

#include <cstdint>
#include <dirent.h>
#include <optional>
#include <string>

namespace tavo::platform {

// What an entry is after following symbolic links. Other: a FIFO, socket or
// device, or a link that leads nowhere.
enum class EntryKind { File, Folder, Other };

struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};

// Reads one folder's entries in the file system's order, "." and ".." included.
class FolderReader {
public:
    explicit FolderReader(const std::string& path);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The next entry, or false at the end. The entry's kind comes from the
    // folder record where the file system gives it, else from stat.
    bool next(FolderEntry& entry);
    // True when the entry carries no write permission for anyone (chmod a-w).
    bool isReadOnly(const FolderEntry& entry) const;

private:
    DIR* dir_;
};

std::string currentDirectory();
void setCurrentDirectory(const std::string& path);

// Puts the process's current directory back where it was when constructed,
// even when that folder has been renamed since, unless dismissed.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper();
    ~CurrentDirectoryKeeper();
    void dismiss() { restore_ = false; }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
    CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

private:
    int fd_;
    bool restore_ = true;
};

// An entry that exists and is not a folder.
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// Which file a path leads to, so that two spellings can be told apart.
struct FileIdentity {
    std::uint64_t device;
    std::uint64_t inode;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> fileIdentity(const std::string& path);

} // namespace tavo::platform
