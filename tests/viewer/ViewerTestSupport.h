// Shared by the Qt tests of the viewer: the one application object, collected
// error reports instead of message boxes, generated picture files.
#pragma once

#include "imaging/Bitmap.h"
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"

#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace tavo::test {

// Creates the application on first use (offscreen in the test environment).
void ensureApplication();

// Collects the error reports made while it lives.
class CollectedReports {
public:
    CollectedReports();
    ~CollectedReports();
    QStringList texts;

private:
    ErrorReporter previous_;
};

// A 24-bit picture whose pixel (x, y) has blue x, green y, red x + y (mod 256).
Bitmap patternPicture(std::int32_t width, std::int32_t height, int bitCount = 24);

// Writes a bitmap file into dir and returns its path.
std::string writePicture(const QTemporaryDir& dir, const std::string& name, const Bitmap& picture);

// Resizes the window so that its work area gets exactly this size.
void resizeWorkArea(TfrmTavo2MainForm& form, int width, int height);

} // namespace tavo::test
