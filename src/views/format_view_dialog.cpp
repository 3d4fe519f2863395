#include "views/format_view_dialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "common/ui.h"
#include "views/qt_look.h"

namespace views {

namespace {
constexpr const char* kFirstArea = "Cell Area";
}  // namespace

QString FormatViewDialog::FontDescription(const GridFont& font) {
    // nearbyint rounds to the nearest whole number with halves to even (the default mode).
    const double points = std::nearbyint(font.Size);
    return QString::number(static_cast<long long>(points)) + QStringLiteral(" pt. ") +
           QString::fromStdString(font.Name);
}

FormatViewDialog::FormatViewDialog(std::string helpFile, QWidget* parent)
    : QDialog(parent), m_helpFile(std::move(helpFile)) {}

void FormatViewDialog::AttachPieces(AreaList foreground, AreaList background, std::array<QPushButton*, 2> fontButtons,
                                    std::array<QLabel*, 2> descriptions, QPushButton* defaults,
                                    std::vector<ColorArea> defaultsOrder) {
    m_foreground = std::move(foreground);
    m_foreground.foreground = true;
    m_background = std::move(background);
    m_background.foreground = false;
    m_fontButtons = fontButtons;
    m_descriptions = descriptions;
    m_defaultsOrder = std::move(defaultsOrder);

    for (AreaList* areas : {&m_foreground, &m_background}) {
        areas->list->setInsertPolicy(QComboBox::NoInsert);
        areas->swatch->setAutoFillBackground(true);
        // Choosing an item shows its colour; typing leaves no item selected.
        connect(areas->list, &QComboBox::activated, this, [this, areas](int index) { AreaSelected(*areas, index); });
        connect(areas->list, &QComboBox::currentIndexChanged, this, [this, areas](int index) {
            if (index >= 0) AreaSelected(*areas, index);
        });
        connect(areas->list->lineEdit(), &QLineEdit::textEdited, this, [areas] { areas->selected = -1; });
        connect(areas->pick, &QPushButton::clicked, this, [this, areas] { PickAreaColor(*areas); });
    }
    for (int index = 0; index < 2; ++index) {
        connect(m_fontButtons[index], &QPushButton::clicked, this, [this, index] { PickFont(index); });
    }
    connect(defaults, &QPushButton::clicked, this, &FormatViewDialog::DefaultColors);
}

void FormatViewDialog::OpenOn(GridViewModel& grid) {
    m_grid = &grid;
    m_ok = false;
    m_working = {&grid.ColumnHeaderFont(), &grid.Font()};
    m_savedFonts = {grid.ColumnHeaderFont().Value(), grid.Font().Value()};
    FillFontDescriptions();
    for (AreaList* areas : {&m_foreground, &m_background}) {
        // Back to "Cell Area" with no item selected.
        const QSignalBlocker quiet(areas->list);
        areas->list->setCurrentIndex(-1);
        areas->list->setEditText(QString::fromLatin1(kFirstArea));
        areas->selected = -1;
        ShowSwatch(areas->swatch, grid.Color(areas->areas.front()));
        areas->saved.clear();
        for (ColorArea area : areas->areas) areas->saved.push_back(grid.Color(area));
    }
}

bool FormatViewDialog::RunModal() {
    exec();
    return m_ok;
}

void FormatViewDialog::RestoreFontsAndColors() {
    m_grid->SetColumnHeaderFont(m_savedFonts[0]);
    m_grid->SetFont(m_savedFonts[1]);
    for (const AreaList* areas : {&m_foreground, &m_background}) {
        for (size_t i = 0; i < areas->areas.size() && i < areas->saved.size(); ++i) {
            m_grid->SetColor(areas->areas[i], areas->saved[i]);
        }
    }
}

void FormatViewDialog::KeepWorkingFonts() {
    m_grid->SetColumnHeaderFont(m_working[0]->Value());
    m_grid->SetFont(m_working[1]->Value());
}

void FormatViewDialog::cmdOK_Click() {
    m_ok = true;
    accept();
}

void FormatViewDialog::cmdCancel_Click() { reject(); }

void FormatViewDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ui::Current().ShowHelp(m_helpFile, kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormatViewDialog::ShowSwatch(QLabel* swatch, OleColor color) {
    QPalette colours = swatch->palette();
    const QColor shown = ToQColor(color, palette());
    colours.setColor(QPalette::Window, shown);
    // The caption stays readable on dark and light colours alike.
    colours.setColor(QPalette::WindowText, shown.lightness() < 128 ? Qt::white : Qt::black);
    swatch->setPalette(colours);
    swatch->update();
}

void FormatViewDialog::AreaSelected(AreaList& areas, int index) {
    if (index < 0 || index >= static_cast<int>(areas.areas.size())) return;
    areas.selected = index;
    if (m_grid) ShowSwatch(areas.swatch, m_grid->Color(areas.Current()));
}

void FormatViewDialog::PickAreaColor(AreaList& areas) {
    if (!m_grid) return;
    const ColorArea area = areas.Current();
    const std::optional<OleColor> chosen = m_pickers->PickColor(this, m_grid->Color(area));
    if (!chosen) return;
    m_grid->SetColor(area, *chosen);
    ShowSwatch(areas.swatch, *chosen);
    if (areas.foreground) {
        m_grid->Refresh();
        FillFontDescriptions();
    }
}

void FormatViewDialog::PickFont(int index) {
    if (!m_grid) return;
    const ColorArea colorArea = index == 1 ? ColorArea::ForeColor : ColorArea::ForeColorHeader;
    const std::optional<FontChoice> chosen =
        m_pickers->PickFont(this, {m_working[index]->Value(), m_grid->Color(colorArea)});
    if (!chosen) return;
    *m_working[index] = chosen->font;  // the grid's own font: it redraws at once
    m_grid->SetColor(colorArea, chosen->color);
    ShowSwatch(m_foreground.swatch, chosen->color);
    FillFontDescriptions();
}

void FormatViewDialog::DefaultColors() {
    if (!m_grid) return;
    for (ColorArea area : m_defaultsOrder) m_grid->SetColor(area, kColorAreas[static_cast<int>(area)].defaultColor);
    for (AreaList* areas : {&m_foreground, &m_background}) ShowSwatch(areas->swatch, m_grid->Color(areas->Current()));
    m_grid->Refresh();
}

void FormatViewDialog::FillFontDescriptions() {
    for (int index = 0; index < 2; ++index) {
        const GridFont& font = m_working[index]->Value();
        QLabel* label = m_descriptions[index];
        QFont shown = label->font();  // the label keeps its own size
        shown.setFamily(QString::fromStdString(font.Name));
        shown.setBold(font.Bold);
        shown.setItalic(font.Italic);
        shown.setStrikeOut(font.Strikethrough);
        shown.setUnderline(font.Underline);
        label->setFont(shown);
        label->setText(FontDescription(font));
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText,
                         ToQColor(index == 0 ? m_grid->ForeColorHeader() : m_grid->ForeColor(), palette()));
        label->setPalette(colours);
    }
}

}  // namespace views
