// Choosing or typing a server, the kind box and the connection controls.

#include "app/SchemaDlg.h"
#include "settings/IniDocument.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
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

const QList<int> kAllControls = {1000, 1004, 1017, 1013, 1014, 1015, 1001, 1002, 1003,
                                 1022, 1021, 1024, 1020, 1030, 1006};

} // namespace

class TestServerChoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enabledStates_data();
    void enabledStates();
    void applyEmptiesListsAndLabels();
    void typedServerIsApplied_data();
    void typedServerIsApplied();
    void typedNameOfHistoryEntryStaysTyped();
    void editingWithoutTypingAppliesNothing_data();
    void editingWithoutTypingAppliesNothing();
    void emptyTypedServerWaits();
    void historyEntry_data();
    void historyEntry();
    void missingSectionIsAdded();
    void kindBoxSetsPort_data();
    void kindBoxSetsPort();
    void typedKindIsNoChoice();

private:
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(m_dlg->Control(id)); }
    void TypeIntoServerBox(const QString& text);
    void ChooseFromPopup(QComboBox* combo, int index);
    void AddHistoryEntry(const QString& server);
    void FillLists();

    QTemporaryDir m_dir;
    std::unique_ptr<CSchemaDlg> m_dlg;
    QStringList m_messages;
};

void TestServerChoice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.trace.debug=true"));
    g_defaultHandler = qInstallMessageHandler(CaptureTrace);
}

void TestServerChoice::init()
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

void TestServerChoice::cleanup()
{
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(u'|')));
    m_dlg.reset();
}

void TestServerChoice::TypeIntoServerBox(const QString& text)
{
    m_dlg->m_serverCombo->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_dlg->m_serverCombo->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), text);
}

// Picks an item the way a user does: open the list, move to it, press Enter.
void TestServerChoice::ChooseFromPopup(QComboBox* combo, int index)
{
    combo->setFocus(Qt::TabFocusReason);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(view->model()->index(index, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

void TestServerChoice::AddHistoryEntry(const QString& server)
{
    m_dlg->m_serverCombo->insertItem(0, server);
}

void TestServerChoice::FillLists()
{
    for (QTreeWidget* list : {m_dlg->m_databaseList, m_dlg->m_tableList, m_dlg->m_columnList}) {
        list->setColumnCount(2);
        list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("x"), QStringLiteral("y")}));
        list->setEnabled(true);
    }
    for (int id : {1030, 1022, 1024, 1021, 1020})
        m_dlg->Control(id)->setEnabled(true);
}

void TestServerChoice::enabledStates_data()
{
    QTest::addColumn<int>("situation");
    QTest::addColumn<QList<int>>("enabled");

    const QList<int> connection = {1000, 1004, 1017, 1013, 1014, 1015, 1006};
    QTest::newRow("after start") << 0 << QList<int>{1000, 1006};
    QTest::newRow("letter typed") << 1 << connection + QList<int>{1001, 1002, 1003, 1030, 1021, 1020};
    QTest::newRow("server applied") << 2 << connection + QList<int>{1021, 1020};
}

// Starting from everything of a previous connection enabled (except the
// connection controls), each situation leaves exactly its controls enabled.
void TestServerChoice::enabledStates()
{
    QFETCH(int, situation);
    QFETCH(QList<int>, enabled);

    if (situation > 0) {
        FillLists();
        m_dlg->EnableConnectionControls(false);
        m_dlg->m_serverCombo->setEnabled(true);
        TypeIntoServerBox(QStringLiteral("s"));
        QCOMPARE(m_dlg->m_serverEdited, 1);
    }
    if (situation == 2)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    for (int id : kAllControls)
        QVERIFY2(m_dlg->Control(id)->isEnabled() == enabled.contains(id), qPrintable(QString::number(id)));
}

