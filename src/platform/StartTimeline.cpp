#include "platform/StartTimeline.h"

#include <fcntl.h>
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
} // namespace

void markStartPhase(const char* phase) noexcept
{
    const char* file = timelineFile();
    if (file == nullptr || *file == '\0')
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[128];
    const int length = std::snprintf(line, sizeof line, "%s %lld\n", phase,
                                     static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
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
