#include "platform/FaultGuard.h"

#include <cfenv>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>

namespace tavo::platform {

namespace {

// SIGABRT too: a plug-in that aborts (a failed assertion in a library it
// bundles) would otherwise end the viewer.
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

struct sigaction previousActions[kSignalCount];

struct Frame {
    sigjmp_buf jump;
    FaultReport report;
};

thread_local Frame* activeFrame = nullptr;
thread_local bool altStackReady = false;

int indexOf(int signal)
{
    for (int i = 0; i < kSignalCount; ++i) {
        if (kSignals[i] == signal)
            return i;
    }
    return -1;
}

void onFault(int signal, siginfo_t* info, void* ucontext)
{
    Frame* frame = activeFrame;
    if (frame != nullptr) {
        activeFrame = nullptr;
        frame->report.signal = signal;
        frame->report.address = info != nullptr ? info->si_addr : nullptr;
        siglongjmp(frame->jump, 1);
    }
    // Not ours: hand the signal to whoever had it before.
    const struct sigaction& previous = previousActions[indexOf(signal)];
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, ucontext);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler != nullptr) {
        previous.sa_handler(signal);
        return;
    }
    // The default action: reinstate it and let the fault happen again on return
    // (or raise it again when it was sent rather than caused).
    sigaction(signal, &previous, nullptr);
    if (info == nullptr || info->si_code <= 0)
        raise(signal);
}

void installHandlers()
{
    struct sigaction action = {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &action, &previousActions[i]);
}

// Each thread that runs guarded calls needs a stack for the handler; a thread
// that already has one (a sanitizer runtime sets one up) keeps it.
void ensureAltStack()
{
    if (altStackReady)
        return;
    stack_t current = {};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) {
        altStackReady = true;
        return;
    }
    constexpr std::size_t size = 64 * 1024;
    stack_t stack = {};
    stack.ss_sp = std::malloc(size); // lives as long as the thread
    stack.ss_size = size;
    if (stack.ss_sp != nullptr && sigaltstack(&stack, nullptr) == 0)
        altStackReady = true;
}

} // namespace

bool runGuarded(void (*call)(void*), void* context, FaultReport* report)
{
    static std::once_flag installed;
    std::call_once(installed, installHandlers);
    ensureAltStack();

    std::fenv_t environment;
    std::fegetenv(&environment);
    Frame frame;
    Frame* const outer = activeFrame;
    // The signal mask is saved so that the jump unblocks the signal again.
    if (sigsetjmp(frame.jump, 1) == 0) {
        activeFrame = &frame;
        call(context);
        activeFrame = outer;
        // Foreign code may have unmasked floating-point traps; the host keeps its own.
        std::fesetenv(&environment);
        if (report != nullptr)
            *report = FaultReport{};
        return true;
    }
    activeFrame = outer;
    std::fesetenv(&environment);
    if (report != nullptr)
        *report = frame.report;
    return false;
}

} // namespace tavo::platform
