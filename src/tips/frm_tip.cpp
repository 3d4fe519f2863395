#include "tips/frm_tip.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "common/ui.h"
#include "engine/error.h"
#include "tips/rtf_reader.h"
#include "tips/tip_artwork.h"

namespace tips {

namespace {

const QColor kTitleBandColour(243, 245, 158);
const QString kDesignFontFamily = QStringLiteral("MS Sans Serif");
constexpr double kDesignFontPoints = 8.25;

QFont DesignFont(bool bold) {
    QFont font(kDesignFontFamily);
    font.setPointSizeF(kDesignFontPoints);
    font.setBold(bold);
    return font;
}

QFont WithFamily(QFont font, const QString& family) {
    font.setFamily(family);
    return font;
}

}  // namespace

// lblX: the white cross drawn over the close button.
class CloseGlyph final : public QWidget {
public:
    explicit CloseGlyph(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("lblX"));
        setToolTip(QStringLiteral("Close"));
        resize(kCloseGlyphSize);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        DrawCloseCross(painter, rect(), Qt::white);
    }
};

frmTip::frmTip(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmTip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);  // a closing tip never ends the program

    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    colours.setColor(QPalette::Base, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::Text, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    m_lblTitle = new QLabel(this);
    m_lblTitle->setObjectName(QStringLiteral("lblTitle"));
    m_lblTitle->setTextFormat(Qt::PlainText);
    m_lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lblTitle->setGeometry(0, 1, 1, kTitleHeight);

    m_txtTip = new QTextEdit(this);
    m_txtTip->setObjectName(QStringLiteral("txtTip"));
    m_txtTip->setReadOnly(true);
    m_txtTip->setFrameShape(QFrame::NoFrame);
    m_txtTip->setFocusPolicy(Qt::NoFocus);
    m_txtTip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_txtTip->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_txtTip->viewport()->setAutoFillBackground(true);

    m_imgDisplayIcon = new QLabel(this);
    m_imgDisplayIcon->setObjectName(QStringLiteral("imgDisplayIcon"));
    m_imgDisplayIcon->resize(kIconSize);

    m_imgX = new QLabel(this);
    m_imgX->setObjectName(QStringLiteral("imgX"));
    m_imgX->resize(kCloseButtonSize);
    m_lblX = new CloseGlyph(this);
    m_lblX->raise();

    m_timAutoClose = new QTimer(this);
    m_timAutoClose->setObjectName(QStringLiteral("timAutoClose"));
    connect(m_timAutoClose, &QTimer::timeout, this, &frmTip::HideBalloon);

    for (IconKind kind : {IconKind::Information, IconKind::Error, IconKind::Warning}) {
        m_imgIconXP[static_cast<int>(kind)] = DrawTipIcon(IconSet::Newer, kind);
        m_imgIcon[static_cast<int>(kind)] = DrawTipIcon(IconSet::Older, kind);
    }
    m_imgXUp = DrawCloseButton(false);
    m_imgXDn = DrawCloseButton(true);

    for (QObject* part :
         {static_cast<QObject*>(m_lblTitle), static_cast<QObject*>(m_txtTip->viewport()),
          static_cast<QObject*>(m_imgDisplayIcon), static_cast<QObject*>(m_imgX), static_cast<QObject*>(m_lblX)})
        part->installEventFilter(this);

    LoadDesignState();
}

frmTip::~frmTip() = default;

void frmTip::LoadDesignState() {
    m_timAutoClose->stop();
    m_dragging = false;
    m_pressedOn = nullptr;
    setFont(DesignFont(false));
    m_lblTitle->setFont(DesignFont(true));
    m_lblTitle->setText(QStringLiteral("<Title>"));
    m_txtTip->setFont(DesignFont(false));
    m_txtTip->clear();
    ShowIcon({IconSet::Newer, IconKind::Information});
    ShowCloseButton(true);
    SetClosePressed(false);
    const ui::ScreenSize screen = ui::Current().Screen();
    const QSize size(TwipsToPixels(kDefaultWidthTwips, screen.twipsPerPixelX),
                     TwipsToPixels(kDefaultHeightTwips, screen.twipsPerPixelY));
    resize(size);
    move((screen.widthPixels - size.width()) / 2, (screen.heightPixels - size.height()) / 2);
    ApplyLayout();
    ApplyRoundedShape();
    SetTopmost(true);
}

