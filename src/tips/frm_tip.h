// frmTip: the balloon tip, a small borderless, always-on-top notice window with rounded
// corners, a coloured title band with an optional icon and close button, and a text area.
// Callers create a tip, call DisplayMsg, and either let it close itself (timer or click) or
// call HideBalloon. User-interface thread only.
//
// Positions and sizes passed in are twips, converted with the screen's twips per pixel from
// ui::Current().Screen(); everything inside the window is in pixels (tip_geometry.h).
//
// Ownership: a tip is a top-level window; the caller owns it (a parent QWidget may own it
// instead). HideBalloon hides it and returns it to its freshly created state, so the same tip
// can show the next message. A caller that wants to forget a tip once it is shown sets
// Qt::WA_DeleteOnClose on it: the tip then deletes itself when it closes.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tips/tip_geometry.h"

class QLabel;
class QTextEdit;
class QTimer;

namespace tips {

// The optional arguments of DisplayMsg and SetBalloon, in their documented order. Twips for
// positions and sizes, milliseconds for the auto-close time. Strings are UTF-8.
struct BalloonArgs {
    std::optional<int32_t> lPosX{};      // none: centred across the screen
    std::optional<int32_t> lPosY{};      // none: centred down the screen
    std::string sIcon{};                 // "i", "x", "!", "i9", "x9", "!9" in any case; else no icon
    bool bShowClose = false;             // show the close button
    int32_t lAutoCloseAfter = 0;         // 0: never closes by itself
    std::optional<int32_t> lHeight{};    // none: 1620 twips
    std::optional<int32_t> lWidth{};     // none: 4680 twips
    std::optional<std::string> sFont{};  // none: fonts stay as they are
    std::string sRTFFilename{};          // a rich-text file to show instead of the text
};

class CloseGlyph;

class frmTip : public QWidget {
    Q_OBJECT
public:
    // Created hidden, shaped and topmost, showing its design-time contents.
    explicit frmTip(QWidget* parent = nullptr);
    ~frmTip() override;

    // Hides the tip and returns it to its freshly created state (title "<Title>", empty text,
    // timer stopped). With Qt::WA_DeleteOnClose set the tip also deletes itself (later).
    void HideBalloon();

    // SetBalloon with all arguments, then makes the tip topmost and shows it without
    // activating it and without waiting. A failing set-up step skips the steps after it;
    // the tip is shown all the same. Never throws. The lvalue form receives the icon name
    // lower-cased in args.sIcon.
    void DisplayMsg(const std::string& sTitle, const std::string& sText, BalloonArgs& args);
    void DisplayMsg(const std::string& sTitle, const std::string& sText, BalloonArgs&& args = {});

    // Sets everything up without showing: title, text (or rich-text file), position, icon,
    // close button, timer, size, rounded shape, fonts; args.sIcon becomes lower-case.
    // Throws engine::Error when a step fails (a rich-text file that cannot be read, a
    // negative auto-close time); the steps before it have taken effect.
    void SetBalloon(const std::string& sTitle, const std::string& sText, BalloonArgs& args);

    // Changes only the title and (when sText is not empty) the text of the tip as it stands:
    // no move, resize, reshape or raise. Cheap enough for a caller that updates the words
    // far more often than the window needs repainting. Shows nothing by itself.
    void SetTexts(const std::string& sTitle, const std::string& sText);

    // Places the tip above all non-topmost windows (true) or back among them (false),
    // without moving or resizing it.
    void SetTopmost(bool onTop);
    bool IsTopmost() const;

    // Clips the window to its rounded outline at its current size and redraws it.
    void ApplyRoundedShape();

    // The current layout of the parts (pixels).
    TipLayout Layout() const;
    // The close button's pictures: normal (imgX_Up) and pressed (imgX_Dn).
    const QPixmap& CloseUpPicture() const { return m_imgXUp; }
    const QPixmap& CloseDownPicture() const { return m_imgXDn; }
    // One of the stored icon pictures: imgIconXP (Newer) or imgIcon (Older), numbered by kind.
    const QPixmap& IconPicture(IconSet set, IconKind kind) const;
    // True while the close button shows its pressed picture.
    bool CloseButtonPressed() const { return m_closePressed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadDesignState();
    void ApplyLayout();
    void ShowIcon(IconChoice choice);
    void ShowCloseButton(bool show);
    void SetClosePressed(bool pressed);
    void LoadRichTextFile(const std::string& fileName);
    // Drags the window with the mouse as if its title bar were held (DragWindow).
    void DragWindow(QMouseEvent* press);
    bool HandleTitleMouse(QEvent* event);
    bool HandleTextMouse(QEvent* event);
    bool HandleCloseMouse(QObject* watched, QEvent* event);
    static bool IsClick(QObject* watched, QEvent* event, QObject* pressedOn);

    QLabel* m_lblTitle = nullptr;
    QTextEdit* m_txtTip = nullptr;
    QLabel* m_imgDisplayIcon = nullptr;
    QLabel* m_imgX = nullptr;
    CloseGlyph* m_lblX = nullptr;
    QTimer* m_timAutoClose = nullptr;

    std::array<QPixmap, 3> m_imgIconXP;
    std::array<QPixmap, 3> m_imgIcon;
    QPixmap m_imgXUp;
    QPixmap m_imgXDn;

    bool m_closePressed = false;
    QObject* m_pressedOn = nullptr;  // the part a left button went down on, for clicks
    bool m_dragging = false;         // moving the window by hand (no window-system move)
    QPoint m_dragStartGlobal;
    QPoint m_dragStartPos;
};

}  // namespace tips