void TestServerChoice::applyEmptiesListsAndLabels()
{
    FillLists();
    for (int id : {1007, 1008, 1009, 1023, 1025})
        qobject_cast<QLabel*>(m_dlg->Control(id))->setText(QStringLiteral("old"));
    Edit(1022)->setText(QStringLiteral("table text"));
    Edit(1024)->setText(QStringLiteral("column text"));
    m_dlg->m_database = QStringLiteral("d");
    m_dlg->m_table = QStringLiteral("t");
    m_dlg->m_column = QStringLiteral("c");
    m_dlg->m_tableRow = 4;
    m_dlg->m_columnRow = 2;
    m_dlg->m_server = QStringLiteral("srv");

    m_dlg->LoadFields();
    m_dlg->ApplyServerChoice(true);

    for (QTreeWidget* list : {m_dlg->m_databaseList, m_dlg->m_tableList, m_dlg->m_columnList})
        QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(qobject_cast<QLabel*>(m_dlg->Control(1007))->text(), QStringLiteral("数据库: 0"));
    QCOMPARE(qobject_cast<QLabel*>(m_dlg->Control(1008))->text(), QStringLiteral("表: 0"));
    QCOMPARE(qobject_cast<QLabel*>(m_dlg->Control(1023))->text(), QStringLiteral("表描述: "));
    QCOMPARE(qobject_cast<QLabel*>(m_dlg->Control(1009))->text(), QStringLiteral("字段: 0"));
    QCOMPARE(qobject_cast<QLabel*>(m_dlg->Control(1025))->text(), QStringLiteral("字段描述: "));
    QCOMPARE(Edit(1022)->text(), QString());
    QCOMPARE(Edit(1024)->text(), QString());
    QCOMPARE(m_dlg->m_database, QString());
    QCOMPARE(m_dlg->m_table, QString());
    QCOMPARE(m_dlg->m_column, QString());
    // The current rows stay for the next listing to replace.
    QCOMPARE(m_dlg->m_tableRow, 4);
    QCOMPARE(m_dlg->m_columnRow, 2);
    // Texts put into the fields by the program are no user edits.
    QVERIFY(m_dlg->Control(1021)->isEnabled());
    QVERIFY(m_dlg->Control(1020)->isEnabled());
    // A typed server reads nothing from the settings file.
    QVERIFY(!CIniDocument::FromBytes([] {
                 QFile file(QStringLiteral("Pell.ini"));
                 return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
             }()).Value(QStringLiteral("srv"), QStringLiteral("Type")));
}

void TestServerChoice::typedServerIsApplied_data()
{
    QTest::addColumn<int>("endKey");
    QTest::newRow("tab") << int(Qt::Key_Tab);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("drop-down opened") << 0;
}

void TestServerChoice::typedServerIsApplied()
{
    QFETCH(int, endKey);

    AddHistoryEntry(QStringLiteral("other"));
    m_dlg->EnableConnectionControls(true);
    Edit(1017)->setText(QStringLiteral("5000"));
    Edit(1013)->setText(QStringLiteral("sa"));
    Edit(1014)->setText(QStringLiteral("pw"));
    m_dlg->m_kindCombo->setEditText(QStringLiteral("MySQL"));
    m_dlg->m_kind = 2;
    m_dlg->m_serverCombo->setEditText(QString());

    TypeIntoServerBox(QStringLiteral("db1"));
    QCOMPARE(m_dlg->m_serverEdited, 1);
    QVERIFY(g_traces.isEmpty());
    if (endKey)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(endKey));
    else
        m_dlg->m_serverCombo->showPopup();

    QCOMPARE(g_traces, QStringList{QStringLiteral("输入服务器: db1")});
    QCOMPARE(m_dlg->m_server, QStringLiteral("db1"));
    QCOMPARE(m_dlg->m_serverEdited, 0);
    QCOMPARE(m_dlg->m_kind, 1);
    QCOMPARE(m_dlg->m_kindCombo->currentText(), QStringLiteral("MySQL"));
    for (int id : {1017, 1013, 1014})
        QCOMPARE(Edit(id)->text(), QString());
    QCOMPARE(m_dlg->m_port, QString());
    QCOMPARE(m_dlg->m_serverCombo->count(), 1);
    m_dlg->m_serverCombo->hidePopup();
}

