// Reads a generated folder of many files (half matching the mask) into the
// file list, interleaved with `ls -f` (no sorting) and `ls` (sorted) of the
// same folder, and prints the medians and the median ratio to `ls`: once for
// the toolkit-free list, once for the widget (read, sort, model fill and the
// paint of the visible lines). Then times the list part of next and previous.
//
//   bench_listing [files] [rounds]      (defaults 100000, 11)
// The locale comes from the environment, for ls and the list alike.
#include "imaging/FileListBox.h"
#include "imaging/FileListNavigation.h"
#include "viewer/FileListBoxWidget.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs ls with its output to /dev/null; returns milliseconds.
double timeLs(const std::string& folder, bool unsorted)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"ls"};
    if (unsorted)
        args.push_back("-f");
    args.push_back(folder);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "ls", &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("ls");
        std::exit(1);
    }
    int status;
    waitpid(pid, &status, 0);
    const double ms = msSince(start);
    posix_spawn_file_actions_destroy(&actions);
    return ms;
}

std::string makeFolder(int files)
{
    char pattern[] = "/tmp/tavo-bench-listing-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    const std::string folder = pattern;
    // Camera-like names, with some case and Japanese variety.
    for (int i = 0; i < files; ++i) {
        const char* ext = i % 2 == 0 ? ".jpg" : ".png";
        const char* stem = i % 7 == 0 ? "写真_" : (i % 3 == 0 ? "IMG_" : "img_");
        const std::string path = folder + "/" + stem + std::to_string(i * 7919 % 1000003) + ext;
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        close(fd);
    }
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 11;
    const std::string folder = makeFolder(files);
    const std::string startDir = std::filesystem::current_path();

    tavo::TFileListBox list;
    list.PointAtPath(folder + "/");
    list.setFileType({tavo::TFileAttr::ftNormal});
    list.setMask("*.jpg");
    std::printf("%d files, %d listed, locale %s\n", files, list.count(),
                std::getenv("LC_ALL") ? std::getenv("LC_ALL") : (std::getenv("LANG") ? std::getenv("LANG") : "C"));

    tavo::TFileListBoxWidget widget;
    widget.resize(100, 600);
    widget.show();
    widget.list().PointAtPath(folder + "/");
    widget.list().setFileType({tavo::TFileAttr::ftNormal});
    widget.list().setMask("*.jpg");
    QApplication::processEvents();

    // The first load in a folder: the filter is set while the mask is still
    // "*.*" (every file with a dot), then the mask, as the load orders it.
    std::vector<double> firstLoads;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        tavo::TFileListBox fresh;
        fresh.PointAtPath(folder + "/");
        fresh.setFileType({tavo::TFileAttr::ftNormal});
        fresh.setMask("*.jpg");
        fresh.PointAtPath(folder + "/img_15838.jpg");
        firstLoads.push_back(msSince(start));
    }

    std::vector<double> unsortedLs, sortedLs, reads, shown, readRatios, shownRatios;
    for (int round = 0; round < rounds; ++round) {
        unsortedLs.push_back(timeLs(folder, true));
        sortedLs.push_back(timeLs(folder, false));
        auto start = Clock::now();
        list.ReadFolder();
        reads.push_back(msSince(start));
        start = Clock::now();
        widget.list().ReadFolder();
        widget.repaint();
        shown.push_back(msSince(start));
        readRatios.push_back(reads.back() / sortedLs.back());
        shownRatios.push_back(shown.back() / sortedLs.back());
    }
    std::printf("ls -f        %8.1f ms\n", median(unsortedLs));
    std::printf("ls           %8.1f ms\n", median(sortedLs));
    std::printf("ReadFolder   %8.1f ms   (median ratio to ls %.2f)\n", median(reads), median(readRatios));
    std::printf("  and shown  %8.1f ms   (median ratio to ls %.2f)\n", median(shown), median(shownRatios));
    std::printf("first load   %8.1f ms   (two readings: all names, then the mask)\n", median(firstLoads));

    // The list part of one step: move the selection, take its path, and the
    // re-synchronisation that the load then runs (same filter, mask and file;
    // the folder is compared by the viewer as text).
    list.setSelectedIndex(0);
    std::vector<double> steps;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        const bool moved = i < 1000 ? tavo::selectNextLine(list) : tavo::selectPreviousLine(list);
        const std::string path = list.SelectedPath();
        list.setFileType({tavo::TFileAttr::ftNormal});
        list.setMask("*.jpg");
        list.PointAtPath(path);
        steps.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (!moved)
            break;
    }
    std::vector<double> ordered = steps;
    std::sort(ordered.begin(), ordered.end());
    std::printf("next/prev    %8.1f us median, %.1f us at the 99th percentile, %.1f us worst of %zu steps\n",
                median(steps), ordered[ordered.size() * 99 / 100], ordered.back(), steps.size());

    // The widget's step: the same, with the view following the selection.
    std::vector<double> widgetSteps;
    widget.list().setSelectedIndex(0);
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        const bool moved = i < 1000 ? tavo::selectNextLine(widget.list()) : tavo::selectPreviousLine(widget.list());
        const std::string path = widget.list().SelectedPath();
        widget.list().PointAtPath(path);
        widgetSteps.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (!moved)
            break;
    }
    std::printf("  in widget  %8.1f us median\n", median(widgetSteps));

    std::filesystem::current_path(startDir);
    std::filesystem::remove_all(folder);
    return 0;
}
