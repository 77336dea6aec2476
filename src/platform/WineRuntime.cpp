#include "platform/WineRuntime.h"

#include "platform/AtomicFile.h"
#include "platform/LibraryFormat.h"
#include "platform/SpawnAttributes.h"

#include <elf.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace tavo::platform {

namespace {

// Variables of Wine's that this program sets itself, and the displays that
// would let a Wine program open a window.
const char* const kReplacedVariables[] = {"WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "WINEARCH",
                                          "DISPLAY", "WAYLAND_DISPLAY"};

// mscoree and mshtml empty: no Mono or Gecko installer at prefix creation;
// winemenubuilder off: no menu entries or file associations in the user's
// desktop; winedbg off: a crash ends the program instead of starting a debugger.
constexpr const char* kDllOverrides = "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d";

constexpr const char* kStampName = "tavotavo-ready";

// Whether path is an ELF executable for the x86 width asked for.
bool isLoaderFor(const std::string& path, int bits)
{
    if (path.empty() || access(path.c_str(), X_OK) != 0)
        return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char ident[EI_NIDENT + 4] = {};
    const bool read = pread(fd, ident, sizeof ident, 0) == static_cast<ssize_t>(sizeof ident);
    close(fd);
    if (!read || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return false;
    const int machine = ident[EI_NIDENT + 2] | ident[EI_NIDENT + 3] << 8; // e_machine follows e_type
    return bits == 32 ? ident[EI_CLASS] == ELFCLASS32 && machine == EM_386
                      : ident[EI_CLASS] == ELFCLASS64 && machine == EM_X86_64;
}

std::string onPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
            return folder + "/" + name;
        start = end + 1;
    }
    return {};
}

std::string cacheHome()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.cache";
}

// The widths whose loader exists now: what a ready prefix must have been made with.
std::string availableWidths()
{
    std::string widths;
    if (!wineLoader(32).empty())
        widths += "32 ";
    if (!wineLoader(64).empty())
        widths += "64 ";
    return widths;
}

} // namespace

std::string wineLoader(int bits)
{
    const char* override = std::getenv(bits == 32 ? "TAVO_WINE32" : "TAVO_WINE64");
    if (override != nullptr)
        return isLoaderFor(override, bits) ? override : std::string();
    const std::string name = bits == 32 ? "wine" : "wine64";
    for (const std::string& candidate : {"/usr/lib/wine/" + name, onPath(name)}) {
        if (isLoaderFor(candidate, bits))
            return candidate;
    }
    return {};
}

std::string winePrefixFolder()
{
    return cacheHome() + "/tavotavo/wine";
}

std::vector<std::string> wineEnvironment()
{
    std::vector<std::string> environment;
    for (char** at = environ; *at != nullptr; ++at) {
        const std::string entry = *at;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const char* variable : kReplacedVariables)
            replaced = replaced || name == variable;
        if (!replaced)
            environment.push_back(entry);
    }
    environment.push_back("WINEPREFIX=" + winePrefixFolder());
    environment.push_back("WINEDEBUG=-all");
    environment.push_back(kDllOverrides);
    return environment;
}

pid_t spawnWineProgram(const std::vector<std::string>& argv, int input, int output)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::vector<std::string> environment = wineEnvironment();
    std::vector<char*> env;
    for (const std::string& e : environment)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const CleanSpawnAttributes attributes;
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, attributes.get(), args.data(), env.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

WinePrefix& WinePrefix::instance()
{
    static WinePrefix prefix;
    return prefix;
}

bool WinePrefix::stampCurrent() const
{
    const auto stamp = readWholeFile(winePrefixFolder() + "/" + kStampName);
    return stamp && *stamp == availableWidths();
}

bool WinePrefix::poll()
{
    if (ready_ || failed_)
        return ready_;
    if (boot_ > 0) {
        int status = 0;
        const pid_t done = waitpid(boot_, &status, WNOHANG);
        if (done == boot_ || (done < 0 && errno != EINTR))
            finish(done == boot_ ? status : -1);
        return ready_;
    }
    if (stampCurrent()) {
        ready_ = true;
        return true;
    }
    start();
    return ready_;
}

void WinePrefix::start()
{
    std::string loader = wineLoader(64);
    if (loader.empty())
        loader = wineLoader(32);
    if (loader.empty()) {
        failed_ = true;
        return;
    }
    const std::string folder = winePrefixFolder();
    try {
        createFolders(folder.substr(0, folder.rfind('/')), 0700);
    } catch (...) {
        failed_ = true;
        return;
    }
    // One process makes the prefix; another one waits for it here.
    if (lock_ < 0)
        lock_ = open((folder + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0) {
        failed_ = true;
        return;
    }
    if (flock(lock_, LOCK_EX | LOCK_NB) != 0)
        return; // another process prepares it; asked again later
    if (stampCurrent()) {
        flock(lock_, LOCK_UN);
        ready_ = true;
        return;
    }
    // A prefix made before Wine's 32-bit part was installed gets it by an update.
    const bool exists = access((folder + "/system.reg").c_str(), F_OK) == 0;
    boot_ = spawnWineProgram({loader, "wineboot", exists ? "--update" : "--init"}, -1, -1);
    if (boot_ < 0) {
        flock(lock_, LOCK_UN);
        failed_ = true;
    }
}

void WinePrefix::finish(int status)
{
    boot_ = -1;
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        try {
            replaceFileAtomically(winePrefixFolder() + "/" + kStampName, availableWidths());
            ready_ = true;
        } catch (...) {
            failed_ = true;
        }
    } else {
        failed_ = true;
    }
    flock(lock_, LOCK_UN);
}

bool WinePrefix::wait(std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!poll() && !failed_) {
        if (std::chrono::steady_clock::now() >= end) {
            if (boot_ > 0) {
                kill(boot_, SIGKILL);
                int status = 0;
                waitpid(boot_, &status, 0);
                finish(-1);
            }
            failed_ = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ready_;
}

} // namespace tavo::platform
