// The toolkit's floor for the start benchmark: about the least a Qt Widgets
// program holds to show a window like the viewer's (half the screen, a tool
// bar, a status bar with Japanese text, a magenta area the pixel probe
// recognises). The viewer's peak memory with a tiny picture is read against it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.addToolBar(QStringLiteral("ToolBox"))->addAction(QStringLiteral("次の画像"));
    window.statusBar()->showMessage(QStringLiteral("画像を表示しています"));
    QLabel picture;
    picture.setAutoFillBackground(true);
    QPalette palette = picture.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 255));
    picture.setPalette(palette);
    window.setCentralWidget(&picture);
    window.resize(window.screen()->availableGeometry().size() / 2);
    window.show();
    return application.exec();
}
