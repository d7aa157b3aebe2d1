#include "ui/RowColourDelegate.h"

#include "ui/RowColours.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyle>
#include <QTreeWidget>

#include <limits>

namespace {

// Grid lines in the grey a report list draws them with.
const QColor kGridLine(0xF0, 0xF0, 0xF0);

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

    const int row = index.row();
    const RowColours colours = row == FirstSelectedRow()
        ? RowColours{kSelectedText, kSelectedBack}
        : ReadRowColours(*m_settings, *m_settingsPath, m_prefix, row);

    // The style draws icon, text and alignment; the colours are ours, so it
    // must paint no highlight of its own: some styles tint the whole current
    // or hovered row. The current row gets a dotted frame instead.
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    opt.backgroundBrush = ToQColor(colours.background);
    opt.palette.setColor(QPalette::Text, ToQColor(colours.text));
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setPen(kGridLine);
    painter->drawLine(opt.rect.bottomLeft(), opt.rect.bottomRight());
    painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(ToQColor(colours.text), 1, Qt::DotLine));
        painter->drawRect(opt.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}
