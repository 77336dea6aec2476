#include "interaction/OptionDialog.h"

#include "interaction/OptionDialogParts.h"
#include "viewer/TavoApplication.h"
#include "viewer/WorkAreaColor.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTabWidget>

#include <algorithm>

namespace tavo {

namespace {

constexpr const char* kProgramsFilter = "実行ファイル (*)";
constexpr const char* kAllFilesFilter = "全てのファイル (*)";

template <typename W>
W* place(W* widget, int left, int top, int width = -1, int height = -1)
{
    if (width < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

QLabel* heading(QWidget* page, const QString& text, int left, int top, int width = -1, int height = -1)
{
    auto* label = new QLabel(text, page);
    QFont font = label->font();
    font.setBold(true);
    font.setUnderline(true);
    label->setFont(font);
    if (height > 0)
        label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return place(label, left, top, width, height);
}

QPlainTextEdit* memo(QWidget* page, const char* name, int left, int top, int width, int height)
{
    auto* box = new QPlainTextEdit(page);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFrameShape(QFrame::NoFrame);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QString::fromUtf8(kFixedFontFamily));
    font.setPixelSize(kWindowFontPixelSize);
    box->setFont(font);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
    return place(box, left, top, width, height);
}

SteppingSpinBox* spin(QWidget* page, const char* name, int minimum, int maximum, int step, int value,
                      int left, int top)
{
    auto* box = new SteppingSpinBox(page);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setSingleStep(step);
    box->setValue(value);
    return place(box, left, top, 45, 21);
}

// Shows folders and, under the programs entry, only files this user may run:
// programs on this system carry no extension to filter by.
class ProgramFilter : public QSortFilterProxyModel {
public:
    explicit ProgramFilter(QFileDialog* dialog) : QSortFilterProxyModel(dialog), dialog_(dialog) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        if (dialog_->selectedNameFilter() != QString::fromUtf8(kProgramsFilter))
            return true;
        auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!model)
            return true;
        const QFileInfo info = model->fileInfo(model->index(row, 0, parent));
        return info.isDir() || (info.isFile() && info.isExecutable());
    }

private:
    QFileDialog* dialog_;
};

QPixmap aboutPicture()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 70), 2));
    p.setBrush(QColor(250, 250, 245));
    p.drawRoundedRect(QRectF(4, 8, 40, 32), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 180, 40));
    p.drawEllipse(QPointF(33, 17), 4, 4);
    p.setBrush(QColor(70, 140, 80));
    const QPointF hills[] = {{7, 37}, {19, 20}, {28, 31}, {33, 26}, {41, 37}};
    p.drawPolygon(hills, 5);
    return pixmap;
}

} // namespace

TdlgOption::TdlgOption(QWidget* parent) : QDialog(parent)
{
    setObjectName("dlgOption");
    setWindowTitle(QStringLiteral("オプション"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(488, 373);
    QFont font(QString::fromUtf8(kWindowFontFamily));
    font.setPixelSize(kWindowFontPixelSize);
    setFont(font);
    setModal(true);

    pgcConfig = place(new QTabWidget(this), 8, 4, 473, 305);
    pgcConfig->setObjectName("pgcConfig");
    buildBasicPage();
    buildToolsPage();

    auto* image = place(new QLabel(this), 8, 316, 48, 48);
    image->setObjectName("Image1");
    image->setPixmap(aboutPicture());
    place(new QLabel(QStringLiteral("TavoTavo Ver 1.3 Thank you!"), this), 64, 316)->setObjectName("Label9");
    place(new QLabel(QStringLiteral("https://tavotavo.example.org/"), this), 64, 332)->setObjectName("Label10");

    OKBtn = place(new QPushButton(QStringLiteral("OK"), this), 303, 332, 75, 25);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = place(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), 383, 332, 75, 25);
    CancelBtn->setObjectName("CancelBtn");
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    chooseColor = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, this);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    };
    chooseFile = [](QWidget* owner) -> std::optional<QString> {
        static QString lastPicked;
        QFileDialog dialog(owner, QStringLiteral("実行ファイルの場所選択"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({QString::fromUtf8(kProgramsFilter), QString::fromUtf8(kAllFilesFilter)});
        dialog.setProxyModel(new ProgramFilter(&dialog));
        if (!lastPicked.isEmpty())
            dialog.selectFile(lastPicked);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog] {
            if (auto* proxy = qobject_cast<QSortFilterProxyModel*>(dialog.proxyModel()))
                proxy->invalidate();
        });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        lastPicked = dialog.selectedFiles().front();
        return lastPicked;
    };
}

