#include "ExportDriving.h"
#include "MySqlWindow.h"

#include "catalog/CatalogRows.h"
#include "support/TcpRelay.h"
#include "ui/StatusLabel.h"

#include <QTcpServer>

// Connecting and browsing through the window against the private MariaDB.
// Lists are checked as "name|description" rows; columns as their shown cells.

class TestBrowseMySql : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    const QString m_quoted = QStringLiteral("Tom's 数据库\\x");

private slots:
    void initTestCase()
    {
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        Run(m_admin, "create database vel_browse");
        Run(m_admin, "create table vel_browse.orders (id int) comment '订单表'");
        Run(m_admin, "create table vel_browse.Customers (id int) comment 'Customers'");
        Run(m_admin, "create table vel_browse.z_types ("
                     "id int not null auto_increment primary key comment '编号',"
                     "t text, mt mediumtext, lt longtext, tt tinytext, b blob, mb mediumblob, lb longblob,"
                     "amount decimal(10,2) null, note varchar(20) not null default 'x' comment '备注 ') ");
        Run(m_admin, "create table vel_browse.bare (k int)");
        QString wide = "create table vel_browse.wide (c0 int";
        for (int i = 1; i < 400; ++i)
            wide += QStringLiteral(", c%1 int comment '%2'").arg(i).arg(QString(120, u'w'));
        Run(m_admin, wide + ")");
        Run(m_admin, u"create database `Tom's 数据库\\x`"_qs);
        Run(m_admin, u"create table `Tom's 数据库\\x`.`it's` (id int) comment '引号''s'"_qs);
        Run(m_admin, "create database vel_empty");
        Run(m_admin, u"create user '用户'@'127.0.0.1' identified by '密码pw'"_qs);
        Run(m_admin, u"grant all on `Tom's 数据库\\\\x`.* to '用户'@'127.0.0.1'"_qs);
    }
    void cleanupTestCase()
    {
        for (const char* db : {"vel_browse", "vel_empty"})
            m_admin.Query(std::string("drop database if exists ") + db);
        m_admin.Query(ToMySql(u"drop database if exists `Tom's 数据库\\x`"_qs));
        m_admin.Query(ToMySql(u"drop user if exists '用户'@'127.0.0.1'"_qs));
    }

    void connectFailures_data()
    {
        QTest::addColumn<QStringList>("login"); // host, port, password, the message
        QTest::newRow("wrong_password") << QStringList{Server().host, Server().port, "nope",
                                                       "警告|0x30|打开数据库失败...\n1045 : Access denied for user"};
        QTcpServer closed; // a port that was free a moment ago
        closed.listen(QHostAddress::LocalHost);
        const QString refused = QString::number(closed.serverPort());
        closed.close();
        QTest::newRow("refused_port") << QStringList{Server().host, refused, Server().password,
                                                     "警告|0x30|打开数据库失败...\n2002 : "};
        QTest::newRow("empty_server") << QStringList{"", "", "", "提示|0x40|未输入服务器，或服务器选择错误。"};
    }
    void connectFailures()
    {
        QFETCH(QStringList, login);
        const QString host = login[0], message = login[3];
        Window w;
        if (host.isEmpty()) {
            w->EnableConnectionControls(true);
            w->m_kind = 2;
            QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
            QTRY_VERIFY(!w->WorkerRunning());
        } else {
            Connect(w, host, login[1], Server().user, login[2], 1);
        }
        QCOMPARE(w.messages.size(), 1);
        QVERIFY2(std::exchange(w.messages, {}).first().startsWith(message), qPrintable(message));
        QVERIFY(!w->m_statusLabel->isVisible());
        QCOMPARE(w->m_databaseList->topLevelItemCount(), 0);
        // An empty server leaves Connect off until a server is chosen or typed.
        const QStringList expected = host.isEmpty() ? QStringList{"1000", "1004", "1013", "1014", "1017"}
                                                    : QStringList{"1000", "1004", "1013", "1014", "1015", "1017"};
        QCOMPARE(Enabled(w), expected);
        QVERIFY(!QFile::exists("Pell.ini") || !QSettings("Pell.ini", QSettings::IniFormat).contains(host + "/Type"));
    }

    // Chinese in the database, the user and the password reach the server as
    // meant; the quote and backslash in the name hold in either quoting mode.
    void chineseUserAndDatabase()
    {
        for (const QString& mode : {u"default"_qs, u"'NO_BACKSLASH_ESCAPES'"_qs}) {
            Run(m_admin, u"set global sql_mode="_qs + mode);
            Window w;
            Connect(w, Server().host, Server().port, u"用户"_qs, u"密码pw"_qs, 1);
            QVERIFY(Rows(w->m_databaseList).contains(m_quoted));
            Click(w->m_databaseList, m_quoted);
            QCOMPARE(Rows(w->m_tableList), QStringList{u"it's|引号's"_qs});
            Click(w->m_tableList, u"it's"_qs);
            QCOMPARE(Rows(w->m_columnList), QStringList{u"id|int|10|0|√|||NULL|"_qs});
        }
        Run(m_admin, u"set global sql_mode=default"_qs);
    }

    // The database list and the controls after connecting, then listings. A
    // server that goes away between or during listings: a message, the lists
    // as they were, and the window works again once it is back.
    void tablesAndColumns()
    {
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        ConnectTestServer(w, relay.Port());
        const QStringList databases = Rows(w->m_databaseList);
        QVERIFY(databases.contains("vel_browse") && databases.contains(m_quoted) && databases.contains("mysql"));
        QVERIFY(!databases.join(',').contains("information_schema", Qt::CaseInsensitive));
        QCOMPARE(Text(w, 1007), QStringLiteral("数据库: %1").arg(databases.size()));
        QCOMPARE(Enabled(w), QStringList({"1000", "1001"}));
        QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible() && w->Control(1030)->isVisible());
        QTRY_VERIFY(w->m_databaseList->hasFocus());
        QCOMPARE(w->m_serverCombo->itemText(0), Server().host);
        Click(w->m_databaseList, "vel_browse");
        QCOMPARE(Rows(w->m_tableList), QStringList({"bare|", "Customers|Customers", "orders|订单表", "wide|", "z_types|"}));
        QCOMPARE(Text(w, 1008), QString("表: 5"));
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1030"}));
        QCOMPARE(w->m_tableRow, 0);

        Click(w->m_tableList, "orders");
        QCOMPARE(w.Edit(1022)->text(), QString("订单表"));
        Click(w->m_tableList, "z_types");
        QCOMPARE(w->m_table, QString("z_types"));
        QCOMPARE(Rows(w->m_columnList), QStringList({
            "id|int|10|0||√|√||编号", "t|text|64K||√|||NULL|", "mt|mediumtext|16M||√|||NULL|",
            "lt|longtext|4G||√|||NULL|", "tt|tinytext|255||√|||NULL|", "b|blob|64K||√|||NULL|",
            "mb|mediumblob|16M||√|||NULL|", "lb|longblob|4G||√|||NULL|", "amount|decimal|10|2|√|||NULL|",
            "note|varchar|20|||||'x'|备注 "}));
        QCOMPARE(Text(w, 1009), QString("字段: 10"));
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1022", "1030"}));
        QTRY_VERIFY(w.Edit(1022)->hasFocus());
        QCOMPARE(w->m_columnRow, 0);

        // The arrow keys walk the database list and list each database.
        const int row = RowOf(w->m_databaseList, "vel_browse");
        QTest::keyClick(w->m_databaseList, Qt::Key_Down);
        QCOMPARE(w->m_database, w->m_databaseList->topLevelItem(row + 1)->text(0));
        QTest::keyClick(w->m_databaseList, Qt::Key_Up);
        QCOMPARE(w->m_database, QString("vel_browse"));
        QCOMPARE(w->m_tableList->topLevelItemCount(), 5);

        Click(w->m_databaseList, "vel_empty");
        QCOMPARE(Rows(w->m_tableList), QStringList());
        QCOMPARE(Rows(w->m_columnList), QStringList());
        QCOMPARE(Text(w, 1008), QString("表: 0"));
        QCOMPARE(Enabled(w), QStringList({"1000", "1001", "1002", "1003", "1030"}));

        Click(w->m_databaseList, "vel_browse");
        relay.Cut();
        Click(w->m_tableList, "orders");
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith("警告|0x30|打开数据库失败...\n"));
        QCOMPARE(w.Edit(1022)->text(), QString("订单表"));
        QVERIFY(w.Edit(1022)->isEnabled() && !w->m_statusLabel->isVisible());

        relay.Resume();
        Click(w->m_tableList, "wide");
        QCOMPARE(w->m_columnList->topLevelItemCount(), 400);
        QTRY_VERIFY(relay.LargestServerBytes() > 40000); // the link closes after the rows are read
        relay.CutAfterServerBytes(relay.LargestServerBytes() / 2);
        Click(w->m_tableList, "z_types");
        Click(w->m_tableList, "wide");
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith("警告|0x30|查询失败...\n"));
        QVERIFY(w->m_columnList->updatesEnabled() && !w->m_progress->isVisible());

        relay.CutAfterServerBytes(0);
        Click(w->m_tableList, "orders");
        Click(w->m_tableList, "wide");
        QCOMPARE(w->m_columnList->topLevelItemCount(), 400);
    }

    // Exit while a step waits on a link that passes nothing: the program
    // ends within the exit bound with the settings file as it was, no other
    // click is acted on meanwhile, and a cut write landed whole or not at all.
    void exitWhileStalled_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("database_listing") << 0;
        QTest::newRow("table_listing") << 1;
        QTest::newRow("column_listing") << 2;
        QTest::newRow("column_write") << 3;
    }
    void exitWhileStalled()
    {
        QFETCH(int, step);
        TcpRelay relay(quint16(Server().port.toUInt()));
        Window w;
        QWidget* start = w->Control(1015);
        if (step == 0) {
            Retype(w->m_serverCombo, Server().host);
            QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
            PickKind(w, 1);
            Retype(w.Edit(1017), QString::number(relay.Port()));
            Retype(w.Edit(1013), Server().user);
            Retype(w.Edit(1014), Server().password);
        } else {
            ConnectTestServer(w, relay.Port());
        }
        if (step >= 2)
            Click(w->m_databaseList, "vel_browse");
        if (step == 3) {
            Click(w->m_tableList, "orders");
            Click(w->m_columnList, "id");
            Retype(w.Edit(1024), "cut short");
            start = w->Control(1020);
        }
        w->grab(); // painting the lists writes their colours' missing keys
        const QByteArray settings = ReadAll("Pell.ini");
        relay.SetStalled(true);
        QTimer::singleShot(0, w.dlg.get(), [&] {
            if (step == 0 || step == 3)
                QTest::mouseClick(start, Qt::LeftButton);
            else
                Click(step == 1 ? w->m_databaseList : w->m_tableList, step == 1 ? "vel_browse" : "orders");
        });
        QElapsedTimer exit;
        QTimer waiting;
        connect(&waiting, &QTimer::timeout, w.dlg.get(), [&] {
            if (!w->WorkerRunning() || exit.isValid())
                return;
            if (step > 0)
                Click(w->m_databaseList, "mysql");
            exit.start();
            // Through the top-level window, as the display delivers a click.
            QWidget* button = w->Control(1006);
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, button->mapTo(w.dlg.get(), button->rect().center()));
        });
        waiting.start(50);
        w->exec();
        QVERIFY2(exit.isValid() && exit.elapsed() < 2000, qPrintable(QString::number(exit.elapsed())));
        QVERIFY(!w->WorkerRunning() && !w->isVisible());
        QCOMPARE(ReadAll("Pell.ini"), settings);
        QCOMPARE(w->m_database, QString(step > 0 ? "vel_browse" : ""));
        CMySqlClient client;
        QVERIFY(ConnectClient(client));
        const CatalogRows comment = QueryMySqlRows(client, "select column_comment from information_schema.columns "
                                                           "where table_schema = 'vel_browse' and table_name = 'orders'", 1);
        QVERIFY(comment.rows.size() == 1 && QStringList({"", "cut short"}).contains(comment.rows[0][0]));
    }

    // A server that never answers: Connect fails within its bound, or Exit
    // closes at once and keeps nothing; meanwhile nothing else starts.
    void silentServer_data()
    {
        QTest::addColumn<bool>("exit");
        QTest::newRow("connect_timeout") << false;
        QTest::newRow("exit_while_waiting") << true;
    }
    void silentServer()
    {
        QFETCH(bool, exit);
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Window w;
        const QByteArray settings = ReadAll("Pell.ini");
        w->m_mysql.m_timeouts.connect = exit ? 60 : 1;
        Retype(w->m_serverCombo, Server().host);
        QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
        PickKind(w, 1);
        Retype(w.Edit(1017), QString::number(silent.serverPort()));
        QElapsedTimer waited;
        waited.start();
        w->OnConnect();
        QCOMPARE(Enabled(w), QStringList());
        w->OnConnect();
        w->OnItemChangedDatabaseList(0);
        QTRY_VERIFY(silent.hasPendingConnections() && w->WorkerRunning());
        if (exit)
            QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1006)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 10000);
        QVERIFY2(waited.elapsed() < (exit ? 2000 : 10000), qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(ReadAll("Pell.ini"), settings);
        QCOMPARE(std::exchange(w.messages, {}).join("").startsWith("警告|0x30|打开数据库失败...\n"), !exit);
    }

    // The history takes a server once, whatever its letter case. A long
    // server name comes back whole with its settings; choosing it adds no section.
    void historySurvivesRestart()
    {
        const QString host = "0x" + QString(90, u'0') + "7f000001"; // 127.0.0.1
        QByteArray settings;
        {
            Window w("[Database]\nServer1=db9\n");
            for (const QString& name : {QString("LocalHost"), QString("LOCALHOST"), host})
                Connect(w, name, Server().port, Server().user, Server().password, 1);
            QCOMPARE(w->m_serverCombo->count(), 3);
            settings = ReadAll("Pell.ini");
            QCOMPARE(CSettingsFile().Read("Pell.ini", "Database", "Server2", "?"), QString("LocalHost"));
            QVERIFY(!QSettings("Pell.ini", QSettings::IniFormat).contains("Database/Server4"));
        }
        Window w(settings);
        const QStringList sections = QSettings("Pell.ini", QSettings::IniFormat).childGroups();
        w->m_serverCombo->setCurrentIndex(0);
        emit w->m_serverCombo->activated(0);
        QCOMPARE(QStringList({w->m_serverCombo->itemText(0), w.Edit(1017)->text(), w.Edit(1013)->text(), w.Edit(1014)->text(), w->m_kindCombo->currentText()}),
                 QStringList({host, Server().port, Server().user, Server().password, "MySQL"}));
        QCOMPARE(QSettings("Pell.ini", QSettings::IniFormat).childGroups(), sections);
    }
};

QTEST_MAIN(TestBrowseMySql)
#include "TestBrowseMySql.moc"
