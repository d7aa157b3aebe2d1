#pragma once

#include "settings/Colour.h"

#include <QBasicTimer>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>

#include <optional>

// The large overlay label: solid or gradient background, its own font,
// emboss, rotation, blinking and link clicks, painted in one pass.
// (Interface fixed; the implementation may add private members.)
class CStatusLabel : public QLabel
{
    Q_OBJECT
public:
    // Static-control styles that decide the text layout and clicks.
    static constexpr unsigned kStyleLeft = 0x0000;
    static constexpr unsigned kStyleCenter = 0x0001;
    static constexpr unsigned kStyleRight = 0x0002;
    static constexpr unsigned kStyleLeftNoWordWrap = 0x000C;
    static constexpr unsigned kStyleTypeMask = 0x001F;
    static constexpr unsigned kStyleNoPrefix = 0x0080;
    static constexpr unsigned kStyleNotify = 0x0100;
    static constexpr unsigned kStyleCenterImage = 0x0200;

    explicit CStatusLabel(QWidget* parent = nullptr);
    ~CStatusLabel() override;

    CStatusLabel& SetBackground(ColorRef colour, ColorRef gradientEnd = 0, bool gradient = false);
    CStatusLabel& SetForeground(ColorRef colour);
    CStatusLabel& SetLabelText(const QString& text);
    CStatusLabel& SetBold(bool on);
    CStatusLabel& SetFace(const QString& face, int charset = 0);
    CStatusLabel& SetUnderline(bool on);
    CStatusLabel& SetItalic(bool on);
    CStatusLabel& SetPointSize(int points);
    CStatusLabel& SetSunkenEdge(bool on);
    CStatusLabel& SetFrame(bool on);
    CStatusLabel& SetTransparentBack(bool on);
    CStatusLabel& SetTextBlink(bool on);
    CStatusLabel& SetBackBlink(bool on);
    CStatusLabel& SetWebLink(bool on, bool notifyParent);
    CStatusLabel& SetHoverCursor(std::optional<QCursor> cursor);
    CStatusLabel& SetEmboss(bool on, bool down);
    CStatusLabel& SetAngle(int degrees, bool rotate);
    CStatusLabel& SetEmbossColor(ColorRef colour);
    CStatusLabel& SetFontSpec(const QFont& font);
    CStatusLabel& SetMailtoLink(bool on, bool notifyParent);
    CStatusLabel& SetLinkTarget(const QString& target);

    // The layout style a dialog template would give the control, e.g.
    // kStyleCenter | kStyleCenterImage for the main window's wait label.
    // The link setters manage kStyleNotify. No repaint of its own.
    CStatusLabel& SetStyleFlags(unsigned style);

    // Paints the label (and the parent behind it) before returning, so a wait
    // text shows even when the caller blocks the window's thread right after.
    void RefreshNow();

signals:
    // A click while the label notifies its parent instead of opening a link.
    void clickedNotify(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool WindowExists() const;
    void RebuildFont();
    int FrameWidth() const;
    void ApplyFrame(bool border, bool sunkenEdge);
    void DrawFrame(QPainter& painter) const;
    void SetNotifyStyle(bool on);
    void RestartBlink(bool on);
    void PaintBackground(QPainter& painter, const QRect& rect) const;
    void PaintText(QPainter& painter, const QRect& rect, const QString& text) const;
    int TextFlags(const QString& text) const;

    ColorRef m_textColor;
    ColorRef m_embossColor;
    QColor m_defaultBrush;
    std::optional<QColor> m_backBrush;
    QFont m_logFont;
    // Escapement of m_logFont in tenths of a degree (QFont carries no angle).
    int m_escapement = 0;
    QFont m_font;
    bool m_blinkPhase = false;
    bool m_timerStarted = false;
    int m_linkKind = 0;
    bool m_transparent = false;
    bool m_emboss = false;
    bool m_notifyParent = false;
    bool m_rotate = false;
    int m_blinkMode = 0;
    bool m_embossDown = false;
    bool m_gradient = false;
    ColorRef m_gradientColor = 0;
    ColorRef m_backColor = 0;
    QString m_linkTarget;
    unsigned m_style = kStyleLeft;
    bool m_sunkenEdge = false;
    bool m_border = false;
    QBasicTimer m_blinkTimer;
};
