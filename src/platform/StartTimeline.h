// Marks of the start's phases, for the start-timeline benchmark
// (bench/startup). When the environment variable TAVOTAVO_TIMELINE names a
// file, each mark appends one line "<phase> <monotonic clock, microseconds>
// <resident memory, KiB> <CPU time of the process, microseconds> <minor page
// faults so far>" to it, so that the start program and the viewer it becomes
// write to the same file. Without the variable a mark costs one test of a flag.
#pragma once

namespace tavo::platform {

inline constexpr const char* kTimelineVariable = "TAVOTAVO_TIMELINE";

void markStartPhase(const char* phase) noexcept;

} // namespace tavo::platform
