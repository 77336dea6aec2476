#include "platform/Folder.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavo::platform {

namespace {
EntryKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return EntryKind::Other;
}
} // namespace

FolderReader::FolderReader(const std::string& path) : dir_(opendir(path.c_str()))
{
    if (dir_ == nullptr)
        throw EInOutError(errno);
}

FolderReader::~FolderReader() { closedir(dir_); }

bool FolderReader::next(FolderEntry& entry)
{
    errno = 0;
    const dirent* record = readdir(dir_);
    if (record == nullptr) {
        if (errno != 0)
            throw EInOutError(errno);
        return false;
    }
    entry.name.assign(record->d_name);
    switch (record->d_type) {
    case DT_REG: entry.kind = EntryKind::File; break;
    case DT_DIR: entry.kind = EntryKind::Folder; break;
    case DT_LNK:
    case DT_UNKNOWN: {
        // Links are followed, and some file systems leave the type out.
        struct stat info {};
        entry.kind = fstatat(dirfd(dir_), record->d_name, &info, 0) == 0 ? kindOfMode(info.st_mode)
                                                                        : EntryKind::Other;
        break;
    }
    default: entry.kind = EntryKind::Other; break;
    }
    return true;
}

bool FolderReader::isReadOnly(const FolderEntry& entry) const
{
    struct stat info {};
    if (fstatat(dirfd(dir_), entry.name.c_str(), &info, 0) != 0)
        return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::string currentDirectory()
{
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            throw EInOutError(errno);
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

void setCurrentDirectory(const std::string& path)
{
    if (chdir(path.c_str()) != 0)
        throw EInOutError(errno);
}

// O_PATH needs no read permission on the folder, only that it exists.
CurrentDirectoryKeeper::CurrentDirectoryKeeper() : fd_(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC))
{
    if (fd_ < 0)
        throw EInOutError(errno);
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper()
{
    // Nothing can be reported from a destructor; fchdir to an open folder
    // descriptor only fails when the descriptor is bad.
    if (restore_ && fchdir(fd_) != 0) {
    }
    close(fd_);
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool folderExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

} // namespace tavo::platform
