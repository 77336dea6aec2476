// The options dialog: edits copies of the viewer's adjustable settings and
// gives them back only on OK. Created once at start and kept, so the page last
// shown, the colour last chosen and the file last picked survive between openings.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace tavo {

// The viewer-state fields the dialog edits. The colour is the work area's
// colour value: 0x00BBGGRR, or 0x80000000 plus a system colour number.
struct OptionValues {
    std::int32_t intMoveRatio = 1;
    std::int32_t intFLBoxShowX = 30;
    std::uint32_t workAreaColor = 0x8000000F;
    bool blnUseClear = false;
    std::array<QString, 3> strExTools;
};

class ColorSquare;

class TdlgOption : public QDialog {
    Q_OBJECT
public:
    explicit TdlgOption(QWidget* parent = nullptr);

    // Shows the dialog modally with the values; true and the edited values
    // back in `values` on OK, false and `values` untouched on Cancel.
    bool edit(OptionValues& values);

    // Seams for the system dialogs, so that tests can answer them. Each returns
    // nothing when the user cancels.
    std::function<std::optional<QColor>(const QColor& initial)> chooseColor;
    std::function<std::optional<QString>(QWidget* parent)> chooseFile;

    // The controls, under their own names.
    QTabWidget* pgcConfig = nullptr;
    QWidget* tbsBasic = nullptr;
    QWidget* tbsExTools = nullptr;
    QSpinBox* speMoveRatio = nullptr;
    QSpinBox* speFLBShowPixel = nullptr;
    ColorSquare* pnlColor = nullptr;
    QCheckBox* ckbUseClear = nullptr;
    std::array<QLineEdit*, 3> edtExTools{};
    std::array<QPushButton*, 3> btnExTLSelects{};
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // What was copied in at the last opening, edited by the controls.
    void FormShow(const OptionValues& values);
    void OKBtnClick(OptionValues& values) const;
    void pnlColorClick();
    void btnExtTLSelectClick(int row);

private:
    void buildBasicPage();
    void buildToolsPage();

    QColor lastChosenColor_ = Qt::black;
};

} // namespace tavo
