#include "viewer/MainForm.h"

#include "app/ArgumentPath.h"
#include "app/CommandLine.h"
#include "app/PictureFile.h"
#include "app/PicturePrefetch.h"
#include "app/SettingsLocation.h"
#include "interaction/MainFormKeys.h"
#include "interaction/MainFormMouse.h"
#include "platform/SearchFolders.h"
#include "plugins/PluginDecoding.h"
#include "viewer/AfterFirstPaint.h"
#include "viewer/ClickablePanel.h"
#include "viewer/ErrorReport.h"
#include "viewer/FileListBoxWidget.h"
#include "viewer/GlyphButton.h"
#include "viewer/MainFormSettings.h"
#include "viewer/MainFormShell.h"
#include "viewer/PluginSearch.h"
#include "viewer/RefineOnIdle.h"
#include "viewer/TavoApplication.h"
#include "viewer/ToolGlyphs.h"
#include "viewer/core/StartupPicture.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLayout>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

namespace tavo {

namespace {
constexpr int kButtonSize = 24;
constexpr int kWindowWidthButtonWidth = 26;
constexpr int kToolButtonSize = 25;
constexpr int kFileListWidth = 100;
constexpr int kSplitPanelWidth = 10;

// Runs a handler of ours from a Qt signal without letting an exception
// unwind through Qt.
template <class Handler>
auto guardedSlot(Handler handler)
{
    return [handler](auto&&...) { guarded(handler); };
}
} // namespace

TfrmTavo2MainForm::TfrmTavo2MainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TfrmTavo2MainForm"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    QFont font(QString::fromUtf8(kWindowFontFamily));
    font.setPixelSize(kWindowFontPixelSize);
    setFont(font);
    buildToolBar();
    buildClientArea();
    mouseHandlers = new MainFormMouse(*this);
    keyHandlers = new MainFormKeys(*this);
    FormCreate();
    // The registry of the built window; its one search waits for the first
    // paint, or runs sooner for a load that takes the plug-in path. Only one
    // registry may live: a second window in the process uses the first one's.
    if (GlobalSPIs() == nullptr) {
        SPIs1 = createProgramRegistry();
        searchPluginsAfterFirstPaint(this, *SPIs1);
    }
}

TfrmTavo2MainForm::~TfrmTavo2MainForm() = default;

QToolButton* TfrmTavo2MainForm::addButton(const char* name, const char* hint, const QIcon& glyph,
                                          int width, int height, QToolButton* button)
{
    if (!button)
        button = new QToolButton(TLBToolBox);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoRaise(true);
    // Only the file list takes the keyboard focus; the keys are the window's.
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(width, height);
    button->setIcon(glyph);
    if (hint)
        button->setToolTip(QString::fromUtf8(hint));
    TLBToolBox->addWidget(button);
    return button;
}

QAction* TfrmTavo2MainForm::addSeparator(const char* name)
{
    QAction* separator = TLBToolBox->addSeparator();
    separator->setObjectName(QString::fromUtf8(name));
    return separator;
}

QAction* TfrmTavo2MainForm::addZoomRatio(const char* name, int percent)
{
    QAction* item = ppmZoomRatio->addAction(QString::number(percent) + QLatin1Char('%'));
    item->setObjectName(QString::fromUtf8(name));
    item->setData(percent);  // the item's tag: its ratio in percent
    connect(item, &QAction::triggered, this, guardedSlot([this, item] { psiDirectZoom(item); }));
    return item;
}

