// The application's general error report: a critical message box titled
// "TavoTavo" with the error's text, after which the program goes on.
// Exceptions must never unwind through Qt's frames, so every handler of ours
// that Qt calls runs its body inside guarded().
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string_view>

namespace tavo {

inline constexpr const char* kApplicationTitle = "TavoTavo";

// Shows the report for a message (a full stop appended by errorReportText).
void reportErrorMessage(std::string_view message);
// Reports the exception being handled; call it only inside a catch block.
// Never throws.
void reportCurrentException() noexcept;

// Runs body and reports whatever it throws.
template <class Body>
void guarded(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
        reportCurrentException();
    }
}

// Where reports go: by default the message box. Tests collect them instead.
// Receives the finished text; returns the reporter it replaces.
using ErrorReporter = std::function<void(const QString& text)>;
ErrorReporter setErrorReporter(ErrorReporter reporter);

} // namespace tavo
