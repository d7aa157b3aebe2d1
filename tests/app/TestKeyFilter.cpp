// The window's key filter and the focus handling of lists and description
// fields.

#include "app/SchemaDlg.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

QStringList g_traces;
QtMessageHandler g_defaultHandler = nullptr;

void CaptureTrace(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && QByteArray(context.category) == "velmora.trace")
        g_traces.append(message);
    else if (g_defaultHandler)
        g_defaultHandler(type, context, message);
}

// Records the key presses that reach a widget past the window's filter, and
// the times it gained the focus.
class KeyRecorder : public QObject
{
public:
    QList<int> keys;
    int focusIns = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Modifier keys on their own are no keys of the rules.
        const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event)->key() : 0;
        if (key && key != Qt::Key_Alt && key != Qt::Key_Shift && key != Qt::Key_Control)
            keys.append(key);
        else if (event->type() == QEvent::FocusIn)
            ++focusIns;
        return false;
    }
};

int SelectedRow(QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> items = list->selectedItems();
    return items.size() == 1 ? list->indexOfTopLevelItem(items.first()) : -2 - int(items.size());
}

} // namespace

class TestKeyFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void descriptionKeys_data();
    void descriptionKeys();
    void traceShowsRowAfterMove_data();
    void traceShowsRowAfterMove();
    void closingKeysAreSwallowed_data();
    void closingKeysAreSwallowed();
    void serverTypingRule_data();
    void serverTypingRule();
    void otherKeysPass();
    void listFocusRemarksRow_data();
    void listFocusRemarksRow();
    void descriptionFocusSelectsText_data();
    void descriptionFocusSelectsText();

private:
    QTreeWidget* FillList(bool tables, int rows, int current);
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(m_dlg->Control(id)); }

    QTemporaryDir m_dir;
    std::unique_ptr<CSchemaDlg> m_dlg;
    QStringList m_messages;
};

void TestKeyFilter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.trace.debug=true"));
    g_defaultHandler = qInstallMessageHandler(CaptureTrace);
}

void TestKeyFilter::init()
{
    QFile::remove(QStringLiteral("Pell.ini"));
    g_traces.clear();
    m_messages.clear();
    m_dlg = std::make_unique<CSchemaDlg>();
    m_dlg->SetMessageAnswerer([this](const QString& text, const QString&, unsigned) {
        m_messages.append(text);
        return int(kIdOk);
    });
    m_dlg->show();
    m_dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
}

void TestKeyFilter::cleanup()
{
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'|')));
    m_dlg.reset();
}

// Rows have empty names, so a listing handler stops before any server work.
QTreeWidget* TestKeyFilter::FillList(bool tables, int rows, int current)
{
    QTreeWidget* list = tables ? m_dlg->m_tableList : m_dlg->m_columnList;
    list->setSortingEnabled(false);
    list->setColumnCount(2);
    for (int i = 0; i < rows; ++i)
        list->addTopLevelItem(new QTreeWidgetItem({QString(), QStringLiteral("row %1").arg(i)}));
    list->setEnabled(true);
    if (current >= 0 && current < rows)
        list->setCurrentItem(list->topLevelItem(current));
    (tables ? m_dlg->m_tableRow : m_dlg->m_columnRow) = current;
    return list;
}

