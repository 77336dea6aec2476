// The main window: the whole viewer. Its components and state fields carry the
// names the rest of the system knows them by, and are public so that the
// handlers of the other areas (settings, navigation, mouse, keys) reach them.
#pragma once

#include "app/IniFile.h"
#include "imaging/Bitmap.h"
#include "viewer/FileListBoxWidget.h"
#include "viewer/PictureView.h"
#include "viewer/core/ZoomArithmetic.h"

#include <QMainWindow>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QButtonGroup;
class QFrame;
class QHBoxLayout;
class QMenu;
class QToolBar;
class QToolButton;

namespace tavo {

class ClickablePanel;
class MainFormKeys;
class MainFormMouse;
class PicturePrefetch;
class TdlgOption;
class TSPIs;

class TfrmTavo2MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmTavo2MainForm(QWidget* parent = nullptr);
    ~TfrmTavo2MainForm() override;

    // The dock areas: the main window's toolbar areas top, right and bottom.
    static constexpr Qt::ToolBarArea Dock971 = Qt::TopToolBarArea;
    static constexpr Qt::ToolBarArea Dock973 = Qt::RightToolBarArea;
    static constexpr Qt::ToolBarArea Dock972 = Qt::BottomToolBarArea;

    // Components, left to right on the toolbar.
    QToolBar* TLBToolBox = nullptr;
    QToolButton* spdPrev = nullptr;
    QToolButton* spdNext = nullptr;
    QAction* ToolbarSep972 = nullptr;
    QToolButton* spbWindowWidth = nullptr;
    QToolButton* spbFull = nullptr;
    QToolButton* spbNoZoom = nullptr;
    QButtonGroup* zoomModeGroup = nullptr;  // the exclusive group of the three above
    QToolButton* tlbZomRatio = nullptr;
    QMenu* ppmZoomRatio = nullptr;
    QAction* psi400 = nullptr;
    QAction* psi300 = nullptr;
    QAction* psi200 = nullptr;
    QAction* psi100 = nullptr;
    QAction* psi80 = nullptr;
    QAction* psi60 = nullptr;
    QAction* psi40 = nullptr;
    QAction* psi20 = nullptr;
    QAction* ToolbarSep973 = nullptr;
    QToolButton* spbExTool1 = nullptr;
    QToolButton* spbExTool2 = nullptr;
    QToolButton* spbExTool3 = nullptr;
    QAction* ToolbarSep971 = nullptr;
    QToolButton* spbConfig = nullptr;
    QToolButton* spdClose = nullptr;

    // The client area, left to right.
    QHBoxLayout* clientLayout = nullptr;
    TFileListBoxWidget* flbImgFileList = nullptr;
    ClickablePanel* pnlSpilit = nullptr;
    QFrame* pnlWkArea = nullptr;
    PictureView* imgImgArea = nullptr;

    // State fields, with their initial values.
    TIniFile iniConfig{std::string()};
    double dblAspect = 0.75;
    Bitmap bmpSource;
    std::int32_t intDownWidth = 0;
    std::int32_t intDownHeight = 0;
    std::int32_t intDownTop = 0;
    std::int32_t intDownLeft = 0;
    std::int32_t intDownX = 0;
    std::int32_t intDownY = 0;
    QPoint pntDownCursor{0, 0};
    QPoint pntCurCursor{0, 0};
    std::int32_t intLeftDrag = 0;
    std::int32_t intRightDrag = 0;
    std::string strCurDir;
    bool blnCleared = false;
    std::string strCurFile;
    double dblZoom = 1.0;
    std::int32_t intMoveRatio = 1;
    std::int32_t intFLBoxShowX = 30;
    bool blnUseClear = false;
    std::string strExTool1;
    std::string strExTool2;
    std::string strExTool3;

    // The plug-in registry; it owns every plug-in object.
    std::unique_ptr<TSPIs> SPIs1;

    // The command-line picture decoding ahead while the window is built; the
    // first load takes it when it names the same file, then lets it go.
    std::unique_ptr<PicturePrefetch> prefetch;

    // The display picture: the bitmap that imgImgArea holds.
    const Bitmap& displayPicture() const { return imgImgArea->picture(); }
    ImageBounds imageBounds() const { return imgImgArea->bounds(); }
    void setImageBounds(const ImageBounds& bounds) { imgImgArea->setBounds(bounds); }

    // Loads strCurFile and shows it in the zoom mode whose button is down.
    // Throws the decoder's errors; a handler that Qt calls runs it inside
    // guarded() (viewer/ErrorReport.h), which reports them.
    void LoadCurFile();
    // Puts the full-size picture back when the display picture is a reduction.
    void RestoreSource();
    // Sets the caption to the title line.
    void UpdateTitle();

    // The zoom commands.
    void spbWindowWidthClick();
    void spbFullClick();
    void spbNoZoomClick();
    void psiDirectZoom(QAction* sender);

    void spdCloseClick();

    // The external tools and the options dialog.
    void spbExToolClick(QToolButton* sender);
    void UpdateToolIcons();
    void spbConfigClick();

    // The mouse and keyboard handlers, made with the window, and the hidden
    // options dialog, made at its first use (not at start, where it would
    // cost the first picture time and memory) and kept to the end.
    MainFormMouse* mouseHandlers = nullptr;
    MainFormKeys* keyHandlers = nullptr;
    TdlgOption* dlgOption = nullptr;
    void createOptionDialog();

    void pnlSpilitClick();
    // Navigation through the file list.
    void spdNextClick();
    void spdPrevClick();
    void flbImgFileListDblClick();

    // Points the file list at strCurFile's folder and line after a load.
    void synchroniseFileList();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    // Creates flbImgFileList and connects the navigation commands.
    void buildFileList(QWidget* parent);
    void FormShow();
    void buildToolBar();
    void buildClientArea();
    // Adds `button` (a new QToolButton when none is given) to the toolbar.
    QToolButton* addButton(const char* name, const char* hint, const QIcon& glyph, int width,
                           int height, QToolButton* button = nullptr);
    QAction* addSeparator(const char* name);
    QAction* addZoomRatio(const char* name, int percent);
    void centreImage();
    ZoomInput zoomInput() const;
    void applyZoom(const ZoomView& view);

    bool shown_ = false;
};

} // namespace tavo
