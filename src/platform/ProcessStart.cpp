#include "platform/ProcessStart.h"

#include "platform/SpawnAttributes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace tavo::platform {

namespace {

// The file posix_spawnp runs for `name`: itself when it holds a "/", else the
// first executable file of that name in PATH. Empty when there is none.
std::string programFile(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/bin:/usr/bin";
    std::string::size_type from = 0;
    for (;;) {
        const auto end = folders.find(':', from);
        const std::string folder = folders.substr(from, end == std::string::npos ? end : end - from);
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (fileFacts(candidate).isExecutableFile)
            return candidate;
        if (end == std::string::npos)
            return {};
        from = end + 1;
    }
}

} // namespace

bool startDetached(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv[0].empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // An executable file without a "#!" line is a shell script to execvp,
    // which runs it with /bin/sh; posix_spawnp refuses it (ENOEXEC). The
    // arguments for that are made here, as the child may only spawn.
    static char shell[] = "/bin/sh";
    const std::string script = programFile(argv[0]);
    std::vector<char*> scriptArgs{shell, const_cast<char*>(script.c_str())};
    scriptArgs.insert(scriptArgs.end(), args.begin() + 1, args.end());

    // A report pipe tells whether the spawn in the intermediate process worked.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    // The intermediate process spawns the tool and ends at once, so the tool
    // is adopted by init (or the session's subreaper) and reaped there.
    const pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        close(report[0]);
        setsid();
        const CleanSpawnAttributes attributes;
        pid_t tool = 0;
        int rc = posix_spawnp(&tool, args[0], nullptr, attributes.get(), args.data(), environ);
        if (rc == ENOEXEC && !script.empty())
            rc = posix_spawn(&tool, shell, nullptr, attributes.get(), scriptArgs.data(), environ);
        const char ok = rc == 0 ? 1 : 0;
        (void)!write(report[1], &ok, 1);
        _exit(0);
    }
    close(report[1]);
    char ok = 0;
    ssize_t got;
    do {
        got = read(report[0], &ok, 1);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return got == 1 && ok == 1;
}

FileFacts fileFacts(const std::string& path)
{
    FileFacts facts;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return facts;
    facts.exists = true;
    facts.isExecutableFile = S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
    return facts;
}

std::string readSmallTextFile(const std::string& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text;
    char buffer[4096];
    while (in && text.size() < limit) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

} // namespace tavo::platform
