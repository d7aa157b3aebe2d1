#pragma once

// Driving the shown window the way a user does, shared by the browse tests.

#include "TestSchemaDlgHarness.h"

// Replaces a field's text the way a user does: select all, type.
inline void Retype(QWidget* field, const QString& text)
{
    Focus(field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        else // what an input method delivers
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), {});
    }
}

// A drop-down left open would stay the active window offscreen; the choice
// is what the list reports when an item is picked.
inline void PickKind(Window& w, int index)
{
    w->m_kindCombo->setCurrentIndex(index);
    emit w->m_kindCombo->activated(index);
}

// A list's rows, each as its cells joined by '|'.
inline QStringList Rows(QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells.append(list->topLevelItem(i)->text(c));
        rows.append(cells.join(u'|'));
    }
    return rows;
}

inline int RowOf(QTreeWidget* list, const QString& name)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == name)
            return i;
    return -1;
}

inline void Click(QTreeWidget* list, const QString& name)
{
    const int row = RowOf(list, name);
    QVERIFY2(row >= 0, qPrintable(name));
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

// Types a new server, picks the kind by index if one is given, fills port,
// user and password, presses Connect.
inline void Connect(Window& w, const QString& host, const QString& port, const QString& user, const QString& password,
                    int kind = -1)
{
    Retype(w->m_serverCombo, host);
    QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
    if (kind >= 0)
        PickKind(w, kind);
    Retype(w.Edit(1017), port);
    Retype(w.Edit(1013), user);
    Retype(w.Edit(1014), password);
    QTest::mouseClick(w->Control(1015), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
}

inline QString Text(Window& w, int id) { return w->Control(id)->property("text").toString(); }

inline QStringList Enabled(Window& w)
{
    QStringList ids;
    for (int id : {1000, 1001, 1002, 1003, 1004, 1013, 1014, 1015, 1017, 1020, 1021, 1022, 1024, 1030})
        if (w->Control(id)->isEnabled())
            ids.append(QString::number(id));
    return ids;
}
