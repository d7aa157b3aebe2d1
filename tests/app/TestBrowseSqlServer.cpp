#include "ExportDriving.h"

#include "db/OdbcConnection.h"
#include "db/SqlServerConnectionString.h"
#include "support/TdsPeer.h"
#include "support/TdsStatements.h"
#include "ui/StatusLabel.h"

// Connecting and browsing through the window, over unixODBC and FreeTDS, to
// the TDS peer. Lists are checked as their shown cells joined by '|'.

using namespace Qt::StringLiterals;

namespace {

const QString kHost = u"127.0.0.1"_s;
const QString kUser = u"velmora"_s;
const QString kPassword = u"Vel;mora{pw"_s; // only arrives when braced
const QString kLongTable = u"订单"_s.repeated(40) + u"x"_s.repeated(60); // past 100 characters
const QString kLongColumn = u"描述"_s.repeated(300);

TdsDatabaseDef Sales()
{
    // Several properties on one table; only a property that is not a
    // description on another; only column descriptions on a third.
    TdsTableDef orders{u"Orders"_s, {{u"MS_Description"_s, kLongTable + u"  "_s}, {u"Caption"_s, u"not shown"_s}}, {}};
    orders.columns = {
        TdsColumnDef::Declared(u"id"_s, u"int"_s).Key().Identity().Describe(u"编号"_s),
        TdsColumnDef::Declared(u"title"_s, u"nvarchar(50)"_s).Default(u"(N'无')"_s).Describe(u"it's 100%  "_s),
        TdsColumnDef::Declared(u"price"_s, u"decimal(12,3)"_s).NotNull().Default(u"((0))"_s),
        TdsColumnDef::Declared(u"notes"_s, u"ntext"_s),
        TdsColumnDef::Declared(u"body"_s, u"text"_s),
        TdsColumnDef::Declared(u"photo"_s, u"image"_s),
        TdsColumnDef::Declared(u"memo"_s, u"varchar(max)"_s).Describe(kLongColumn),
        TdsColumnDef::Declared(u"tag"_s, u"sql_variant"_s), // NULL precision and scale
        TdsColumnDef::Declared(u"qty"_s, u"smallint"_s),
    };
    orders.columns[3].properties[u"Caption"_s] = u"not a description"_s;
    TdsTableDef customers{u"Customers"_s, {{u"Owner"_s, u"sales team"_s}}, {}};
    customers.columns = {TdsColumnDef::Declared(u"name"_s, u"nvarchar(100)"_s).NotNull()};
    TdsTableDef lines{u"Lines"_s, {}, {TdsColumnDef::Declared(u"sku"_s, u"char(8)"_s).Describe(u"货号"_s)}};
    TdsTableDef log{u"客户 log  "_s, {}, {TdsColumnDef::Declared(u"at"_s, u"datetime"_s)}};
    return {u"Sales"_s, {orders, customers, lines, log}};
}

const QStringList kOrdersColumns = {
    u"id|int|10|0||√|√||编号"_s,
    u"title|nvarchar|50|0|√|||(N'无')|it's 100%"_s,
    u"price|decimal|12|3||||((0))|"_s,
    u"notes|ntext|1G|0|√||||"_s,
    u"body|text|2G|0|√||||"_s,
    u"photo|image|2G|0|√||||"_s,
    u"memo|varchar|MAX|0|√||||"_s + kLongColumn,
    u"tag|sql_variant||0|√||||"_s,
    u"qty|smallint|5|0|√||||"_s,
};

// A statement template with its %s slots filled, in order, as literal bodies.
QString Fill(QString statement, const QStringList& values)
{
    qsizetype at = 0;
    for (const QString& value : values) {
        const QString body = TdsStatements::EscapeLiteral(value);
        at = statement.indexOf(u"%s"_s, at);
        statement.replace(at, 2, body);
        at += body.size();
    }
    return statement;
}

// The controls a failed connection hands back.
const QStringList kConnectionControls = {u"1000"_s, u"1004"_s, u"1013"_s, u"1014"_s, u"1015"_s, u"1017"_s};

} // namespace

class TestBrowseSqlServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_odbcDir; // private driver registry: the machine's stays untouched
    CTdsPeer m_peer{kUser, kPassword};

    QString TracePath() const { return m_odbcDir.filePath(u"trace.log"_s); }

    // The window makes its ODBC environment when it starts, so drivers
    // registered here count from the next Window on. The driver manager logs
    // each call, the connection string among them; it reads that setting
    // only for the first environment of the process, so it is always on.
    void RegisterDrivers(const QStringList& names)
    {
        QFile::remove(TracePath());
        QVERIFY(RegisterOdbcDrivers(m_odbcDir.path(), names, TracePath()));
    }
    QString Trace() const
    {
        QFile file(TracePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Types a new server, picks SQL Server in the kind box when asked, types
    // the port unless it is null, then user and password, and presses Connect.
    static void Connect(Window& w, const QString& port, const QString& password = kPassword, bool pickKind = true)
    {
        Retype(w->m_serverCombo, kHost);
        QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
        if (pickKind)
            PickKind(w, 0);
        if (!port.isNull())
            Retype(w.Edit(1017), port);
        Retype(w.Edit(1013), kUser);
        Retype(w.Edit(1014), password);
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
    }
    void Connect(Window& w) { Connect(w, QString::number(m_peer.Port())); }

    QStringList BatchTexts() const
    {
        QStringList texts;
        for (const TdsBatch& batch : m_peer.Batches())
            texts << batch.text;
        return texts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_odbcDir.isValid() && UsePrivateOdbc(m_odbcDir.path()));
        QVERIFY(m_peer.Start());
    }
    void init()
    {
        RegisterDrivers({u"FreeTDS"_s});
        m_peer.SetCredentials(kUser, kPassword);
        m_peer.ResetCatalog();
        m_peer.AddDatabase(Sales());
        m_peer.AddDatabase({u"Archive  "_s, {}});
        m_peer.SetDropAfterRows(-1);
        m_peer.SetReplyDelay(0);
        m_peer.SetTds71(false);
        m_peer.ClearLog();
    }

    // The probe alone decides between the two catalogs, whatever the kind
    // box says; the system databases stay out, blanks at the end go.
    void connectListsDatabases_data()
    {
        QTest::addColumn<int>("catalog");
        QTest::addColumn<bool>("pickKind");
        QTest::newRow("sysproperties_kind_box_sqlserver") << 0 << true;
        QTest::newRow("sysproperties_typed_server") << 0 << false;
        QTest::newRow("extended_properties") << 1 << true;
    }
    void connectListsDatabases()
    {
        QFETCH(int, catalog);
        QFETCH(bool, pickKind);
        m_peer.SetCatalogKind(catalog);
        m_peer.SetTds71(catalog == 0); // sysproperties means SQL Server 2000
        Window w;
        const QString port = QString::number(m_peer.Port());
        Connect(w, port, kPassword, pickKind);
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(w->m_kind, catalog);
        QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
        QCOMPARE(Text(w, 1007), u"数据库: 2"_s);
        QCOMPARE(Enabled(w), (QStringList{u"1000"_s, u"1001"_s}));
        QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible());
        QCOMPARE(m_peer.Logins().size(), size_t{1});
        QCOMPARE(m_peer.Logins().front().database, u"master"_s);
        QCOMPARE(BatchTexts(), (QStringList{TdsStatements::Probe(), TdsStatements::Databases()}));

        CSettingsFile settings;
        QCOMPARE(settings.Read("Pell.ini", kHost, "Type", "?"), u"SQLServer"_s);
        QCOMPARE(settings.Read("Pell.ini", kHost, "Port", "?"), port);
        QCOMPARE(settings.Read("Pell.ini", kHost, "User", "?"), kUser);
        QCOMPARE(CPasswordCodec().Decode(settings.Read("Pell.ini", kHost, "Pass", "?"), CPasswordCodec::kSeed),
                 kPassword);
        QCOMPARE(settings.Read("Pell.ini", "Database", "Server1", "?"), kHost);
    }

    // The stored server, chosen again in a later session, connects with what
    // was stored; its Type=SQLServer does not decide the catalog either.
    void storedServerConnectsAgain()
    {
        QByteArray stored;
        {
            Window first;
            Connect(first);
            QFile file(u"Pell.ini"_s);
            QVERIFY(file.open(QIODevice::ReadOnly));
            stored = file.readAll();
        }
        m_peer.SetCatalogKind(0);
        m_peer.SetTds71(true);
        m_peer.ClearLog();
        Window w(stored);
        QCOMPARE(w->m_serverCombo->itemText(0), kHost);
        w->m_serverCombo->setCurrentIndex(0);
        emit w->m_serverCombo->activated(0);
        QCOMPARE(w.Edit(1017)->text(), QString::number(m_peer.Port()));
        QCOMPARE(w.Edit(1014)->text(), kPassword);
        QCOMPARE(w->m_kindCombo->currentText(), u"SQLServer"_s);
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
        QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
        QCOMPARE(w->m_kind, 0);
        QCOMPARE(m_peer.Logins().size(), size_t{1});
        // Exit closes a connection left open.
        QVERIFY(w->OpenConnection(kHost, QString::number(m_peer.Port()), u"Sales"_s, kUser, kPassword));
        QTRY_COMPARE(m_peer.Sessions(), size_t{1});
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1006)), Qt::LeftButton);
        QTRY_COMPARE(m_peer.Sessions(), size_t{0});
    }

    // The port reaches the driver as Server=host,port; an empty one as 1433,
    // where nothing listens here, so the peer sees no login.
    void portInConnectionString_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed_port") << true;
        QTest::newRow("empty_port_means_1433") << false;
    }
    void portInConnectionString()
    {
        QFETCH(bool, typed);
        Window w;
        Connect(w, typed ? QString::number(m_peer.Port()) : QString(), kPassword, false);
        QCOMPARE(w.Edit(1017)->text(), typed ? QString::number(m_peer.Port()) : QString());
        const QString server = u"Server=%1,%2;"_s.arg(kHost, typed ? QString::number(m_peer.Port()) : u"1433"_s);
        QVERIFY2(Trace().contains(server), qPrintable(Trace().left(4000)));
        QCOMPARE(m_peer.Logins().size(), size_t{typed ? 1u : 0u});
        if (typed) {
            QCOMPARE(w->m_databaseList->topLevelItemCount(), 2);
        } else {
            QCOMPARE(w.messages.size(), 1);
            QVERIFY2(std::exchange(w.messages, {}).front().startsWith(u"警告|0x30|[FreeTDS]"_s), "");
            QCOMPARE(Enabled(w), kConnectionControls);
        }
    }

    // What the driver and the server said, unchanged, and nothing stored.
    void wrongPasswordShowsServerText()
    {
        const QString wrong = u"vel;mora{pw"_s;
        QString direct;
        {
            auto connection = COdbcConnection::Create();
            QVERIFY(connection);
            const SqlServerConnectionString built = BuildSqlServerConnectionString(
                u"FreeTDS"_s, kHost, QString::number(m_peer.Port()), u"master"_s, kUser, wrong);
            try {
                connection->Open(built.text);
            } catch (const COdbcError& error) {
                direct = error.Description();
            }
        }
        QVERIFY2(direct.contains(u"[FreeTDS][SQL Server]Login failed for user 'velmora'."_s), qPrintable(direct));
        m_peer.ClearLog();

        Window w;
        Connect(w, QString::number(m_peer.Port()), wrong);
        QCOMPARE(std::exchange(w.messages, {}), QStringList{u"警告|0x30|"_s + direct});
        QCOMPARE(m_peer.Logins().size(), size_t{1});
        QVERIFY(!m_peer.Logins().front().accepted);
        QCOMPARE(w->m_databaseList->topLevelItemCount(), 0);
        QVERIFY(!w->m_statusLabel->isVisible());
        QCOMPARE(Enabled(w), kConnectionControls);
        QVERIFY(!QSettings(u"Pell.ini"_s, QSettings::IniFormat).contains(kHost + u"/Type"_s));
    }

    void tablesAndColumns_data()
    {
        QTest::addColumn<int>("catalog");
        QTest::newRow("sysproperties") << 0;
        QTest::newRow("extended_properties") << 1;
    }
    void tablesAndColumns()
    {
        QFETCH(int, catalog);
        m_peer.SetCatalogKind(catalog);
        m_peer.SetTds71(catalog == 0);
        Window w;
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        QCOMPARE(Rows(w->m_tableList), (QStringList{u"Customers|"_s, u"Lines|"_s, u"Orders|"_s + kLongTable,
                                                    u"客户 log|"_s}));
        QCOMPARE(Text(w, 1008), u"表: 4"_s);
        QCOMPARE(m_peer.Batches().back().database, u"Sales"_s);
        QCOMPARE(m_peer.Batches().back().text, TdsStatements::Tables(catalog));

        Click(w->m_tableList, u"Orders"_s);
        QCOMPARE(w.Edit(1022)->text(), kLongTable);
        QCOMPARE(Rows(w->m_columnList), kOrdersColumns);
        QCOMPARE(Text(w, 1009), u"字段: 9"_s);
        QCOMPARE(Enabled(w), (QStringList{u"1000"_s, u"1001"_s, u"1002"_s, u"1003"_s, u"1022"_s, u"1030"_s}));
        QCOMPARE(m_peer.Batches().back().text, TdsStatements::Columns(catalog, u"Orders"_s));

        Click(w->m_tableList, u"Lines"_s);
        QCOMPARE(Rows(w->m_columnList), QStringList{u"sku|char|8|0|√||||货号"_s});
        Click(w->m_tableList, u"客户 log"_s);
        QCOMPARE(Rows(w->m_columnList), QStringList{u"at|datetime|23|3|√||||"_s});
        QCOMPARE(w->m_kind, catalog);

        Click(w->m_databaseList, u"Archive"_s);
        QCOMPARE(Rows(w->m_tableList), QStringList());
        QCOMPARE(Rows(w->m_columnList), QStringList());
        QCOMPARE(Text(w, 1008), u"表: 0"_s);
    }

    // The peer closes the connection in the middle of a result: a message,
    // the controls back, and the next listing works.
    void droppedConnection_data()
    {
        QTest::addColumn<QString>("listing");
        QTest::newRow("databases") << u"databases"_s;
        QTest::newRow("tables") << u"tables"_s;
        QTest::newRow("columns_in_long_row") << u"columns"_s;
    }
    void droppedConnection()
    {
        QFETCH(QString, listing);
        Window w;
        const auto expectDropMessage = [&w] {
            QCOMPARE(w.messages.size(), 1);
            const QString message = std::exchange(w.messages, {}).front();
            QVERIFY2(message.startsWith(u"警告|0x30|"_s) && message.contains(u"Unexpected EOF from the server"_s),
                     qPrintable(message));
            QVERIFY(!w->m_statusLabel->isVisible() && !w->m_progress->isVisible());
        };
        if (listing == u"databases") {
            m_peer.SetDropAfterRows(1);
            Connect(w);
            expectDropMessage();
            QCOMPARE(w->m_databaseList->topLevelItemCount(), 0);
            QCOMPARE(Enabled(w), kConnectionControls);
            QVERIFY(!QSettings(u"Pell.ini"_s, QSettings::IniFormat).contains(kHost + u"/Type"_s));
            m_peer.SetDropAfterRows(-1);
            QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
            QTRY_VERIFY(!w->WorkerRunning());
            QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
            return;
        }
        Connect(w);
        if (listing == u"tables") {
            m_peer.SetDropAfterRows(1);
            Click(w->m_databaseList, u"Sales"_s);
            expectDropMessage();
            QCOMPARE(Enabled(w), (QStringList{u"1000"_s, u"1001"_s}));
            m_peer.SetDropAfterRows(-1);
            Click(w->m_databaseList, u"Archive"_s);
            Click(w->m_databaseList, u"Sales"_s);
            QCOMPARE(w->m_tableList->topLevelItemCount(), 4);
        } else {
            Click(w->m_databaseList, u"Sales"_s);
            Click(w->m_tableList, u"Customers"_s);
            const QStringList before = Enabled(w);
            m_peer.SetDropAfterRows(6); // cut inside the long description
            Click(w->m_tableList, u"Orders"_s);
            expectDropMessage();
            QCOMPARE(Enabled(w), before);
            QVERIFY(w->m_columnList->updatesEnabled());
            m_peer.SetDropAfterRows(-1);
            Click(w->m_tableList, u"Lines"_s);
            Click(w->m_tableList, u"Orders"_s);
            QCOMPARE(Rows(w->m_columnList), kOrdersColumns);
        }
    }

    // While the worker waits on a slow server, another press starts nothing.
    void secondPressWhileConnecting()
    {
        m_peer.SetReplyDelay(300);
        Window w;
        Retype(w->m_serverCombo, kHost);
        QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
        Retype(w.Edit(1017), QString::number(m_peer.Port()));
        Retype(w.Edit(1013), kUser);
        Retype(w.Edit(1014), kPassword);
        QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1015)), Qt::LeftButton);
        QTRY_VERIFY(w->m_statusLabel->isVisible());
        QVERIFY(w->WorkerRunning());
        w->OnConnect(); // Enter in a field arrives here even with the button off
        QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(m_peer.Logins().size(), size_t{1});
        QCOMPARE(m_peer.Batches().size(), size_t{2});
        QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
    }

    // A driver registered as "SQL Server" is preferred; FreeTDS's own name
    // otherwise. Either way the window reaches the peer.
    void driverChoice_data()
    {
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("freetds_only") << QStringList{u"FreeTDS"_s} << u"FreeTDS"_s;
        QTest::newRow("both_prefers_sql_server") << QStringList{u"FreeTDS"_s, u"SQL Server"_s} << u"SQL Server"_s;
    }
    void driverChoice()
    {
        QFETCH(QStringList, registered);
        QFETCH(QString, chosen);
        RegisterDrivers(registered);
        Window w;
        Connect(w);
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(Rows(w->m_databaseList), (QStringList{u"Archive"_s, u"Sales"_s}));
        QVERIFY2(Trace().contains(u"Driver=%1;"_s.arg(chosen)), qPrintable(Trace().left(4000)));
        Click(w->m_databaseList, u"Sales"_s);
        QCOMPARE(w->m_tableList->topLevelItemCount(), 4);
    }

    // Each description goes in as added when the list showed none, else as
    // updated, and lands in the peer's catalog exactly as typed.
    void descriptionsLandAsTyped_data()
    {
        QTest::addColumn<int>("catalog");
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophes") << 0 << u"it's Bob''s 'table'"_s;
        QTest::newRow("percent_signs") << 1 << u"100% of %s and %1 %d"_s;
        QTest::newRow("chinese") << 1 << u"客户订单表，含√与‘引号’"_s;
    }
    void descriptionsLandAsTyped()
    {
        QFETCH(int, catalog);
        QFETCH(QString, text);
        m_peer.SetCatalogKind(catalog);
        m_peer.SetTds71(catalog == 0);
        const TdsStatements::PropertyTemplates sent = TdsStatements::PropertyTemplates::Default();
        Window w;
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        const auto write = [&w, this](const QString& table, const QString& column, const QString& value,
                                      const QString& statement) {
            Click(w->m_tableList, table);
            const int field = column.isEmpty() ? 1022 : 1024;
            if (!column.isEmpty())
                Click(w->m_columnList, column);
            Retype(w.Edit(field), value);
            m_peer.ClearLog();
            QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(field == 1022 ? 1021 : 1020)), Qt::LeftButton);
            QCOMPARE(w.messages, QStringList());
            QVERIFY(!w->Control(field == 1022 ? 1021 : 1020)->isEnabled() && !w->m_statusLabel->isVisible());
            QCOMPARE(m_peer.Batches().size(), size_t{1});
            QCOMPARE(m_peer.Batches().front().database, u"Sales"_s);
            QCOMPARE(m_peer.Batches().front().text, statement);
        };
        write(u"Customers"_s, {}, text, Fill(sent.addTable, {text, u"Customers"_s}));
        QCOMPARE(Rows(w->m_tableList).first(), u"Customers|"_s + text);
        write(u"Orders"_s, {}, text + u"!"_s, Fill(sent.updateTable, {text + u"!"_s, u"Orders"_s}));
        write(u"Orders"_s, u"price"_s, text, Fill(sent.addColumn, {text, u"Orders"_s, u"price"_s}));
        write(u"Orders"_s, u"title"_s, text + u"?"_s, Fill(sent.updateColumn, {text + u"?"_s, u"Orders"_s, u"title"_s}));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_peer.Table(u"Sales"_s, u"Customers"_s)->Description(), text);
        const TdsTableDef orders = *m_peer.Table(u"Sales"_s, u"Orders"_s);
        QCOMPARE(orders.Description(), text + u"!"_s);
        QCOMPARE(orders.properties.value(u"Caption"_s), u"not shown"_s);
        QCOMPARE(orders.columns[2].properties.value(u"MS_Description"_s), text);
        QCOMPARE(orders.columns[1].properties.value(u"MS_Description"_s), text + u"?"_s);
        // Listed again, the server's text is what the list shows.
        Click(w->m_tableList, u"Lines"_s);
        Click(w->m_tableList, u"Orders"_s);
        QCOMPARE(Rows(w->m_columnList).mid(1, 2),
                 (QStringList{u"title|nvarchar|50|0|√|||(N'无')|"_s + text + u"?"_s,
                              u"price|decimal|12|3||||((0))|"_s + text}));
    }
    // The server refuses what changed since the listing, or the link drops:
    // the server's or the driver's text, the button still on, the lists
    // unchanged; once the link is back the same press writes.
    void updateRefusedOrCut_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("added_meanwhile") << u"Customers"_s << QString() << u"add"_s
            << u"Property cannot be added. Property 'MS_Description' already exists for 'dbo.Customers'."_s;
        QTest::newRow("removed_meanwhile") << u"Orders"_s << u"id"_s << u"remove"_s
            << u"Property cannot be updated or deleted. Property 'MS_Description' does not exist for 'dbo.Orders.id'."_s;
        QTest::newRow("table_link_dropped") << u"Orders"_s << QString() << u"drop"_s << u"[FreeTDS]"_s;
        QTest::newRow("column_link_dropped") << u"Orders"_s << u"price"_s << u"drop"_s << u"[FreeTDS]"_s;
    }
    void updateRefusedOrCut()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, change);
        QFETCH(QString, message);
        Window w;
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        Click(w->m_tableList, table);
        if (!column.isEmpty())
            Click(w->m_columnList, column);
        const int field = column.isEmpty() ? 1022 : 1024;
        QPushButton* button = qobject_cast<QPushButton*>(w->Control(field == 1022 ? 1021 : 1020));
        Retype(w.Edit(field), u"ours"_s);
        const QStringList tables = Rows(w->m_tableList), columns = Rows(w->m_columnList);
        TdsDatabaseDef sales = Sales();
        if (change == u"add")
            sales.tables[1].properties[u"MS_Description"_s] = u"theirs"_s;
        else if (change == u"remove")
            sales.tables[0].columns[0].properties.remove(u"MS_Description"_s);
        m_peer.AddDatabase(sales);
        if (change == u"drop")
            m_peer.DropNextBatch();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(w.messages.size(), 1);
        const QString shown = std::exchange(w.messages, {}).front();
        QVERIFY2(shown.startsWith(u"警告|0x30|"_s) && shown.contains(message), qPrintable(shown));
        QVERIFY(button->isEnabled() && !w->m_statusLabel->isVisible());
        QCOMPARE(w.Edit(field)->text(), u"ours"_s);
        QCOMPARE(Rows(w->m_tableList), tables);
        QCOMPARE(Rows(w->m_columnList), columns);
        if (change != u"drop")
            return;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(w.messages, QStringList());
        const TdsTableDef written = *m_peer.Table(u"Sales"_s, table);
        QCOMPARE(column.isEmpty() ? written.Description().value_or(QString())
                                  : written.columns[2].properties.value(u"MS_Description"_s),
                 u"ours"_s);
    }

    // All tables, then one while the list is filled, byte for byte: lengths
    // shown as in the list, trailing blanks gone, long text whole.
    void exportFiles()
    {
        QTemporaryDir out;
        const QString path = out.filePath(u"sales.txt"_s);
        Window w;
        QString offered;
        AnswerExport(w, path, &offered);
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        Export(w);
        QCOMPARE(offered, kHost + u"-Sales"_s);
        QStringList orders;
        for (const QString& row : kOrdersColumns)
            orders << u"Orders\t"_s + QString(row).replace(u'|', u'\t');
        QCOMPARE(ReadAll(path), Utf16File(QStringList{kHeader, u"Customers\tname\tnvarchar\t100\t0\t\t\t\t\t"_s,
                                                      u"Lines\tsku\tchar\t8\t0\t√\t\t\t\t货号"_s}
                                          + orders + QStringList{u"客户 log\tat\tdatetime\t23\t3\t√\t\t\t\t"_s}));
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));

        Click(w->m_tableList, u"Orders"_s);
        m_peer.ClearLog();
        Export(w);
        QCOMPARE(offered, kHost + u"-Sales-Orders"_s);
        QCOMPARE(ReadAll(path), Utf16File(QStringList{kHeader} + orders));
        QCOMPARE(BatchTexts(), QStringList{TdsStatements::Columns(1, u"Orders"_s)});
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));
    }

    // The link drops in the middle of the third table: the tables not
    // written are named, the old file stays, and the next export succeeds.
    void exportCutKeepsOldFile()
    {
        QTemporaryDir out;
        const QString path = out.filePath(u"sales.txt"_s);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        }
        Window w;
        AnswerExport(w, path);
        Connect(w);
        Click(w->m_databaseList, u"Sales"_s);
        m_peer.SetDropAfterRows(1); // the one-column tables pass whole
        Export(w);
        const QStringList shown = std::exchange(w.messages, {});
        // One message for the lost link, none for each table after it.
        QVERIFY2(shown.size() == 4 && shown[2].contains(u"Unexpected EOF from the server"_s), qPrintable(shown.join(u'\n')));
        QCOMPARE(shown[3], u"警告|0x30|文件未写入: %1\n2 个表未能导出: Orders、客户 log"_s.arg(path));
        QCOMPARE(ReadAll(path), QByteArray("old"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"sales.txt"_s});
        QVERIFY(w->Control(1030)->isEnabled() && w->m_tableList->isEnabled() && !w->m_progress->isVisible());

        m_peer.SetDropAfterRows(-1);
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).last(), Success(path));
        QVERIFY(ReadAll(path).startsWith("\xFF\xFE"));
    }

    void cleanupTestCase() { m_peer.Stop(); }
};

QTEST_MAIN(TestBrowseSqlServer)
#include "TestBrowseSqlServer.moc"