void TfrmTavo2MainForm::buildToolBar()
{
    TLBToolBox = new QToolBar(QStringLiteral("ToolBox"), this);
    TLBToolBox->setObjectName(QStringLiteral("TLBToolBox"));
    TLBToolBox->setMovable(true);
    TLBToolBox->setFloatable(true);
    TLBToolBox->setAllowedAreas(Dock971 | Dock973 | Dock972);
    TLBToolBox->setIconSize(QSize(16, 16));
    addToolBar(Dock971, TLBToolBox);

    spdPrev = addButton("spdPrev", "前の画像(BS)", glyphs::previous(), kButtonSize, kButtonSize);
    spdNext = addButton("spdNext", "次の画像(SPACE)", glyphs::next(), kButtonSize, kButtonSize);
    spdPrev->setEnabled(false);
    spdNext->setEnabled(false);
    ToolbarSep972 = addSeparator("ToolbarSep972");

    spbWindowWidth = addButton("spbWindowWidth", "横幅をウィンドウに合わせる(F2)", glyphs::fitWidth(),
                               kWindowWidthButtonWidth, kButtonSize);
    spbFull = addButton("spbFull", "全体をウィンドウに収める(F3)", glyphs::fitWhole(), kButtonSize,
                        kButtonSize);
    spbNoZoom = addButton("spbNoZoom", "元の大きさで表示(F4)", glyphs::originalSize(), kButtonSize,
                          kButtonSize);
    zoomModeGroup = new QButtonGroup(this);
    zoomModeGroup->setObjectName(QStringLiteral("zoomModeGroup"));
    zoomModeGroup->setExclusive(true);
    for (QToolButton* button : {spbWindowWidth, spbFull, spbNoZoom}) {
        button->setCheckable(true);
        zoomModeGroup->addButton(button);
    }
    spbWindowWidth->setChecked(true);
    connect(spbWindowWidth, &QToolButton::clicked, this, guardedSlot([this] { spbWindowWidthClick(); }));
    connect(spbFull, &QToolButton::clicked, this, guardedSlot([this] { spbFullClick(); }));
    connect(spbNoZoom, &QToolButton::clicked, this, guardedSlot([this] { spbNoZoomClick(); }));

    ppmZoomRatio = new QMenu(this);
    ppmZoomRatio->setObjectName(QStringLiteral("ppmZoomRatio"));
    psi400 = addZoomRatio("psi400", 400);
    psi300 = addZoomRatio("psi300", 300);
    psi200 = addZoomRatio("psi200", 200);
    psi100 = addZoomRatio("psi100", 100);
    psi80 = addZoomRatio("psi80", 80);
    psi60 = addZoomRatio("psi60", 60);
    psi40 = addZoomRatio("psi40", 40);
    psi20 = addZoomRatio("psi20", 20);
    tlbZomRatio = addButton("tlbZomRatio", "ダイレクトに倍率を指定", glyphs::zoomRatio(),
                            kButtonSize + 12, kButtonSize);
    tlbZomRatio->setMenu(ppmZoomRatio);
    tlbZomRatio->setPopupMode(QToolButton::InstantPopup);
    ToolbarSep973 = addSeparator("ToolbarSep973");

    // Their 20 × 20 glyphs are drawn at that size, not at the toolbar's 16.
    const auto addToolButton = [this](const char* name) {
        return addButton(name, nullptr, QIcon(), kToolButtonSize, kToolButtonSize, new GlyphButton(TLBToolBox));
    };
    spbExTool1 = addToolButton("spbExTool1");
    spbExTool2 = addToolButton("spbExTool2");
    spbExTool3 = addToolButton("spbExTool3");
    ToolbarSep971 = addSeparator("ToolbarSep971");

    spbConfig = addButton("spbConfig", "環境設定(F5)", glyphs::settings(), kButtonSize, kButtonSize);
    spdClose = addButton("spdClose", "アプリケーションの終了(ESC)", glyphs::quit(), kButtonSize,
                         kButtonSize);
    connect(spdClose, &QToolButton::clicked, this, guardedSlot([this] { spdCloseClick(); }));
    connect(spbConfig, &QToolButton::clicked, this, guardedSlot([this] { spbConfigClick(); }));
    for (QToolButton* tool : {spbExTool1, spbExTool2, spbExTool3})
        connect(tool, &QToolButton::clicked, this, guardedSlot([this, tool] { spbExToolClick(tool); }));
}

