#include "platform/StartTimeline.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tavo::platform {

namespace {
// Read once: marks come from several threads, and the variable never changes.
const char* timelineFile()
{
    static const char* const file = std::getenv(kTimelineVariable);
    return file;
}

// The process's resident memory now, from the second field of statm (pages).
long residentKilobytes() noexcept
{
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[128];
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length <= 0)
        return -1;
    text[length] = '\0';
    long size = 0, resident = 0;
    if (std::sscanf(text, "%ld %ld", &size, &resident) != 2)
        return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
} // namespace

void markStartPhase(const char* phase) noexcept
{
    const char* file = timelineFile();
    if (file == nullptr || *file == '\0')
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    char line[160];
    const int length = std::snprintf(line, sizeof line, "%s %lld %ld %lld %ld\n", phase,
                                     static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000,
                                     residentKilobytes(),
                                     static_cast<long long>(cpu.tv_sec) * 1000000 + cpu.tv_nsec / 1000,
                                     usage.ru_minflt);
    if (length <= 0)
        return;
    // One write of a whole line in append mode: lines of two threads never mix.
    const int fd = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::size_t size = static_cast<std::size_t>(length) < sizeof line ? static_cast<std::size_t>(length)
                                                                             : sizeof line - 1;
    [[maybe_unused]] const ssize_t written = write(fd, line, size);
    close(fd);
}

} // namespace tavo::platform
