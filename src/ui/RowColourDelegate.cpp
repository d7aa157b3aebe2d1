#include "ui/RowColourDelegate.h"

#include "ui/RowColours.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QTreeWidget>

#include <limits>

namespace {

// Grid lines in the grey a report list draws them with.
const QColor kGridLine(0xF0, 0xF0, 0xF0);

// Some styles (Fusion among them) fill a focus frame with a translucent
// highlight, which would tint the current row over its configured colours;
// in the lists a focus frame is a dotted outline only.
class OutlineFocusStyle : public QProxyStyle
{
public:
    explicit OutlineFocusStyle(QWidget* list) : QProxyStyle(list->style()->name()) { setParent(list); }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setPen(QPen(option->palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

} // namespace

CRowColourDelegate::CRowColourDelegate(const CSettingsFile* settings, const QString* settingsPath,
                                       QString prefix, QTreeWidget* list)
    : QStyledItemDelegate(list)
    , m_settings(settings)
    , m_settingsPath(settingsPath)
    , m_prefix(std::move(prefix))
    , m_list(list)
{
    list->setItemDelegate(this);
    list->setStyle(new OutlineFocusStyle(list));
}

int CRowColourDelegate::FirstSelectedRow() const
{
    const QItemSelectionModel* selection = m_list->selectionModel();
    if (!selection)
        return -1;
    int first = std::numeric_limits<int>::max();
    for (const QItemSelectionRange& range : selection->selection()) {
        if (!range.parent().isValid() && range.top() < first)
            first = range.top();
    }
    return first == std::numeric_limits<int>::max() ? -1 : first;
}

void CRowColourDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // A cell takes its column header's alignment, so the length and scale
    // stay right-aligned and the marks centred without a setting per cell.
    if (!index.data(Qt::TextAlignmentRole).isValid())
        opt.displayAlignment = Qt::Alignment(m_list->headerItem()->textAlignment(index.column()));

    const int row = index.row();
    const RowColours colours = row == FirstSelectedRow()
        ? RowColours{kSelectedText, kSelectedBack}
        : ReadRowColours(*m_settings, *m_settingsPath, m_prefix, row);

    // The style draws icon, text, alignment and focus frame; the colours are
    // ours, so it must paint no selection or hover highlight of its own.
    opt.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver);
    opt.backgroundBrush = ToQColor(colours.background);
    opt.palette.setColor(QPalette::Text, ToQColor(colours.text));
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setPen(kGridLine);
    painter->drawLine(opt.rect.bottomLeft(), opt.rect.bottomRight());
    painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    painter->restore();
}
