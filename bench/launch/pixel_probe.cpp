// Starts a picture viewer and measures the time until the benchmark picture's
// magenta pixels are on the X screen, then the viewer's peak resident memory.
//   launch_pixel_probe TIMEOUT_MS command [arguments...]
// Prints "<milliseconds> <peak resident KiB> <CPU milliseconds> <start>" and
// ends the viewer; the CPU time is taken when the picture appears, and <start>
// is the monotonic clock in microseconds at the spawn, against which the
// viewer's own start-timeline marks are read (bench/startup).
//
// The screen is sampled as a few whole rows per poll (one XGetImage each):
// cheap enough to poll every millisecond, and any viewer that shows the
// picture somewhere covers some of those rows.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {
constexpr int kRowStep = 48;
constexpr int kPixelsNeeded = 2000;

bool magenta(unsigned long pixel)
{
    const unsigned red = pixel >> 16 & 0xFF, green = pixel >> 8 & 0xFF, blue = pixel & 0xFF;
    return red > 140 && blue > 130 && green < 90;
}

int magentaPixels(Display* display, Window root, int width, int height)
{
    int count = 0;
    for (int y = kRowStep / 2; y < height; y += kRowStep) {
        XImage* row = XGetImage(display, root, 0, y, width, 1, AllPlanes, ZPixmap);
        if (!row)
            continue;
        for (int x = 0; x < width; ++x)
            count += magenta(XGetPixel(row, x, 0));
        XDestroyImage(row);
    }
    return count;
}

// CPU time the process has used so far, all its threads together, from the
// scheduler's per-thread accounting (nanoseconds, unlike the 10 ms ticks of
// /proc/PID/stat). On a loaded machine this says more than the wall clock.
double cpuMilliseconds(pid_t pid)
{
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double ns = 0;
        if (schedstat >> ns)
            total += ns / 1e6;
    }
    return total;
}

long peakResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TIMEOUT_MS command [arguments...]\n", argv[0]);
        return 2;
    }
    const auto timeout = std::chrono::milliseconds(std::atoi(argv[1]));
    // A busy server sometimes refuses a connection for a moment.
    Display* display = nullptr;
    for (int attempt = 0; attempt < 50 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    // The previous viewer's window may take a moment to vanish.
    const auto clearBy = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (magentaPixels(display, root, attributes.width, attributes.height) >= kPixelsNeeded) {
        if (std::chrono::steady_clock::now() > clearBy) {
            std::fprintf(stderr, "the screen still shows the picture\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawnp(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    int result = 1;
    while (std::chrono::steady_clock::now() - start < timeout) {
        if (magentaPixels(display, root, attributes.width, attributes.height) >= kPixelsNeeded) {
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            const double cpu = cpuMilliseconds(pid);
            // Give the viewer a moment to finish what it does after painting,
            // so the peak memory is that of the shown picture.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const auto spawned =
                std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch()).count();
            std::printf("%.1f %ld %.1f %lld\n", ms, peakResidentKiB(pid), cpu, static_cast<long long>(spawned));
            result = 0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (result != 0)
        std::fprintf(stderr, "%s: no picture within the time limit\n", argv[2]);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XCloseDisplay(display);
    return result;
}
