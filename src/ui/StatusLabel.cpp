#include "ui/StatusLabel.h"

#include "ui/Gradient.h"

#include <QDesktopServices>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int kGradientSteps = 100;
constexpr int kBlinkIntervalMs = 500;

ColorRef FromQColor(const QColor& colour)
{
    return MakeColorRef(colour.red(), colour.green(), colour.blue());
}

} // namespace

CStatusLabel::CStatusLabel(QWidget* parent)
    : QLabel(parent)
    , m_textColor(FromQColor(palette().color(QPalette::WindowText)))
    , m_embossColor(MakeColorRef(255, 255, 255))
    , m_defaultBrush(palette().color(QPalette::Button))
{
    setTextFormat(Qt::PlainText);
    // Every paint fills the whole client area, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetNotifyStyle(false);
    // A control starts with the font of the window it sits in.
    m_logFont = font();
    RebuildFont();
}

CStatusLabel::~CStatusLabel() = default;

// A label inside a window exists once that window has been created, even
// while the label itself is hidden and Qt has not yet created it.
bool CStatusLabel::WindowExists() const
{
    return testAttribute(Qt::WA_WState_Created) || window()->testAttribute(Qt::WA_WState_Created);
}

void CStatusLabel::RebuildFont()
{
    m_font = m_logFont;
}

void CStatusLabel::RefreshNow()
{
    repaint();
    // A transparent label shows the parent through; bring that up to date too.
    if (m_transparent && parentWidget())
        parentWidget()->repaint(geometry());
}