void TestKeyFilter::descriptionKeys_data()
{
    QTest::addColumn<bool>("tables");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("updateEnabled");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("traces");

    const QString t = QStringLiteral("当前表行号: %1");
    const QString c = QStringLiteral("当前字段行号: %1");
    QTest::newRow("table up on first row") << true << 3 << 0 << int(Qt::Key_Up) << false << 0 << QStringList{t.arg(0)};
    QTest::newRow("table down on last row") << true << 3 << 2 << int(Qt::Key_Down) << false << 2 << QStringList{t.arg(2)};
    QTest::newRow("table up moves") << true << 3 << 2 << int(Qt::Key_Up) << false << 1 << QStringList{t.arg(QString())};
    QTest::newRow("table down moves") << true << 3 << 0 << int(Qt::Key_Down) << false << 1 << QStringList{t.arg(QString())};
    QTest::newRow("table return moves") << true << 3 << 1 << int(Qt::Key_Return) << false << 2 << QStringList{t.arg(QString())};
    QTest::newRow("table keypad enter moves") << true << 3 << 1 << int(Qt::Key_Enter) << false << 2 << QStringList{t.arg(QString())};
    QTest::newRow("table return updates") << true << 3 << 0 << int(Qt::Key_Return) << true << 0 << QStringList{};
    QTest::newRow("table down updates") << true << 3 << 0 << int(Qt::Key_Down) << true << 0 << QStringList{};
    QTest::newRow("table up ignores update") << true << 3 << 1 << int(Qt::Key_Up) << true << 0 << QStringList{t.arg(QString())};
    QTest::newRow("table down on empty list") << true << 0 << -1 << int(Qt::Key_Down) << false << -2 << QStringList{t.arg(-1)};
    QTest::newRow("column up on first row") << false << 4 << 0 << int(Qt::Key_Up) << false << 0 << QStringList{c.arg(0)};
    QTest::newRow("column down on last row") << false << 4 << 3 << int(Qt::Key_Down) << false << 3 << QStringList{c.arg(3)};
    QTest::newRow("column down moves") << false << 4 << 1 << int(Qt::Key_Down) << false << 2 << QStringList{c.arg(QString())};
    QTest::newRow("column return updates") << false << 4 << 1 << int(Qt::Key_Return) << true << 1 << QStringList{};
    QTest::newRow("column keypad enter moves") << false << 4 << 3 << int(Qt::Key_Enter) << false << 3 << QStringList{c.arg(3)};
}

// The keys never reach the field; with the update button enabled Down and
// Enter save instead of moving, which leaves the list as it was.
void TestKeyFilter::descriptionKeys()
{
    QFETCH(bool, tables);
    QFETCH(int, rows);
    QFETCH(int, current);
    QFETCH(int, key);
    QFETCH(bool, updateEnabled);
    QFETCH(int, selected);
    QFETCH(QStringList, traces);

    QTreeWidget* list = FillList(tables, rows, current);
    QLineEdit* field = Edit(tables ? 1022 : 1024);
    field->setEnabled(true);
    m_dlg->Control(tables ? 1021 : 1020)->setEnabled(updateEnabled);
    field->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(field->hasFocus());
    KeyRecorder recorder;
    field->installEventFilter(&recorder);
    KeyRecorder listRecorder;
    list->installEventFilter(&listRecorder);
    QSignalSpy returns(field, &QLineEdit::returnPressed);
    QSignalSpy connects(qobject_cast<QPushButton*>(m_dlg->Control(1015)), &QPushButton::clicked);

    const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(field, Qt::Key(key), modifiers);

    QCOMPARE(recorder.keys, QList<int>{});
    QCOMPARE(returns.count(), 0);
    QCOMPARE(connects.count(), 0);
    QCOMPARE(SelectedRow(list), selected);
    if (selected >= 0)
        QCOMPARE(list->currentItem(), list->topLevelItem(selected));
    const bool moved = selected >= 0 && selected != current;
    QCOMPARE(listRecorder.focusIns, moved ? 1 : 0);
    // Which row a move traces is up to the list's selection handling (see
    // traceShowsRowAfterMove); here only that the trace follows.
    QCOMPARE(g_traces.size(), traces.size());
    if (!traces.isEmpty()) {
        if (moved)
            QVERIFY(g_traces.first().startsWith(traces.first()));
        else
            QCOMPARE(g_traces, traces);
    }
}

