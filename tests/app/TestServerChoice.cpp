// Choosing or typing a server, and the kind box.

#include "TestSchemaDlgHarness.h"

// What a MySQL connection leaves: listed rows, enabled lists, descriptions
// and buttons, filled fields.
static void AfterConnection(Window& w)
{
    for (QTreeWidget* list : {w->m_databaseList, w->m_tableList, w->m_columnList})
        list->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("x")}));
    for (int id : {1001, 1002, 1003, 1020, 1021, 1022, 1024, 1030})
        w->Control(id)->setEnabled(true);
    for (int id : {1017, 1013, 1014, 1022, 1024})
        w.Edit(id)->setText(QStringLiteral("old"));
    w->m_kind = 2;
}

// Picks an item the way a user does: open the list, move to it, press Enter.
static void Choose(QComboBox* combo, int index)
{
    combo->showPopup();
    combo->view()->setCurrentIndex(combo->model()->index(index, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
}

// Port 4711 typed; kind 0 is what no choice in the kind box gives.
static void TypePort(Window& w)
{
    w->EnableConnectionControls(true);
    w->m_kind = 0;
    Type(w.Edit(1017), QStringLiteral("4711"));
}

static QByteArray HistoryEntry(const char* type)
{
    const QString pass = CPasswordCodec().Encode(QStringLiteral("s3cret"), CPasswordCodec::kSeed);
    const QString text = QStringLiteral("[Database]\nServer1=db9\n[db9]\nType=%1\nPort=3307\nUser=root\nPass=%2\n");
    return text.arg(type, pass).toUtf8();
}

class TestServerChoice : public QObject
{
    Q_OBJECT
private slots:
    void choice_data()
    {
        AddScenarioColumns();
        const QByteArray a = "[Database]\nServer1=a\n";
        const Act typeS = [](Window& w) { AfterConnection(w); Type(w->m_serverCombo, "s"); };
        const Act typeDb1 = [](Window& w) { AfterConnection(w); Type(w->m_serverCombo, "db1\t"); };
        const Act chooseDb9 = [](Window& w) { w->m_kind = 0; Choose(w->m_serverCombo, 0); };
        const QStringList db9 = {"trace=选择服务器: db9", "fields=3307|root|s3cret||"};
        Scenario("letter_typed", a, typeS,
                 {"trace=", "kind=2", "lists=1,1,1",
                  "enabled=1000 1001 1002 1003 1004 1006 1013 1014 1015 1017 1020 1021 1030"});
        Scenario("typed_server_applied", a, typeDb1,
                 {"trace=输入服务器: db1", "kind=1", "fields=||||", "lists=0,0,0",
                  "enabled=1000 1004 1006 1013 1014 1015 1017 1020 1021", "ini:db1/Type=<missing>"});
        Scenario("typed_history_name_stays_typed", "[Database]\nServer1=db1\n[db1]\nType=MySQL\nPort=3307\n", typeDb1,
                 {"trace=输入服务器: db1", "kind=1", "fields=||||"});
        Scenario("backspace_applies_nothing", "[Database]\nServer1=host1\n", [](Window& w) {
            w->m_serverCombo->setCurrentIndex(0);
            Focus(w->m_serverCombo);
            Key(Qt::Key_End);
            Keys("\b\t");
        }, {"server=host", "trace=", "enabled=1000 1006"});
        Scenario("history_mysql", HistoryEntry("mysql"), chooseDb9, db9 + QStringList{"kind=2", "kindBox=mysql"});
        Scenario("history_MYSQL", HistoryEntry("MYSQL"), chooseDb9, db9 + QStringList{"kind=2", "kindBox=MYSQL"});
        Scenario("history_sqlserver", HistoryEntry("SQLServer"), chooseDb9,
                 db9 + QStringList{"kind=1", "kindBox=SQLServer"});
        Scenario("history_section_missing", "[Database]\nServer1=db9\n", chooseDb9,
                 {"kind=1", "ini:db9/Type=", "ini:db9/Port=", "ini:db9/User=", "ini:db9/Pass="});
        Scenario("kind_mysql_chosen", {}, [](Window& w) { TypePort(w); Choose(w->m_kindCombo, 1); },
                 {"kind=2", "fields=3306||||"});
        Scenario("kind_sqlserver_chosen", {}, [](Window& w) { TypePort(w); Choose(w->m_kindCombo, 0); },
                 {"kind=1", "fields=1433||||"});
        Scenario("kind_typed_is_no_choice", {}, [](Window& w) { TypePort(w); Type(w->m_kindCombo, "MySQL\t"); },
                 {"kind=0", "fields=4711||||"});
    }
    void choice() { RunScenario(); }
};

QTEST_MAIN(TestServerChoice)
#include "TestServerChoice.moc"