void TfrmTavo2MainForm::buildClientArea()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    clientLayout = new QHBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    buildFileList(client);
    flbImgFileList->setFixedWidth(kFileListWidth);
    clientLayout->addWidget(flbImgFileList);

    pnlSpilit = new ClickablePanel(client);
    pnlSpilit->setObjectName(QStringLiteral("pnlSpilit"));
    pnlSpilit->setFixedWidth(kSplitPanelWidth);
    pnlSpilit->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlSpilit->setLineWidth(1);
    connect(pnlSpilit, &ClickablePanel::clicked, this, guardedSlot([this] { pnlSpilitClick(); }));
    clientLayout->addWidget(pnlSpilit);

    pnlWkArea = new QFrame(client);
    pnlWkArea->setObjectName(QStringLiteral("pnlWkArea"));
    pnlWkArea->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlWkArea->setLineWidth(1);
    // The default colour is the button face; settings may replace it.
    QPalette palette = pnlWkArea->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    pnlWkArea->setPalette(palette);
    pnlWkArea->setAutoFillBackground(true);
    clientLayout->addWidget(pnlWkArea, 1);

    imgImgArea = new PictureView(pnlWkArea);
    imgImgArea->setObjectName(QStringLiteral("imgImgArea"));
    imgImgArea->setPicture(startupPicture());
    imgImgArea->setGeometry(68, 56, kStartupPictureWidth, kStartupPictureHeight);

    setCentralWidget(client);
}

void TfrmTavo2MainForm::FormCreate()
{
    strCurDir.clear();
    blnCleared = false;
    iniConfig = TIniFile(settingsFilePath());
    bmpSource = Bitmap();
    new RefineOnIdle(*this);  // the idle hook, owned by the window
    readCreateSettings(*this);
    dblZoom = 1.0;
    dblAspect = static_cast<double>(displayPicture().height()) / displayPicture().width();
    imgImgArea->setCursor(Qt::OpenHandCursor);
    new MainFormShell(*this);
    // Loads move the current folder, so a relative argument is made absolute
    // against the folder the viewer was started in while it still stands there.
    strCurFile = absoluteAgainst(CommandLineArg(1), platform::currentFolder());
}

// Centres the image control in the work area. The layout gives the work area
// its size only when the window is first shown, so this runs then, before
// anything else can move the control.
void TfrmTavo2MainForm::centreImage()
{
    const ImageBounds image = imageBounds();
    setImageBounds({truncToPixels((pnlWkArea->width() - image.width) / 2.0),
                    truncToPixels((pnlWkArea->height() - image.height) / 2.0), image.width,
                    image.height});
}

void TfrmTavo2MainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    centreImage();
    guarded([this] { FormShow(); });
}

void TfrmTavo2MainForm::FormShow()
{
    readShowSettings(*this);
    UpdateToolIcons();
    if (strCurFile.empty())
        return;
    // On the first start that meets new Windows plug-ins Wine prepares itself
    // for seconds: a picture for the plug-ins then loads right after the first
    // paint, so that the window is not held back.
    if (pictureDecoderFor(strCurFile) == PictureDecoder::Plugins && SPIs1 && pluginDecodeWouldWait())
        runAfterFirstPaint(this, [this] { guarded([this] { LoadCurFile(); }); });
    else
        LoadCurFile();
}

void TfrmTavo2MainForm::spdCloseClick() { close(); }

void TfrmTavo2MainForm::pnlSpilitClick()
{
    const bool hide = !flbImgFileList->isHidden();
    // A hidden list gives the keys back to the window.
    if (hide && flbImgFileList->hasFocus())
        flbImgFileList->clearFocus();
    flbImgFileList->setHidden(hide);
}

} // namespace tavo