void TestKeyFilter::traceShowsRowAfterMove_data()
{
    QTest::addColumn<bool>("tables");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("trace");
    QTest::newRow("table up") << true << int(Qt::Key_Up) << QStringLiteral("当前表行号: 0");
    QTest::newRow("table down") << true << int(Qt::Key_Down) << QStringLiteral("当前表行号: 2");
    QTest::newRow("column down") << false << int(Qt::Key_Down) << QStringLiteral("当前字段行号: 2");
}

// The list's selection handling sets the current row as soon as the new row
// is selected; the trace comes after it.
void TestKeyFilter::traceShowsRowAfterMove()
{
    QFETCH(bool, tables);
    QFETCH(int, key);
    QFETCH(QString, trace);

    QTreeWidget* list = FillList(tables, 3, 1);
    int& row = tables ? m_dlg->m_tableRow : m_dlg->m_columnRow;
    QLineEdit* field = Edit(tables ? 1022 : 1024);
    connect(list, &QTreeWidget::itemSelectionChanged, this, [&] {
        const QList<QTreeWidgetItem*> items = list->selectedItems();
        if (!items.isEmpty())
            row = list->indexOfTopLevelItem(items.first());
        field->setFocus();
    });
    field->setEnabled(true);
    field->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(field->hasFocus());

    QTest::keyClick(field, Qt::Key(key));

    QCOMPARE(g_traces, QStringList{trace});
    QVERIFY(field->hasFocus());
}

void TestKeyFilter::closingKeysAreSwallowed_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("escape in server box") << 1000 << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("escape in table description") << 1022 << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("escape in table list") << 1002 << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("escape on Exit") << 1006 << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("alt+f4 in server box") << 1000 << int(Qt::Key_F4) << int(Qt::AltModifier);
    QTest::newRow("alt+f4 in column description") << 1024 << int(Qt::Key_F4) << int(Qt::AltModifier);
}

void TestKeyFilter::closingKeysAreSwallowed()
{
    QFETCH(int, target);
    QFETCH(int, key);
    QFETCH(int, modifiers);

    QWidget* widget = m_dlg->Control(target);
    widget->setEnabled(true);
    widget->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(widget->hasFocus());
    QWidget* focus = QApplication::focusWidget();
    KeyRecorder recorder;
    focus->installEventFilter(&recorder);
    QSignalSpy finished(m_dlg.get(), &QDialog::finished);

    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(recorder.keys, QList<int>{});
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_dlg->isVisible());

    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QVERIFY(m_dlg->PreTranslateMessage(focus, &press));
}

void TestKeyFilter::serverTypingRule_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("counts");
    QTest::newRow("letter") << int(Qt::Key_Q) << int(Qt::NoModifier) << true;
    QTest::newRow("capital letter") << int(Qt::Key_Z) << int(Qt::ShiftModifier) << true;
    QTest::newRow("digit") << int(Qt::Key_0) << int(Qt::NoModifier) << true;
    QTest::newRow("keypad digit") << int(Qt::Key_9) << int(Qt::KeypadModifier) << true;
    QTest::newRow("ctrl+v") << int(Qt::Key_V) << int(Qt::ControlModifier) << true;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << false;
    QTest::newRow("delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << false;
    QTest::newRow("full stop") << int(Qt::Key_Period) << int(Qt::NoModifier) << false;
    QTest::newRow("hyphen") << int(Qt::Key_Minus) << int(Qt::NoModifier) << false;
    QTest::newRow("colon") << int(Qt::Key_Colon) << int(Qt::NoModifier) << false;
    QTest::newRow("at sign") << int(Qt::Key_At) << int(Qt::NoModifier) << false;
    QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier) << false;
    QTest::newRow("keypad point") << int(Qt::Key_Period) << int(Qt::KeypadModifier) << false;
}

