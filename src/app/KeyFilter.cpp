// Key filter and focus handling of the main window.

#include "common/DebugTrace.h"
#include "app/SchemaDlg.h"

#include <QComboBox>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

namespace {

enum class Arrow { None, Up, DownOrEnter };

Arrow ArrowOf(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Up:
        return Arrow::Up;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Arrow::DownOrEnter;
    default:
        return Arrow::None;
    }
}

bool IsEscape(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Escape;
}

bool IsAltF4(const QKeyEvent* key)
{
    return key->key() == Qt::Key_F4 && (key->modifiers() & Qt::AltModifier);
}

// Selects the whole text. A mouse click that gave the focus places the cursor
// after the focus arrived, which would drop the selection again; selecting
// once more when the event has been handled keeps it.
void SelectWholeText(QWidget* widget)
{
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (!edit)
        return;
    edit->selectAll();
    QPointer<QLineEdit> guard(edit);
    QTimer::singleShot(0, edit, [guard] {
        if (guard && guard->hasFocus())
            guard->selectAll();
    });
}

// Marks a row selected and current; only what differs is changed, so that a
// row that is already marked raises no selection notification. The lists
// hold one selected row, so marking one unmarks any other.
void MarkRow(QTreeWidget* list, int row)
{
    if (!list || row < 0 || row >= list->topLevelItemCount())
        return;
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (!item->isSelected() || list->selectedItems().size() != 1)
        list->selectionModel()->select(list->indexFromItem(item),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (list->currentItem() != item)
        list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

} // namespace

bool CSchemaDlg::PreTranslateMessage(QObject* target, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;

    if (event->type() == QEvent::FocusIn) {
        // A click marks the row it hits; marking the remembered row first
        // would list a table the user did not choose on the way.
        const bool byClick = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        if (widget == Control(1022))
            OnTableDescFocus();
        else if (widget == Control(1024))
            OnColumnDescFocus();
        else if (widget == m_tableList && !byClick)
            OnTableListFocus();
        else if (widget == m_columnList && !byClick)
            OnColumnListFocus();
        return false;
    }

    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);

    QTreeWidget* list = nullptr;
    QWidget* button = nullptr;
    if (widget == Control(1022)) {
        list = m_tableList;
        button = Control(1021);
    } else if (widget == Control(1024)) {
        list = m_columnList;
        button = Control(1020);
    }
    const Arrow arrow = list ? ArrowOf(key) : Arrow::None;

    // Claim the keys of rules 1 to 6 before any shortcut can take them.
    if (!press) {
        if (IsEscape(key) || IsAltF4(key) || arrow != Arrow::None) {
            event->accept();
            return true;
        }
        return false;
    }

    // Rules 1 and 2: the window closes through Exit only.
    if (IsEscape(key) || IsAltF4(key))
        return true;

    // Rules 3 to 6: the description fields walk through their list.
    if (arrow != Arrow::None) {
        const bool tables = list == m_tableList;
        int& row = tables ? m_tableRow : m_columnRow;
        if (arrow == Arrow::DownOrEnter && button && button->isEnabled()) {
            if (tables)
                OnUpdateTableDescription();
            else
                OnUpdateColumnDescription();
            return true;
        }
        if (arrow == Arrow::Up) {
            if (row - 1 >= 0)
                MoveListRow(list, row, row - 1);
        } else if (row + 1 < list->topLevelItemCount()) {
            MoveListRow(list, row, row + 1);
        }
        DebugTrace(tables ? u"当前表行号: %d" : u"当前字段行号: %d", {row});
        return true;
    }

    // Rule 7: typing into the server box; the key still reaches the box.
    if (widget == m_serverCombo || m_serverCombo->isAncestorOf(widget))
        ApplyServerTypingRule(*key);
    return false;
}

// The old row loses its mark in the same step as the new row gains it
// (ClearAndSelect), so the list's selection handling sees exactly one change
// and never a list without a selected row.
void CSchemaDlg::MoveListRow(QTreeWidget* list, int /*current*/, int next)
{
    list->setFocus(Qt::OtherFocusReason);
    QTreeWidgetItem* target = list->topLevelItem(next);
    if (!target)
        return;
    const QModelIndex index = list->indexFromItem(target);
    list->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollToItem(target);
}

void CSchemaDlg::OnTableDescFocus()
{
    SelectWholeText(Control(1022));
}

void CSchemaDlg::OnColumnDescFocus()
{
    SelectWholeText(Control(1024));
}

void CSchemaDlg::OnTableListFocus()
{
    MarkRow(m_tableList, m_tableRow);
}

void CSchemaDlg::OnColumnListFocus()
{
    MarkRow(m_columnList, m_columnRow);
}
