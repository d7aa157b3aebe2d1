#pragma once

#include "settings/Colour.h"

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

    // Paints the label (and the parent behind it) before returning, so a wait
    // text shows even when the caller blocks the window's thread right after.
    void RefreshNow();

signals:
    // A click while the label notifies its parent instead of opening a link.
    void clickedNotify(int controlId);
};
