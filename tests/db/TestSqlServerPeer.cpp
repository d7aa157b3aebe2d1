#include "catalog/CatalogQuery.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "support/TdsPeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kUser = u"velmora"_s;
const QString kPassword = u"Vel;mora{pw"_s; // only arrives when braced
const QString kDatabase = u"Sales"_s;
const QString kLongText = u"描述"_s.repeated(1500); // 6000 bytes: spans packets both ways

QString DescriptionOf(const std::function<void()>& call)
{
    try {
        call();
        return u"<no error>"_s;
    } catch (const COdbcError& error) {
        return error.Description();
    }
}

// The description statements as the program sends them: every literal N'...'
// with its quotes doubled.
QString Literal(const QString& text)
{
    return u"N'"_s + QString(text).replace(u'\'', u"''"_s) + u'\'';
}
QString DescribeTable(bool add, const QString& text, const QString& table)
{
    return u"EXEC "_s + (add ? u"sp_addextendedproperty"_s : u"sp_updateextendedproperty"_s)
        + u" N'MS_Description',"_s + Literal(text) + u",N'USER',N'dbo',N'TABLE',"_s + Literal(table);
}
QString DescribeColumn(bool add, const QString& text, const QString& table, const QString& column)
{
    return DescribeTable(add, text, table) + u",N'COLUMN',"_s + Literal(column);
}

TdsDatabaseDef SalesDatabase()
{
    TdsTableDef orders{u"Orders"_s, {{u"MS_Description"_s, u"订单 it's 100%  "_s}, {u"Caption"_s, u"not shown"_s}}, {}};
    orders.columns = {
        TdsColumnDef::Declared(u"id"_s, u"int"_s).Key().Identity().Describe(u"编号"_s),
        TdsColumnDef::Declared(u"title"_s, u"nvarchar(50)"_s).Default(u"(N'无')"_s).Describe(u"it's \"title\""_s),
        TdsColumnDef::Declared(u"price"_s, u"decimal(12,3)"_s).NotNull().Default(u"((0))"_s),
        TdsColumnDef::Declared(u"notes"_s, u"ntext"_s),
        TdsColumnDef::Declared(u"body"_s, u"text"_s),
        TdsColumnDef::Declared(u"photo"_s, u"image"_s),
        TdsColumnDef::Declared(u"memo"_s, u"varchar(max)"_s).Describe(kLongText),
        TdsColumnDef::Declared(u"tag"_s, u"sql_variant"_s), // COLUMNPROPERTY gives NULL for both
    };
    orders.columns[3].properties[u"Caption"_s] = u"not a description"_s;
    TdsTableDef customers{u"Customers"_s, {{u"Owner"_s, u"sales team"_s}}, {}};
    customers.columns = {TdsColumnDef::Declared(u"name"_s, u"nvarchar(100)"_s).NotNull()};
    return {kDatabase, {orders, customers, {u"客户 log"_s, {}, {TdsColumnDef::Declared(u"at"_s, u"datetime"_s)}}}};
}

} // namespace

