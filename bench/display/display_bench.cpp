// Repaints the real main window's work area, 1280 × 800, on the offscreen
// platform: once showing a 6000 × 4000 picture stretched to 4096 × 3072 (the
// fixed-ratio size limit), once a 1280 × 800 picture at original size. Painting
// draws only the exposed part, so the two should cost about the same; the
// ratio of their median CPU times is printed at the end (goal: at most 1.5);
// CPU time, because on a shared machine the wall clock mostly measures waiting.
//   display_bench [--benchmark_repetitions=N]   (default 9 repetitions)
#include "viewer/MainForm.h"
#include "viewer/TavoApplication.h"

#include <QFrame>
#include <QImage>
#include <QLayout>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

tavo::Bitmap texturedPicture(std::int32_t width, std::int32_t height)
{
    tavo::Bitmap picture(width, height, 24);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = picture.mutableRow(y);
        for (std::int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 7 + y);
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 3);
            row[3 * x + 2] = static_cast<std::uint8_t>(x ^ y);
        }
    }
    return picture;
}

struct Window {
    Window()
    {
        form.show();
        form.layout()->activate();
        const QSize extra = form.size() - form.pnlWkArea->size();
        form.resize(1280 + extra.width(), 800 + extra.height());
        form.layout()->activate();
        // A window paints only once the platform has exposed it.
        for (int i = 0; i < 1000 && !(form.windowHandle() && form.windowHandle()->isExposed()); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
    }
    tavo::TfrmTavo2MainForm form;
};

// Made on first use and destroyed in main, before the application object.
std::unique_ptr<Window> theWindow;

Window& window()
{
    if (!theWindow)
        theWindow = std::make_unique<Window>();
    return *theWindow;
}

void repaint(benchmark::State& state, const tavo::Bitmap& picture, tavo::ImageBounds bounds)
{
    tavo::TfrmTavo2MainForm& form = window().form;
    if (form.pnlWkArea->size() != QSize(1280, 800)) {
        state.SkipWithError("the work area is not 1280 × 800");
        return;
    }
    form.imgImgArea->setPicture(picture);
    form.setImageBounds(bounds);
    // The work area and its child painted as an expose of the whole work area
    // paints them, into a 32-bit image like the window's backing store.
    QImage target(1280, 800, QImage::Format_RGB32);
    const QRegion exposed(0, 0, 1280, 800);
    for (auto _ : state)
        form.pnlWkArea->render(&target, QPoint(), exposed);
}

void Stretched24MegapixelsTo4096x3072(benchmark::State& state)
{
    static const tavo::Bitmap picture = texturedPicture(6000, 4000);
    repaint(state, picture, {0, 0, 4096, 3072});
}

void OriginalSize1280x800(benchmark::State& state)
{
    static const tavo::Bitmap picture = texturedPicture(1280, 800);
    repaint(state, picture, {0, 0, 1280, 800});
}

BENCHMARK(OriginalSize1280x800)->Unit(benchmark::kMillisecond);
BENCHMARK(Stretched24MegapixelsTo4096x3072)->Unit(benchmark::kMillisecond);

// Keeps the medians so that main can print their ratio.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tavo::TavoApplication application(argc, argv);
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    arguments.push_back(repetitions.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double anchor = reporter.medians["OriginalSize1280x800"];
    const double stretched = reporter.medians["Stretched24MegapixelsTo4096x3072"];
    if (anchor > 0)
        std::printf("ratio stretched / original size (median CPU times): %.2f (goal <= 1.5)\n", stretched / anchor);
    theWindow.reset();
    benchmark::Shutdown();
    return 0;
}