CStatusLabel& CStatusLabel::SetBackground(ColorRef colour, ColorRef gradientEnd, bool gradient)
{
    m_backColor = colour;
    m_gradientColor = gradientEnd;
    m_gradient = gradient;
    m_backBrush.reset();
    if (!gradient)
        m_backBrush = ToQColor(colour);
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetForeground(ColorRef colour)
{
    m_textColor = colour;
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetLabelText(const QString& text)
{
    if (!WindowExists())
        return *this;
    setText(text);
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetBold(bool on)
{
    m_logFont.setWeight(on ? QFont::Bold : QFont::Normal);
    RebuildFont();
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetFace(const QString& face, int /*charset*/)
{
    // Qt picks the character set from the text, so only the name matters.
    m_logFont.setFamilies({face});
    RebuildFont();
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetUnderline(bool on)
{
    m_logFont.setUnderline(on);
    RebuildFont();
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetItalic(bool on)
{
    m_logFont.setItalic(on);
    RebuildFont();
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetPointSize(int points)
{
    // Qt turns points into pixels with the screen's resolution when drawing;
    // a size below one point has no meaning there and keeps the current one.
    if (points > 0)
        m_logFont.setPointSize(points);
    RebuildFont();
    RefreshNow();
    return *this;
}

int CStatusLabel::FrameWidth() const
{
    return (m_border ? 1 : 0) + (m_sunkenEdge ? 1 : 0);
}

// QFrame's own frame change would repaint the whole label; as a window frame
// change does, this one redraws the frame's ring and leaves the text alone.
void CStatusLabel::ApplyFrame(bool border, bool sunkenEdge)
{
    const int before = FrameWidth();
    m_border = border;
    m_sunkenEdge = sunkenEdge;
    const int ring = qMax(before, FrameWidth());
    update(QRegion(rect()).subtracted(rect().adjusted(ring, ring, -ring, -ring)));
}

void CStatusLabel::DrawFrame(QPainter& painter) const
{
    if (m_border && m_sunkenEdge)
        qDrawWinPanel(&painter, rect(), palette(), true);
    else if (m_sunkenEdge)
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
    else if (m_border)
        qDrawPlainRect(&painter, rect(), palette().color(QPalette::WindowText), 1);
}

CStatusLabel& CStatusLabel::SetSunkenEdge(bool on)
{
    ApplyFrame(m_border, on);
    return *this;
}

CStatusLabel& CStatusLabel::SetFrame(bool on)
{
    ApplyFrame(on, m_sunkenEdge);
    return *this;
}

CStatusLabel& CStatusLabel::SetTransparentBack(bool on)
{
    m_transparent = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    RefreshNow();
    return *this;
}

void CStatusLabel::RestartBlink(bool on)
{
    if (m_timerStarted)
        m_blinkTimer.stop();
    if (on) {
        m_blinkPhase = false;
        m_timerStarted = true;
        m_blinkTimer.start(kBlinkIntervalMs, this);
    }
}

CStatusLabel& CStatusLabel::SetTextBlink(bool on)
{
    RestartBlink(on);
    m_blinkMode = on ? 1 : 0;
    return *this;
}

CStatusLabel& CStatusLabel::SetBackBlink(bool on)
{
    RestartBlink(on);
    if (on)
        m_blinkMode = 2;
    return *this;
}

// Without the notify style a static control lets clicks (and the cursor)
// through to the window beneath it.
void CStatusLabel::SetNotifyStyle(bool on)
{
    if (on)
        m_style |= kStyleNotify;
    else
        m_style &= ~kStyleNotify;
    setAttribute(Qt::WA_TransparentForMouseEvents, !on);
}

CStatusLabel& CStatusLabel::SetStyleFlags(unsigned style)
{
    m_style = style;
    SetNotifyStyle((style & kStyleNotify) != 0);
    return *this;
}

CStatusLabel& CStatusLabel::SetWebLink(bool on, bool notifyParent)
{
    m_linkKind = on ? 1 : 0;
    m_notifyParent = notifyParent;
    SetNotifyStyle(on);
    return *this;
}

CStatusLabel& CStatusLabel::SetMailtoLink(bool on, bool notifyParent)
{
    m_linkKind = on ? 2 : 0;
    m_notifyParent = notifyParent;
    SetNotifyStyle(on);
    return *this;
}

CStatusLabel& CStatusLabel::SetLinkTarget(const QString& target)
{
    m_linkTarget = target;
    return *this;
}

CStatusLabel& CStatusLabel::SetHoverCursor(std::optional<QCursor> cursor)
{
    // Shows only while the label takes the mouse, i.e. while a link is set.
    if (cursor)
        setCursor(*cursor);
    else
        unsetCursor();
    return *this;
}

CStatusLabel& CStatusLabel::SetEmboss(bool on, bool down)
{
    m_emboss = on;
    m_embossDown = down;
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetAngle(int degrees, bool rotate)
{
    m_escapement = (degrees % 360) * 10;
    m_rotate = rotate;
    RebuildFont();
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetEmbossColor(ColorRef colour)
{
    m_embossColor = colour;
    RefreshNow();
    return *this;
}

CStatusLabel& CStatusLabel::SetFontSpec(const QFont& font)
{
    m_logFont = font;
    RebuildFont();
    RefreshNow();
    return *this;
}

void CStatusLabel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_blinkTimer.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    m_blinkPhase = !m_blinkPhase;
    RefreshNow();
}

void CStatusLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && (m_style & kStyleNotify)) {
        if (m_notifyParent) {
            emit clickedNotify(objectName().toInt());
        } else if (m_linkKind == 1) {
            const QString target = m_linkTarget.isEmpty() ? text() : m_linkTarget;
            QDesktopServices::openUrl(QUrl::fromUserInput(target));
        } else if (m_linkKind == 2) {
            QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + text()));
        }
    }
    QLabel::mousePressEvent(event);
}

void CStatusLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // A change of the system colours reaches every widget as PaletteChange.
    if (event->type() == QEvent::PaletteChange) {
        // Only the default background follows the system colours; a text
        // colour taken at creation stays as it was.
        m_defaultBrush = palette().color(QPalette::Button);
        RefreshNow();
    }
}

int CStatusLabel::TextFlags(const QString& text) const
{
    int flags = 0;
    if (m_style & kStyleCenterImage) {
        flags = text.contains(QStringLiteral("\r\n"))
            ? Qt::AlignHCenter | Qt::AlignTop
            : Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    } else {
        switch (m_style & kStyleTypeMask) {
        case kStyleCenter:
            flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case kStyleRight:
            flags = Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap;
            break;
        case kStyleLeftNoWordWrap:
            flags = Qt::AlignLeft | Qt::AlignTop;
            break;
        default:
            flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
            break;
        }
        if (text.contains(u'\t'))
            flags |= Qt::TextExpandTabs;
    }
    if (!(m_style & kStyleNoPrefix))
        flags |= Qt::TextShowMnemonic;
    return flags;
}

void CStatusLabel::PaintBackground(QPainter& painter, const QRect& rect) const
{
    // The background blink shows the plain default colour in its off phase.
    const bool blinkedOff = m_blinkMode == 2 && m_blinkTimer.isActive() && !m_blinkPhase;
    if (m_gradient && !blinkedOff) {
        for (const GradientBand& band : GradientBands(rect, m_backColor, m_gradientColor, kGradientSteps))
            painter.fillRect(QRect(band.left, rect.top(), band.right - band.left, rect.height()),
                             ToQColor(band.colour));
        return;
    }
    painter.fillRect(rect, blinkedOff ? m_defaultBrush : m_backBrush.value_or(m_defaultBrush));
}

void CStatusLabel::PaintText(QPainter& painter, const QRect& rect, const QString& text) const
{
    QColor colour = ToQColor(m_textColor);
    // The off phase writes the text in the background colour so it vanishes.
    if (m_blinkMode == 1 && !m_blinkPhase)
        colour = m_backBrush.value_or(QColor(Qt::black));
    painter.setFont(m_font);
    painter.setPen(colour);

    if (m_rotate) {
        // Starts at the centre on its baseline and runs at the font's angle;
        // Qt turns clockwise where the font's escapement turns anticlockwise.
        painter.save();
        painter.translate(rect.left() + rect.width() / 2, rect.top() + rect.height() / 2);
        painter.rotate(-m_escapement / 10.0);
        painter.drawText(QPoint(0, 0), text);
        painter.restore();
        return;
    }

    const int flags = TextFlags(text);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    painter.drawText(rect, flags, shown);
    if (m_emboss) {
        const int offset = m_embossDown ? 1 : -1;
        painter.setPen(ToQColor(m_embossColor));
        painter.drawText(rect.translated(offset, offset), flags, shown);
    }
}

void CStatusLabel::paintEvent(QPaintEvent* /*event*/)
{
    // Qt composes the widget in its back buffer and shows it in one go, so
    // filling the whole client area first is all it takes not to flicker.
    QPainter painter(this);
    const int frame = FrameWidth();
    const QRect client = rect().adjusted(frame, frame, -frame, -frame);
    painter.save();
    painter.setClipRect(client);
    if (!m_transparent)
        PaintBackground(painter, client);
    PaintText(painter, client, text());
    painter.restore();
    DrawFrame(painter);
}
