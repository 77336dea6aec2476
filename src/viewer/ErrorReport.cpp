#include "viewer/ErrorReport.h"

#include "platform/Errors.h"
#include "viewer/core/ErrorText.h"

#include <QApplication>
#include <QMessageBox>

#include <new>

namespace tavo {

namespace {
// Shown for an exception that carries no text of ours.
constexpr const char* kUnknownErrorMessage = "不明なエラーが発生しました";

void showMessageBox(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QString::fromUtf8(kApplicationTitle), text);
}

ErrorReporter& currentReporter()
{
    static ErrorReporter reporter = showMessageBox;
    return reporter;
}
} // namespace

ErrorReporter setErrorReporter(ErrorReporter reporter)
{
    ErrorReporter previous = std::move(currentReporter());
    currentReporter() = reporter ? std::move(reporter) : ErrorReporter(showMessageBox);
    return previous;
}

void reportErrorMessage(std::string_view message)
{
    currentReporter()(QString::fromStdString(errorReportText(message)));
}

void reportCurrentException() noexcept
{
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            reportErrorMessage(EOutOfMemory().what());
        } catch (const std::exception& error) {
            reportErrorMessage(error.what());
        } catch (...) {
            reportErrorMessage(kUnknownErrorMessage);
        }
    } catch (...) {
        // The report itself failed (no memory for the box): nothing is left
        // to tell the user with, and the program goes on.
    }
}

} // namespace tavo
