#include "views/frm_card_view.h"

#include <QKeyEvent>
#include <cmath>
#include <limits>

#include "common/ui.h"
#include "ui_frm_card_view.h"

namespace views {

QString frmCardView::CardWidthText(int twips, double twipsPerPixel) {
    const float pixels = static_cast<float>(twips) / static_cast<float>(twipsPerPixel);
    return QString::number(pixels, 'g', 7);
}

std::optional<int> frmCardView::CardWidthTwips(const QString& text, double twipsPerPixel) {
    bool ok = false;
    const float pixels = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(pixels)) return std::nullopt;
    const double twips = std::nearbyint(static_cast<double>(pixels * static_cast<float>(twipsPerPixel)));
    if (twips < 1 || twips > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(twips);
}

frmCardView::frmCardView(QWidget* parent, std::string helpFile)
    : FormatViewDialog(std::move(helpFile), parent), m_ui(std::make_unique<Ui::frmCardView>()) {
    m_ui->setupUi(this);
    using A = ColorArea;
    AttachPieces(AreaList(m_ui->cboFgColors, m_ui->cmdForegroundColors, m_ui->lblForegroundColor,
                          {A::ForeColor, A::ForeColorHeader, A::ForeColorInfoText, A::MaskColor}),
                 AreaList(m_ui->cboBgColors, m_ui->cmdBackgroundColors, m_ui->lblBackgroundColor,
                          {A::BackColor, A::BackColorNonCellArea, A::BackColorGroupBy, A::BackColorInfoText}),
                 {m_ui->cmdfont_0, m_ui->cmdfont_1}, {m_ui->lblcurrfont_0, m_ui->lblcurrfont_1}, m_ui->cmdDefaultColors,
                 {A::BackColor, A::BackColorNonCellArea, A::BackColorGroupBy, A::BackColorInfoText, A::ForeColor,
                  A::ForeColorHeader, A::ForeColorInfoText, A::MaskColor});
    // The navigator switch acts at once; in-cell editing waits for OK.
    connect(m_ui->chkRecordNav, &QCheckBox::clicked, this, [this](bool on) { Grid().SetRecordNavigator(on); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmCardView::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmCardView::cmdCancel_Click);
}

frmCardView::~frmCardView() = default;

void frmCardView::FormatGrid(GridViewModel& grid) {
    OpenOn(grid);  // fonts, descriptions, swatches, saved colours
    m_ui->chkAllowed->setChecked(grid.AllowEdit());
    m_savedAllowEdit = grid.AllowEdit();
    m_twipsPerPixel = ui::Current().Screen().twipsPerPixelX;
    if (!(m_twipsPerPixel > 0)) m_twipsPerPixel = 15.0;
    m_ui->txtCardWidth->setText(CardWidthText(grid.CardWidth(), m_twipsPerPixel));
    m_ui->chkRecordNav->setChecked(grid.RecordNavigator());

    if (RunModal()) {
        KeepWorkingFonts();
        grid.SetAllowEdit(m_ui->chkAllowed->isChecked());
        // A width that is not a number leaves the card width as it was.
        if (const std::optional<int> twips = CardWidthTwips(m_ui->txtCardWidth->text(), m_twipsPerPixel)) {
            grid.SetCardWidth(*twips);
        }
    } else {
        RestoreFontsAndColors();
        grid.SetAllowEdit(m_savedAllowEdit);
    }
    Release();
}

void frmCardView::keyPressEvent(QKeyEvent* event) {
    // Neither button is the default or the cancel button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    FormatViewDialog::keyPressEvent(event);
}

}  // namespace views
