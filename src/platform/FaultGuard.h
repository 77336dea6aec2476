// Running foreign code (a plug-in's entry point) so that a hardware fault in it
// returns to the caller instead of ending the process.
//
// The guard is in-process: SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT raised while a
// guarded call runs on this thread jump back to the guard (sigsetjmp and
// siglongjmp, the handler on an alternate signal stack so that a stack
// overflow is caught too). Memory the foreign code wrote before the fault may
// stay corrupted and locks it held stay held, so the caller must never call
// that code again. A fault outside a guarded call goes to the handler that was
// there before, as if the guard did not exist.
#pragma once

namespace tavo::platform {

struct FaultReport {
    int signal = 0; // the signal number, 0 when the call returned
    void* address = nullptr; // the faulting address the kernel reported
};

// Calls call(context) under the guard. Returns true when it returned normally;
// false when it faulted, with *report filled. call must not throw, and no C++
// object with a destructor may live between this frame and the fault.
bool runGuarded(void (*call)(void*), void* context, FaultReport* report);

// Convenience form for a callable; the callable itself must not throw.
template <class F>
bool runGuarded(F& callable, FaultReport* report)
{
    return runGuarded([](void* c) { (*static_cast<F*>(c))(); }, &callable, report);
}

} // namespace tavo::platform