// Typing the name of a history entry is still typing: its stored parameters
// are not loaded.
void TestServerChoice::typedNameOfHistoryEntryStaysTyped()
{
    m_dlg->m_settings.Write(m_dlg->m_settingsPath, QStringLiteral("db1"), QStringLiteral("Port"), QStringLiteral("3307"));
    AddHistoryEntry(QStringLiteral("db1"));
    AddHistoryEntry(QStringLiteral("db2"));
    m_dlg->m_serverCombo->setCurrentIndex(0);
    m_dlg->m_serverCombo->setEditText(QString());

    TypeIntoServerBox(QStringLiteral("db1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    QCOMPARE(g_traces, QStringList{QStringLiteral("输入服务器: db1")});
    QCOMPARE(Edit(1017)->text(), QString());
}

void TestServerChoice::editingWithoutTypingAppliesNothing_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::newRow("backspace") << QList<int>{Qt::Key_End, Qt::Key_Backspace};
    QTest::newRow("delete") << QList<int>{Qt::Key_Home, Qt::Key_Delete};
    QTest::newRow("punctuation") << QList<int>{Qt::Key_Period, Qt::Key_Minus, Qt::Key_Colon};
}

void TestServerChoice::editingWithoutTypingAppliesNothing()
{
    QFETCH(QList<int>, keys);

    AddHistoryEntry(QStringLiteral("host1"));
    m_dlg->m_serverCombo->setCurrentIndex(0);
    m_dlg->m_serverCombo->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_dlg->m_serverCombo->hasFocus());
    const QString before = m_dlg->m_serverCombo->currentText();
    for (int key : keys)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(m_dlg->m_serverCombo->currentText() != before); // the keys did edit
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    QCOMPARE(m_dlg->m_serverEdited, 0);
    QVERIFY(g_traces.isEmpty());
    QCOMPARE(m_dlg->m_server, QString());
    QVERIFY(!m_dlg->Control(1015)->isEnabled());
}