void TdlgOption::buildBasicPage()
{
    tbsBasic = new QWidget;
    tbsBasic->setObjectName("tbsBasic");
    pgcConfig->addTab(tbsBasic, QStringLiteral("基本設定"));
    QWidget* page = tbsBasic;

    heading(page, QStringLiteral("左ボタンドラッグ"), 24, 12)->setObjectName("Label3");
    memo(page, "Memo2", 32, 32, 169, 69);
    heading(page, QStringLiteral("右ボタンドラッグ"), 240, 12)->setObjectName("Label4");
    memo(page, "Memo3", 252, 32, 185, 89);
    auto* shown = place(new QLabel(QStringLiteral("ToolBoxが表示される"), page), 252, 128, 109, 20);
    shown->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    shown->setObjectName("Label5");
    // The stand-in font runs a little wider than the box was drawn for.
    shown->resize(std::max(shown->width(), shown->sizeHint().width()), shown->height());
    place(new QLabel(QStringLiteral("ピクセル数"), page), 252, 152, 55, 21)->setObjectName("Label6");
    speFLBShowPixel = spin(page, "speFLBShowPixel", 10, 100, 10, 30, 380, 136);

    heading(page, QStringLiteral("左ボタンダブルクリック"), 24, 116)->setObjectName("Label1");
    memo(page, "Memo1", 32, 136, 169, 73);
    auto* steps = place(new QLabel(QStringLiteral("ずりずり度"), page), 68, 228, 73, 17);
    steps->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    steps->setObjectName("Label2");
    speMoveRatio = spin(page, "speMoveRatio", 1, 10, 1, 1, 152, 224);

    heading(page, QStringLiteral("背景色"), 248, 172, 109, 20)->setObjectName("Label7");
    place(new QLabel(QStringLiteral("下の四角をクリックして選択"), page), 264, 200, 169, 21)->setObjectName("Label8");
    pnlColor = place(new ColorSquare(page), 264, 216, 49, 41);
    pnlColor->onClick = [this] { pnlColorClick(); };

    ckbUseClear = place(new QCheckBox(QStringLiteral("空いた時間に補間処理を行う"), page), 28, 257, 185, 17);
    ckbUseClear->setObjectName("ckbUseClear");
}

void TdlgOption::buildToolsPage()
{
    tbsExTools = new QWidget;
    tbsExTools->setObjectName("tbsExTools");
    pgcConfig->addTab(tbsExTools, QStringLiteral("外部ツール設定"));
    struct Row {
        int labelTop, editTop, editWidth, buttonTop;
    };
    constexpr Row rows[3] = {{40, 60, 345, 58}, {124, 142, 349, 140}, {208, 224, 345, 222}};
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        // All three rows carry the same label text.
        place(new QLabel(QStringLiteral("外部ツール(1)"), tbsExTools), 20, rows[i].labelTop)
            ->setObjectName("Label1" + QString::number(i + 1));
        edtExTools[i] = place(new QLineEdit(tbsExTools), 20, rows[i].editTop, rows[i].editWidth, 20);
        edtExTools[i]->setObjectName("edtExTool" + n);
        btnExTLSelects[i] = place(new QPushButton(QStringLiteral("参照(&R).."), tbsExTools), 379,
                                  rows[i].buttonTop, 75, 25);
        btnExTLSelects[i]->setObjectName("btnExTLSelect" + n);
        connect(btnExTLSelects[i], &QPushButton::clicked, this, [this, i] { btnExtTLSelectClick(i); });
    }
}

void TdlgOption::FormShow(const OptionValues& values)
{
    speMoveRatio->setValue(values.intMoveRatio);
    speFLBShowPixel->setValue(values.intFLBoxShowX);
    pnlColor->setColorValue(values.workAreaColor);
    ckbUseClear->setChecked(values.blnUseClear);
    for (int i = 0; i < 3; ++i)
        edtExTools[i]->setText(values.strExTools[i]);
}

void TdlgOption::OKBtnClick(OptionValues& values) const
{
    auto spinValue = [](const QSpinBox* box) {
        bool ok = false;
        const int value = box->cleanText().toInt(&ok, 10);
        return ok ? value : box->minimum();
    };
    values.intMoveRatio = spinValue(speMoveRatio);
    values.intFLBoxShowX = spinValue(speFLBShowPixel);
    values.workAreaColor = pnlColor->colorValue();
    values.blnUseClear = ckbUseClear->isChecked();
    for (int i = 0; i < 3; ++i)
        values.strExTools[i] = edtExTools[i]->text();
}

void TdlgOption::pnlColorClick()
{
    if (const auto chosen = chooseColor(lastChosenColor_)) {
        lastChosenColor_ = *chosen;
        pnlColor->setColorValue(colorValueOf(*chosen));
    }
}

void TdlgOption::btnExtTLSelectClick(int row)
{
    if (const auto picked = chooseFile(this))
        edtExTools[row]->setText(*picked);
}

bool TdlgOption::edit(OptionValues& values)
{
    FormShow(values);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    if (exec() != QDialog::Accepted)
        return false;
    OKBtnClick(values);
    return true;
}

} // namespace tavo