void frmTip::HideBalloon() {
    hide();
    LoadDesignState();
    if (testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        deleteLater();
    }
}

void frmTip::DisplayMsg(const std::string& sTitle, const std::string& sText, BalloonArgs& args) {
    try {
        SetBalloon(sTitle, sText, args);
    } catch (...) {
        // A failing step skips the rest of the set-up; the tip is shown as far as it got.
    }
    SetTopmost(true);
    show();
}

void frmTip::DisplayMsg(const std::string& sTitle, const std::string& sText, BalloonArgs&& args) {
    DisplayMsg(sTitle, sText, args);
}

void frmTip::SetTexts(const std::string& sTitle, const std::string& sText) {
    m_lblTitle->setText(QString::fromStdString(sTitle));
    if (!sText.empty()) m_txtTip->setPlainText(QString::fromStdString(sText));
}

void frmTip::SetBalloon(const std::string& sTitle, const std::string& sText, BalloonArgs& args) {
    SetTexts(sTitle, sText);
    if (!args.sRTFFilename.empty()) LoadRichTextFile(args.sRTFFilename);

    const int32_t heightTwips = args.lHeight.value_or(kDefaultHeightTwips);
    const int32_t widthTwips = args.lWidth.value_or(kDefaultWidthTwips);

    // Centring uses the size the window has now; the new size is applied further down.
    const ui::ScreenSize screen = ui::Current().Screen();
    const double posX =
        args.lPosX ? *args.lPosX : (screen.WidthTwips() - PixelsToTwips(width(), screen.twipsPerPixelX)) / 2.0;
    const double posY =
        args.lPosY ? *args.lPosY : (screen.HeightTwips() - PixelsToTwips(height(), screen.twipsPerPixelY)) / 2.0;
    move(TwipsToPixels(posX, screen.twipsPerPixelX), TwipsToPixels(posY, screen.twipsPerPixelY));

    args.sIcon = LowerIconName(args.sIcon);
    ShowIcon(IconFor(args.sIcon));
    ShowCloseButton(args.bShowClose);

    if (args.lAutoCloseAfter < 0) throw engine::Error(engine::err::kBadArgument, "Invalid property value");
    if (args.lAutoCloseAfter != 0) m_timAutoClose->start(args.lAutoCloseAfter);
    else m_timAutoClose->stop();

    if (widthTwips < 0 || heightTwips < 0) throw engine::Error(engine::err::kBadArgument, "Invalid property value");
    resize(std::max(1, TwipsToPixels(widthTwips, screen.twipsPerPixelX)),
           std::max(1, TwipsToPixels(heightTwips, screen.twipsPerPixelY)));
    ApplyLayout();
    ApplyRoundedShape();

    if (args.sFont) {
        const QString family = QString::fromStdString(*args.sFont);
        setFont(WithFamily(font(), family));
        if (args.sRTFFilename.empty()) m_txtTip->setFont(WithFamily(m_txtTip->font(), family));
        m_lblTitle->setFont(WithFamily(m_lblTitle->font(), family));
    }
}