// With the text typed away the box waits for a name; the flag stays.
void TestServerChoice::emptyTypedServerWaits()
{
    TypeIntoServerBox(QStringLiteral("a"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(m_dlg->m_serverEdited, 1);
    QVERIFY(g_traces.isEmpty());
}

void TestServerChoice::historyEntry_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("kind");
    QTest::newRow("MySQL") << QStringLiteral("MySQL") << 2;
    QTest::newRow("mysql lower case") << QStringLiteral("mysql") << 2;
    QTest::newRow("MYSQL upper case") << QStringLiteral("MYSQL") << 2;
    QTest::newRow("SQLServer") << QStringLiteral("SQLServer") << 1;
    QTest::newRow("other text") << QStringLiteral("Oracle") << 1;
}

void TestServerChoice::historyEntry()
{
    QFETCH(QString, type);
    QFETCH(int, kind);

    const QString ini = m_dlg->m_settingsPath;
    const QString server = QStringLiteral("db.example:1");
    m_dlg->m_settings.Write(ini, server, QStringLiteral("Type"), type);
    m_dlg->m_settings.Write(ini, server, QStringLiteral("Port"), QStringLiteral("3307"));
    m_dlg->m_settings.Write(ini, server, QStringLiteral("User"), QStringLiteral("root"));
    m_dlg->m_settings.Write(ini, server, QStringLiteral("Pass"),
                            m_dlg->m_codec.Encode(QStringLiteral("s3cret"), CPasswordCodec::kSeed));
    AddHistoryEntry(QStringLiteral("first"));
    AddHistoryEntry(server);
    m_dlg->m_kind = kind == 2 ? 1 : 2;

    ChooseFromPopup(m_dlg->m_serverCombo, 0);

    QCOMPARE(g_traces, QStringList{QStringLiteral("选择服务器: ") + server});
    QCOMPARE(m_dlg->m_server, server);
    QCOMPARE(m_dlg->m_kindCombo->currentText(), type);
    QCOMPARE(m_dlg->m_kind, kind);
    QCOMPARE(Edit(1017)->text(), QStringLiteral("3307"));
    QCOMPARE(Edit(1013)->text(), QStringLiteral("root"));
    QCOMPARE(Edit(1014)->text(), QStringLiteral("s3cret"));
    QCOMPARE(m_dlg->m_password, QStringLiteral("s3cret"));
    QVERIFY(m_dlg->Control(1015)->isEnabled());
    QVERIFY(!m_dlg->m_tableList->isEnabled());

    // Leaving the kind box afterwards is no choice of a kind: the stored port
    // stays.
    m_dlg->m_kindCombo->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_dlg->m_kindCombo->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(Edit(1017)->text(), QStringLiteral("3307"));
    QCOMPARE(m_dlg->m_kind, kind);
}

void TestServerChoice::missingSectionIsAdded()
{
    AddHistoryEntry(QStringLiteral("ghost"));
    m_dlg->m_kindCombo->setEditText(QStringLiteral("MySQL"));
    m_dlg->EnableConnectionControls(true);
    Edit(1017)->setText(QStringLiteral("1"));
    Edit(1014)->setText(QStringLiteral("old"));

    ChooseFromPopup(m_dlg->m_serverCombo, 0);

    QFile file(m_dlg->m_settingsPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const CIniDocument doc = CIniDocument::FromBytes(file.readAll());
    for (const char* key : {"Type", "Port", "User", "Pass"}) {
        const std::optional<QString> value = doc.Value(QStringLiteral("ghost"), QString::fromLatin1(key));
        QVERIFY2(value.has_value(), key);
        QCOMPARE(*value, QString());
    }
    QCOMPARE(m_dlg->m_kind, 1);
    QCOMPARE(m_dlg->m_kindCombo->currentText(), QString());
    for (int id : {1017, 1013, 1014})
        QCOMPARE(Edit(id)->text(), QString());
}

void TestServerChoice::kindBoxSetsPort_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("kind");
    QTest::newRow("MySQL") << 1 << QStringLiteral("3306") << 2;
    QTest::newRow("SQLServer") << 0 << QStringLiteral("1433") << 1;
}

void TestServerChoice::kindBoxSetsPort()
{
    QFETCH(int, index);
    QFETCH(QString, port);
    QFETCH(int, kind);

    m_dlg->EnableConnectionControls(true);
    m_dlg->m_kind = kind == 2 ? 1 : 2;
    Edit(1017)->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(Edit(1017), QStringLiteral("4711"));

    ChooseFromPopup(m_dlg->m_kindCombo, index);

    QCOMPARE(Edit(1017)->text(), port);
    QCOMPARE(m_dlg->m_kind, kind);
    // The member follows at the next load only.
    QCOMPARE(m_dlg->m_port, QString());
    m_dlg->LoadFields();
    QCOMPARE(m_dlg->m_port, port);
}

// Typing a kind's name is no choice from the list: port and kind stay.
void TestServerChoice::typedKindIsNoChoice()
{
    m_dlg->EnableConnectionControls(true);
    m_dlg->m_kind = 1;
    Edit(1017)->setText(QStringLiteral("4711"));
    m_dlg->m_kindCombo->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(m_dlg->m_kindCombo->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("MySQL"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);

    QCOMPARE(Edit(1017)->text(), QStringLiteral("4711"));
    QCOMPARE(m_dlg->m_kind, 1);
}

QTEST_MAIN(TestServerChoice)
#include "TestServerChoice.moc"