// The SQL Server road through the real unixODBC and FreeTDS to the TDS peer.
class TestSqlServerPeer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_odbcDir; // private driver registry: the machine's stays untouched
    CTdsPeer m_peer{kUser, kPassword};

    void RegisterDrivers(const QStringList& names)
    {
        QFile file(m_odbcDir.filePath(u"odbcinst.ini"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const QString& name : names)
            file.write(u"[%1]\nDescription=test\nDriver=libtdsodbc.so\n\n"_s.arg(name).toUtf8());
    }
    QString ConnectionString(const QString& database, const QString& password = kPassword,
                             const QString& driver = u"FreeTDS"_s) const
    {
        const SqlServerConnectionString built = BuildSqlServerConnectionString(
            driver, u"127.0.0.1"_s, QString::number(m_peer.Port()), database, kUser, password);
        return built.text;
    }
    // Null, with the reason in the log, when the connection fails.
    std::unique_ptr<COdbcConnection> Connect(const QString& database = kDatabase)
    {
        auto connection = COdbcConnection::Create();
        const QString error = DescriptionOf([&] { connection->Open(ConnectionString(database)); });
        if (error == u"<no error>")
            return connection;
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    // Rows of a statement, the named fields joined by '|'; a failure is the
    // one row "error: " and its description, so a comparison shows it.
    static QStringList Rows(COdbcConnection& connection, const QString& statement, const QStringList& fields)
    {
        QStringList seen;
        const QString error = DescriptionOf([&] {
            COdbcRecordset rows;
            rows.Open(statement, connection);
            for (; !rows.IsEOF(); rows.MoveNext()) {
                QStringList values;
                for (const QString& field : fields)
                    values << rows.Collect(field);
                seen << values.join(u'|');
            }
        });
        return error == u"<no error>" ? seen : QStringList{u"error: "_s + error};
    }
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
        QVERIFY(m_odbcDir.isValid());
        // Set before the first ODBC call; FreeTDS reads its own config too.
        qputenv("ODBCSYSINI", m_odbcDir.path().toLocal8Bit());
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("ODBCINI", m_odbcDir.filePath(u"odbc.ini"_s).toLocal8Bit());
        QFile freetds(m_odbcDir.filePath(u"freetds.conf"_s));
        QVERIFY(freetds.open(QIODevice::WriteOnly) && freetds.write("[global]\n") > 0);
        freetds.close();
        qputenv("FREETDSCONF", freetds.fileName().toLocal8Bit());
        RegisterDrivers({u"FreeTDS"_s});
        QVERIFY(m_peer.Start());
    }
    void init()
    {
        m_peer.SetCredentials(kUser, kPassword);
        m_peer.ResetCatalog();
        m_peer.AddDatabase(SalesDatabase());
        m_peer.SetDropAfterRows(-1);
        m_peer.SetReplyDelay(0);
        m_peer.SetTds71(false);
        m_peer.ClearLog();
    }

    void login_data()
    {
        QTest::addColumn<QString>("serverPassword");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("failure"); // empty: connects
        QTest::newRow("plain") << u"secret"_s << u"secret"_s << u"master"_s << QString();
        QTest::newRow("semicolon_and_brace") << kPassword << kPassword << kDatabase << QString();
        QTest::newRow("equals_blanks_chinese") << u" 密=码 "_s << u" 密=码 "_s << kDatabase << QString();
        QTest::newRow("wrong_password") << u"secret"_s << u"Secret"_s << u"master"_s
                                        << u"Login failed for user 'velmora'."_s;
        QTest::newRow("missing_database")
            << u"secret"_s << u"secret"_s << u"Nowhere"_s
            << u"Cannot open database \"Nowhere\" requested by the login. The login failed."_s;
    }
    void login()
    {
        QFETCH(QString, serverPassword);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, failure);
        m_peer.SetCredentials(kUser, serverPassword);
        auto connection = COdbcConnection::Create();
        const QString error = DescriptionOf([&] { connection->Open(ConnectionString(database, password)); });
        // One attempt in TDS 7.4: the driver read the whole string.
        const std::vector<TdsLoginRecord> logins = m_peer.Logins();
        QCOMPARE(logins.size(), size_t{1});
        QCOMPARE(logins[0].tdsVersion, 0x74000004u);
        QCOMPARE(logins[0].database, database);
        if (failure.isEmpty()) {
            QCOMPARE(error, u"<no error>"_s);
            QCOMPARE(connection->State(), 1);
            QCOMPARE(Rows(*connection, kCatalogProbe, {u""_s}).size(), 0);
            QCOMPARE(m_peer.Batches().at(0).database, database == u"master" ? u"master"_s : kDatabase);
        } else {
            QVERIFY2(error.contains(failure), qPrintable(error));
            QVERIFY2(error.contains(u"Login failed for user 'velmora'."_s), qPrintable(error));
            QCOMPARE(connection->State(), 0);
        }
    }

    void probeTellsCatalogKinds()
    {
        // sysproperties means SQL Server 2000, which answers in TDS 7.1.
        for (const int kind : {0, 1}) {
            m_peer.SetCatalogKind(kind);
            m_peer.SetTds71(kind == 0);
            auto connection = Connect(u"master"_s);
            QVERIFY(connection);
            COdbcRecordset probe;
            probe.Open(kCatalogProbe, *connection);
            QCOMPARE(probe.RecordCount(), kind == 0 ? 1 : 0);
        }
        QCOMPARE(BatchTexts(), QStringList(2, kCatalogProbe));
    }

    void catalogStatements_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("sysproperties") << 0;
        QTest::newRow("extended_properties") << 1;
    }
    void catalogStatements()
    {
        QFETCH(int, kind);
        m_peer.SetCatalogKind(kind);
        m_peer.SetTds71(kind == 0);
        m_peer.AddDatabase({u"distribution"_s, {}}); // replication's database is not left out
        m_peer.AddDatabase({u"Empty"_s, {}});
        auto master = Connect(u"master"_s);
        QVERIFY(master);
        QCOMPARE(Rows(*master, BuildCatalogQuery(kQueryDatabases, {}, {}, kind), {u"name"_s}),
                 (QStringList{kDatabase, u"distribution"_s, u"Empty"_s}));

        auto sales = Connect();
        QVERIFY(sales);
        // Trailing blanks arrive as sent; the window trims them. Other
        // properties neither hide a table nor pose as its description.
        QCOMPARE(Rows(*sales, BuildCatalogQuery(kQueryTables, {}, kDatabase, kind), {u"name"_s, u"extpro"_s}),
                 (QStringList{u"Orders|订单 it's 100%  "_s, u"Customers|"_s, u"客户 log|"_s}));

        const QStringList fields = {u"name"_s, u"type"_s, u"length"_s, u"dec"_s, u"null"_s,
                                    u"key"_s,  u"auto"_s, u"default"_s, u"desc"_s};
        QCOMPARE(Rows(*sales, BuildCatalogQuery(kQueryColumns, u"Orders"_s, kDatabase, kind), fields),
                 (QStringList{u"id|int|10|0||√|√||编号"_s, u"title|nvarchar|50|0|√|||(N'无')|it's \"title\""_s,
                              u"price|decimal|12|3||||((0))|"_s, u"notes|ntext|1073741823|0|√||||"_s,
                              u"body|text|2147483647|0|√||||"_s, u"photo|image|2147483647|0|√||||"_s,
                              u"memo|varchar|-1|0|√||||"_s + kLongText, u"tag|sql_variant||0|√||||"_s}));
        QCOMPARE(Rows(*sales, BuildCatalogQuery(kQueryColumns, u"客户 log"_s, kDatabase, kind), {u"type"_s}),
                 QStringList{u"datetime"_s});
        // A quote in a name is doubled, so the statement stays whole and finds nothing.
        QCOMPARE(Rows(*sales, BuildCatalogQuery(kQueryColumns, u"O'Brien"_s, kDatabase, kind), fields), QStringList());
        QCOMPARE(m_peer.Batches().back().text, BuildCatalogQuery(kQueryColumns, u"O'Brien"_s, kDatabase, kind));
    }

    void statementsOutsideTheProgramFail()
    {
        auto connection = Connect();
        QVERIFY(connection);
        // The other kind's table statement, a version query, a quote left alone.
        const QString drifted = BuildCatalogQuery(kQueryTables, {}, kDatabase, 0);
        for (const QString& statement :
             {drifted, u"SELECT @@VERSION"_s, DescribeTable(true, u"x"_s, u"Orders"_s).replace(u"N'x'"_s, u"N'it's'"_s)}) {
            const QString error = Rows(*connection, statement, {u"name"_s}).join(u'\n');
            QVERIFY2(error.startsWith(u"error: "_s) && error.contains(u"does not know the statement: "_s + statement),
                     qPrintable(error));
        }
    }

    void descriptionsLandExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophes") << u"it's Bob''s 'table'"_s;
        QTest::newRow("percent_signs") << u"100% of %s and %1 %d"_s;
        QTest::newRow("chinese_and_blanks") << u"  客户订单表，含√与‘引号’  "_s;
        QTest::newRow("long_spans_packets") << kLongText;
    }
    void descriptionsLandExactly()
    {
        QFETCH(QString, text);
        auto connection = Connect();
        QVERIFY(connection);
        connection->Execute(DescribeTable(true, text, u"Customers"_s));
        connection->Execute(DescribeColumn(false, text + u"!"_s, u"Orders"_s, u"title"_s));
        connection->Execute(DescribeColumn(true, text, u"Orders"_s, u"price"_s));
        QCOMPARE(m_peer.Table(kDatabase, u"Customers"_s)->Description(), text);
        const TdsTableDef orders = *m_peer.Table(kDatabase, u"Orders"_s);
        QCOMPARE(orders.columns[1].properties.value(u"MS_Description"_s), text + u"!"_s);
        QCOMPARE(orders.columns[2].properties.value(u"MS_Description"_s), text);
        QCOMPARE(m_peer.Batches().front().text, DescribeTable(true, text, u"Customers"_s));
        // And the catalog statements read it back unchanged.
        QCOMPARE(Rows(*connection, BuildCatalogQuery(kQueryTables, {}, kDatabase, 1), {u"extpro"_s}).value(1), text);
        QCOMPARE(Rows(*connection, BuildCatalogQuery(kQueryColumns, u"Orders"_s, kDatabase, 1), {u"desc"_s}).value(2),
                 text);
    }

    void describingFailsAsTheServerDoes()
    {
        auto connection = Connect();
        QVERIFY(connection);
        const struct {
            QString statement;
            QString message;
        } cases[] = {
            {DescribeTable(true, u"again"_s, u"Orders"_s),
             u"Property cannot be added. Property 'MS_Description' already exists for 'dbo.Orders'."_s},
            {DescribeTable(false, u"first"_s, u"Customers"_s),
             u"Property cannot be updated or deleted. Property 'MS_Description' does not exist for 'dbo.Customers'."_s},
            {DescribeColumn(true, u"again"_s, u"Orders"_s, u"id"_s),
             u"Property cannot be added. Property 'MS_Description' already exists for 'dbo.Orders.id'."_s},
            {DescribeColumn(false, u"first"_s, u"Orders"_s, u"notes"_s),
             u"Property cannot be updated or deleted. Property 'MS_Description' does not exist for 'dbo.Orders.notes'."_s},
            {DescribeColumn(true, u"x"_s, u"Orders"_s, u"gone"_s),
             u"Object is invalid. Extended properties are not permitted on 'dbo.Orders.gone', or the object does not exist."_s},
        };
        for (const auto& c : cases) {
            const QString error = DescriptionOf([&] { connection->Execute(c.statement); });
            QVERIFY2(error.contains(c.message), qPrintable(error));
        }
        QCOMPARE(m_peer.Table(kDatabase, u"Orders"_s)->Description(), u"订单 it's 100%  "_s);
        QVERIFY(!m_peer.Table(kDatabase, u"Customers"_s)->Description());
        QVERIFY(!m_peer.Table(kDatabase, u"Orders"_s)->columns[3].properties.contains(u"MS_Description"_s));
        // The connection survives a refused statement.
        QCOMPARE(Rows(*connection, kCatalogProbe, {}).size(), 0);
    }

    // Cut right after the column descriptions, and inside the long row that
    // spans packets.
    void droppedConnectionIsAnError_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("before_first_row") << 0;
        QTest::newRow("packets_into_the_result") << 7;
    }
    void droppedConnectionIsAnError()
    {
        QFETCH(int, rows);
        m_peer.SetDropAfterRows(rows);
        auto connection = Connect();
        QVERIFY(connection);
        COdbcRecordset recordset;
        const QString error = DescriptionOf(
            [&] { recordset.Open(BuildCatalogQuery(kQueryColumns, u"Orders"_s, kDatabase, 1), *connection); });
        QVERIFY2(error.contains(u"Unexpected EOF from the server"_s), qPrintable(error));
        QVERIFY(!DescriptionOf([&] { recordset.RecordCount(); }).isEmpty()); // left closed
        connection->Close();
        // A fresh connection reads everything again.
        m_peer.SetDropAfterRows(-1);
        auto again = Connect();
        QVERIFY(again);
        QCOMPARE(Rows(*again, BuildCatalogQuery(kQueryColumns, u"Orders"_s, kDatabase, 1), {u"name"_s}).size(), 8);
    }

    void repliesWaitForTheDelay()
    {
        auto connection = Connect();
        QVERIFY(connection);
        m_peer.SetReplyDelay(400);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Rows(*connection, BuildCatalogQuery(kQueryDatabases, {}, {}, 1), {u"name"_s}), QStringList{kDatabase});
        QVERIFY2(timer.elapsed() >= 400, qPrintable(QString::number(timer.elapsed())));
    }

    // ChooseSqlServerDriver over what the private registry lists; the choice
    // then reaches the peer in TDS 7.4 whichever name FreeTDS is known by.
    void driverChoice_data()
    {
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("freetds_only") << QStringList{u"FreeTDS"_s} << u"FreeTDS"_s;
        QTest::newRow("sql_server_preferred") << QStringList{u"FreeTDS"_s, u"SQL Server"_s} << u"SQL Server"_s;
    }
    void driverChoice()
    {
        QFETCH(QStringList, registered);
        QFETCH(QString, chosen);
        RegisterDrivers(registered);
        const QStringList installed = InstalledOdbcDrivers();
        QCOMPARE(installed, registered);
        const QString driver = ChooseSqlServerDriver(installed);
        QCOMPARE(driver, chosen);
        auto connection = COdbcConnection::Create();
        connection->Open(ConnectionString(kDatabase, kPassword, driver));
        QCOMPARE(m_peer.Logins().at(0).tdsVersion, 0x74000004u);
        QCOMPARE(Rows(*connection, BuildCatalogQuery(kQueryTables, {}, kDatabase, 1), {u"name"_s}).size(), 3);
    }

    void cleanup() { RegisterDrivers({u"FreeTDS"_s}); }
    void cleanupTestCase() { m_peer.Stop(); }
};

QTEST_GUILESS_MAIN(TestSqlServerPeer)
#include "TestSqlServerPeer.moc"