void frmTip::LoadRichTextFile(const std::string& fileName) {
    QFile file(QString::fromStdString(fileName));
    if (!file.exists()) throw engine::Error(engine::err::kFileNotFound, "File not found: " + fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw engine::Error(engine::err::kFileAccess, "Path/File access error: " + fileName);
    const QByteArray bytes = file.readAll();
    m_txtTip->setPlainText(RtfToPlainText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
}

void frmTip::SetTopmost(bool onTop) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (flags != windowFlags()) {
        if (QWindow* window = windowHandle()) {
            // Changing the flags of the native window keeps it where it is and visible.
            overrideWindowFlags(flags);
            window->setFlags(flags);
        } else {
            const QRect where = geometry();
            setWindowFlags(flags);
            setGeometry(where);
        }
    }
    if (onTop && isVisible()) raise();
}

bool frmTip::IsTopmost() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

void frmTip::ApplyRoundedShape() {
    setMask(RoundedRegion(size()));
    update();
}

TipLayout frmTip::Layout() const {
    return LayoutFor(size(), m_lblTitle->height(), m_lblX->size(), m_imgX->size(), m_imgDisplayIcon->size());
}

const QPixmap& frmTip::IconPicture(IconSet set, IconKind kind) const {
    return set == IconSet::Older ? m_imgIcon[static_cast<int>(kind)] : m_imgIconXP[static_cast<int>(kind)];
}

void frmTip::ApplyLayout() {
    const TipLayout layout = Layout();
    m_txtTip->setGeometry(layout.text);
    m_lblX->setGeometry(layout.closeGlyph);
    m_imgX->setGeometry(layout.closeButton);
    m_imgDisplayIcon->setGeometry(layout.icon);
    m_lblTitle->setGeometry(layout.title);
    update();
}

void frmTip::ShowIcon(IconChoice choice) {
    const bool shown = choice.set != IconSet::None;
    if (shown) m_imgDisplayIcon->setPixmap(IconPicture(choice.set, choice.kind));
    m_imgDisplayIcon->setVisible(shown);
    m_lblTitle->setIndent(TitleTextLeft(shown, Layout()));
}

void frmTip::ShowCloseButton(bool show) {
    m_imgX->setVisible(show);
    m_lblX->setVisible(show);
}

void frmTip::SetClosePressed(bool pressed) {
    m_closePressed = pressed;
    m_imgX->setPixmap(pressed ? m_imgXDn : m_imgXUp);
}

void frmTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(Layout().title, kTitleBandColour);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1.0));
    painter.setBrush(Qt::NoBrush);
    const double radius = kCornerEllipse / 2.0;
    painter.drawRoundedRect(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0), radius, radius);
}

void frmTip::resizeEvent(QResizeEvent*) {
    ApplyLayout();
    ApplyRoundedShape();
}

void frmTip::closeEvent(QCloseEvent* event) {
    // Closed by the window system: the same as HideBalloon.
    LoadDesignState();
    event->accept();
}

void frmTip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_pressedOn = this;
}

void frmTip::mouseReleaseEvent(QMouseEvent* event) {
    if (IsClick(this, event, m_pressedOn)) HideBalloon();
}

bool frmTip::IsClick(QObject* watched, QEvent* event, QObject* pressedOn) {
    if (event->type() != QEvent::MouseButtonRelease || watched != pressedOn) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    return mouse->button() == Qt::LeftButton && widget && widget->rect().contains(mouse->position().toPoint());
}

bool frmTip::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: break;
        default: return QWidget::eventFilter(watched, event);
    }
    if (watched == m_lblTitle) return HandleTitleMouse(event);
    if (watched == m_txtTip->viewport()) return HandleTextMouse(event);
    if (watched == m_imgX || watched == m_lblX) return HandleCloseMouse(watched, event);
    if (watched == m_imgDisplayIcon) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) m_pressedOn = watched;
        if (IsClick(watched, event, m_pressedOn)) HideBalloon();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmTip::HandleTitleMouse(QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: DragWindow(mouse); break;
        case QEvent::MouseMove:
            if (m_dragging) move(m_dragStartPos + (mouse->globalPosition().toPoint() - m_dragStartGlobal));
            break;
        case QEvent::MouseButtonRelease:
            if (mouse->buttons() == Qt::NoButton) m_dragging = false;
            break;
        default: break;
    }
    return true;  // a click on the title never reaches the background
}

void frmTip::DragWindow(QMouseEvent* press) {
    if (isMaximized()) return;
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) return;
    // The window system cannot move it: follow the mouse until the button is released.
    m_dragging = true;
    m_dragStartGlobal = press->globalPosition().toPoint();
    m_dragStartPos = pos();
}

bool frmTip::HandleTextMouse(QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonDblClick) {
        HideBalloon();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
        m_pressedOn = m_txtTip->viewport();
    if (IsClick(m_txtTip->viewport(), event, m_pressedOn) && m_lblX->isHidden()) {
        HideBalloon();
        return true;
    }
    return false;  // the text area selects text as usual
}

bool frmTip::HandleCloseMouse(QObject* watched, QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        m_pressedOn = watched;
        SetClosePressed(true);
    } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        SetClosePressed(false);
        if (IsClick(watched, event, m_pressedOn)) HideBalloon();
    }
    return true;
}

}  // namespace tips