void TestKeyFilter::serverTypingRule()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, counts);

    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    m_dlg->Control(1022)->setEnabled(true);
    m_dlg->Control(1024)->setEnabled(true);
    m_dlg->m_serverCombo->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_dlg->m_serverCombo->hasFocus());
    QWidget* focus = QApplication::focusWidget();
    const QString before = m_dlg->m_serverCombo->currentText();

    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(m_dlg->m_serverEdited, counts ? 1 : 0);
    for (int id : {1004, 1017, 1013, 1014, 1015})
        QCOMPARE(m_dlg->Control(id)->isEnabled(), counts);
    QCOMPARE(m_dlg->Control(1022)->isEnabled(), !counts);
    QCOMPARE(m_dlg->Control(1024)->isEnabled(), !counts);
    // The key still types into the box.
    if (counts)
        QVERIFY(m_dlg->m_serverCombo->currentText() != before);

    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QVERIFY(!m_dlg->PreTranslateMessage(focus, &press));
}

// Keys outside the rules reach their control, and the description keys only
// count in the description fields.
void TestKeyFilter::otherKeysPass()
{
    FillList(true, 3, 1);
    QLineEdit* user = Edit(1013);
    user->setEnabled(true);
    user->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(user->hasFocus());
    KeyRecorder recorder;
    user->installEventFilter(&recorder);

    QTest::keyClick(user, Qt::Key_Down);
    QTest::keyClick(user, Qt::Key_X);

    QCOMPARE(recorder.keys, (QList<int>{Qt::Key_Down, Qt::Key_X}));
    QCOMPARE(user->text(), QStringLiteral("x"));
    QCOMPARE(SelectedRow(m_dlg->m_tableList), 1);
    QVERIFY(g_traces.isEmpty());
    QCOMPARE(m_dlg->m_serverEdited, 0);
}

void TestKeyFilter::listFocusRemarksRow_data()
{
    QTest::addColumn<bool>("tables");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("selected");
    QTest::newRow("table row") << true << 2 << 2;
    QTest::newRow("column row") << false << 1 << 1;
    QTest::newRow("no current row") << true << -1 << -2;
    QTest::newRow("row past the end") << false << 7 << -2;
}

void TestKeyFilter::listFocusRemarksRow()
{
    QFETCH(bool, tables);
    QFETCH(int, current);
    QFETCH(int, selected);

    QTreeWidget* list = FillList(tables, 3, -1);
    (tables ? m_dlg->m_tableRow : m_dlg->m_columnRow) = current;
    list->clearSelection();
    Edit(1013)->setEnabled(true);
    Edit(1013)->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(Edit(1013)->hasFocus());

    list->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(list->hasFocus());

    QCOMPARE(SelectedRow(list), selected);
    if (selected >= 0)
        QCOMPARE(list->currentItem(), list->topLevelItem(selected));
}

void TestKeyFilter::descriptionFocusSelectsText_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("byMouse");
    QTest::newRow("table description by tab") << 1022 << false;
    QTest::newRow("table description by click") << 1022 << true;
    QTest::newRow("column description by tab") << 1024 << false;
    QTest::newRow("column description by click") << 1024 << true;
}

void TestKeyFilter::descriptionFocusSelectsText()
{
    QFETCH(int, id);
    QFETCH(bool, byMouse);

    QLineEdit* field = Edit(id);
    field->setEnabled(true);
    field->setText(QStringLiteral("订单表 orders"));
    field->setCursorPosition(2);
    Edit(1013)->setEnabled(true);
    Edit(1013)->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(Edit(1013)->hasFocus());

    if (byMouse)
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() / 2, field->height() / 2));
    else
        field->setFocus(Qt::OtherFocusReason);

    QTRY_VERIFY(field->hasFocus());
    QTRY_COMPARE(field->selectedText(), QStringLiteral("订单表 orders"));
    QTest::qWait(20);
    QCOMPARE(field->selectedText(), QStringLiteral("订单表 orders"));
}

QTEST_MAIN(TestKeyFilter)
#include "TestKeyFilter.moc"
