#include "views/frm_tableview.h"

#include <exception>

#include "ui_frm_tableview.h"

namespace views {

namespace {

constexpr OleColor kButtonFace = 0x8000000F;
constexpr OleColor kWindowBackground = 0x80000005;

// Runs one step on the grid; a step whose grid access fails is skipped.
template <typename Step>
void Skipping(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

frmTableview::frmTableview(QWidget* parent, std::string helpFile)
    : FormatViewDialog(std::move(helpFile), parent), m_ui(std::make_unique<Ui::frmTableview>()) {
    m_ui->setupUi(this);
    m_ui->cboGridlines->setItemData(0, -1);
    m_ui->cboGridlines->setItemData(1, 0);

    using A = ColorArea;
    AttachPieces(AreaList(m_ui->cboFgColors, m_ui->cmdForegroundColors, m_ui->lblForegroundColor,
                          {A::ForeColor, A::ForeColorHeader, A::ForeColorInfoText, A::ForeColorGroupRows,
                           A::GridLinesColor, A::MaskColor, A::EvenRowsColor, A::OddRowsColor}),
                 AreaList(m_ui->cboBgColors, m_ui->cmdBackgroundColors, m_ui->lblBackgroundColor,
                          {A::BackColor, A::BackColorNonCellArea, A::BackColorHeader, A::BackColorGroupBy,
                           A::BackColorInfoText, A::BackColorGroupRows}),
                 {m_ui->cmdfont_0, m_ui->cmdfont_1}, {m_ui->lblcurrfont_0, m_ui->lblcurrfont_1}, m_ui->cmdDefaultColors,
                 {A::BackColor, A::BackColorNonCellArea, A::BackColorHeader, A::BackColorGroupBy, A::BackColorInfoText,
                  A::BackColorGroupRows, A::ForeColor, A::ForeColorHeader, A::ForeColorInfoText, A::ForeColorGroupRows,
                  A::GridLinesColor, A::MaskColor, A::EvenRowsColor, A::OddRowsColor});

    // The switches and lists that act on the grid at once.
    connect(m_ui->chkGroupBy, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) Skipping([&] { Grid().SetGroupByBoxVisible(on); });
    });
    connect(m_ui->chkRecordNav, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) Skipping([&] { Grid().SetRecordNavigator(on); });
    });
    connect(m_ui->chkRowSizing, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) Skipping([&] { Grid().SetAllowRowSizing(on); });
    });
    connect(m_ui->chkOddEven, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) Skipping([&] { Grid().SetUseEvenOddColor(on); });
    });
    connect(m_ui->cboGridlines, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && index >= 0)
            Skipping([&] { Grid().SetGridLines(m_ui->cboGridlines->itemData(index).toInt()); });
    });
    connect(m_ui->cmdResizeRows, &QPushButton::clicked, this, [this] {
        Skipping([&] {
            Grid().SetRowHeight(-1);
            Grid().Refresh();
        });
    });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmTableview::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmTableview::cmdCancel_Click);
}

frmTableview::~frmTableview() = default;

void frmTableview::FormatGrid(GridViewModel& grid) {
    Open(grid);
    if (RunModal()) ApplyOk();
    else Restore();
    Release();
}

void frmTableview::Open(GridViewModel& grid) {
    m_filling = true;
    OpenOn(grid);  // fonts, descriptions, swatches, saved colours
    Skipping([&] {
        m_ui->chknewrow->setVisible(false);
        m_ui->chknewrow->setChecked(grid.AllowAddNew());
    });
    Skipping([&] {
        m_ui->chkAllowed->setVisible(false);
        m_ui->chkAllowed->setChecked(grid.AllowEdit());
    });
    Skipping([&] { m_ui->cboGridlines->setCurrentIndex(grid.GridLines() != 0 ? 0 : 1); });
    Skipping([&] { m_ui->chkgrouphead->setChecked(grid.BackColorGroupRows() == kButtonFace); });
    Skipping([&] { m_ui->chkOddEven->setChecked(grid.UseEvenOddColor()); });
    Skipping([&] { m_savedAllowEdit = grid.AllowEdit(); });
    Skipping([&] { m_savedGridLines = grid.GridLines() != 0 ? -1 : 0; });
    Skipping([&] { m_savedUseEvenOddColor = grid.UseEvenOddColor(); });
    Skipping([&] { m_ui->chkRecordNav->setChecked(grid.RecordNavigator()); });
    Skipping([&] { m_ui->chkRowSizing->setChecked(grid.AllowRowSizing()); });
    Skipping([&] { m_ui->chkGroupBy->setChecked(grid.GroupByBoxVisible()); });
    m_filling = false;
}

void frmTableview::ApplyOk() {
    GridViewModel& grid = Grid();
    Skipping([&] { KeepWorkingFonts(); });
    Skipping([&] { grid.SetAllowEdit(m_ui->chkAllowed->isChecked()); });
    Skipping([&] { grid.SetGridLines(m_ui->cboGridlines->currentData().toInt()); });
    Skipping([&] { grid.SetUseEvenOddColor(m_ui->chkOddEven->checkState() != Qt::Unchecked); });
    // The check box decides the group rows' background, whatever was picked for them.
    Skipping([&] { grid.SetBackColorGroupRows(m_ui->chkgrouphead->isChecked() ? kButtonFace : kWindowBackground); });
}

void frmTableview::Restore() {
    GridViewModel& grid = Grid();
    Skipping([&] { RestoreFontsAndColors(); });
    Skipping([&] { grid.SetAllowEdit(m_savedAllowEdit); });
    Skipping([&] { grid.SetGridLines(m_savedGridLines); });
    Skipping([&] { grid.SetUseEvenOddColor(m_savedUseEvenOddColor); });
}

}  // namespace views
