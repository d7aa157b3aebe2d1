#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"

#include "support/TestServer.h"

#include <QTest>

#include <functional>
#include <memory>
#include <optional>

// The ODBC classes against a real driver and server: MariaDB's ODBC driver
// and the tests' private MariaDB.
class TestOdbcMariaDb : public QObject
{
    Q_OBJECT

    TestServer m_server;

    QString ConnectionString(const QString& password, const QString& database = QStringLiteral("velmora_odbc")) const
    {
        const std::optional<QString> quoted = QuoteOdbcValue(password);
        if (!quoted)
            return {};
        return QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;CHARSET=utf8mb4;")
            .arg(m_server.host, m_server.port, database, m_server.user, *quoted);
    }

    std::unique_ptr<COdbcConnection> Connect() const
    {
        auto connection = COdbcConnection::Create();
        if (connection)
            connection->Open(ConnectionString(m_server.password));
        return connection;
    }

    static QString DescriptionOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const COdbcError& error) {
            return error.Description();
        }
        return QStringLiteral("<no error>");
    }

private slots:
    void initTestCase()
    {
        m_server = TestServer::Load();
        QVERIFY2(m_server.valid, "the MariaDB fixture did not run");
        // The password holds ';' and '{', so it only arrives braced.
        QVERIFY(m_server.password.contains(u';') && m_server.password.contains(u'{'));
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        connection->Open(ConnectionString(m_server.password, QString()));
        connection->Execute(QStringLiteral("drop database if exists velmora_odbc"));
        connection->Execute(QStringLiteral("create database velmora_odbc character set utf8mb4"));
        connection->Close();
    }

    void openExecuteClose()
    {
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        QCOMPARE(connection->State(), 0);
        connection->Open(ConnectionString(m_server.password));
        QCOMPARE(connection->State(), 1);
        QCOMPARE(DescriptionOf([&] { connection->Open(ConnectionString(m_server.password)); }),
                 OdbcMessages::ObjectOpen());
        connection->Execute(QStringLiteral("create table t_exec (id int primary key, name varchar(20))"));
        connection->Execute(QStringLiteral("insert into t_exec values (1, 'a'), (2, 'b')"));
        connection->Execute(QStringLiteral("update t_exec set name = 'c' where id = 99")); // no rows: not an error
        connection->Execute(QStringLiteral("select * from t_exec")); // rows discarded
        connection->Execute(QStringLiteral("delete from t_exec where id = 1"));
        connection->Close();
        QCOMPARE(connection->State(), 0);
        connection->Close();

        // Reopened, the same object sees what the first connection did.
        connection->Open(ConnectionString(m_server.password));
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select id from t_exec"), *connection);
        QCOMPARE(recordset.RecordCount(), 1);
        QCOMPARE(recordset.Collect(QStringLiteral("id")), QStringLiteral("2"));
    }

    void failuresCarryServerText_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("recordset");
        QTest::newRow("execute_missing_table") << "insert into no_such_table values (1)" << "doesn't exist" << false;
        QTest::newRow("execute_syntax") << "creat table x (a int)" << "SQL syntax" << false;
        QTest::newRow("query_missing_table") << "select * from no_such_table" << "doesn't exist" << true;
        QTest::newRow("query_unknown_column") << "select nope from t_exec" << "Unknown column 'nope'" << true;
    }
    void failuresCarryServerText()
    {
        QFETCH(QString, statement);
        QFETCH(QString, text);
        QFETCH(bool, recordset);
        const auto connection = Connect();
        COdbcRecordset rows;
        const QString description = DescriptionOf([&] {
            if (recordset)
                rows.Open(statement, *connection);
            else
                connection->Execute(statement);
        });
        QVERIFY2(description.contains(text), qPrintable(description));
        QVERIFY(!rows.IsOpen());
        QCOMPARE(connection->State(), 1);
    }

    void wrongPasswordGivesServerText()
    {
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        const QString description = DescriptionOf([&] { connection->Open(ConnectionString(QStringLiteral("wrong;{"))); });
        QVERIFY2(description.contains(QStringLiteral("Access denied for user 'velmora'")), qPrintable(description));
        QCOMPARE(connection->State(), 0);
    }

    void rowsAreReadByName()
    {
        const auto connection = Connect();
        connection->Execute(QStringLiteral(
            "create table t_rows (ID int, Name varchar(40), Note varchar(20) null, Price decimal(10,2)) "
            "character set utf8mb4"));
        connection->Execute(QStringLiteral(
            "insert into t_rows values (1, 'alpha', 'x', 3.50), (2, '描述', null, -12.00), (3, '', '', 0.25)"));
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select ID, Name, Note, Price as \"Unit Price\" from t_rows order by ID"),
                       *connection);
        QVERIFY(recordset.IsOpen());
        QCOMPARE(recordset.RecordCount(), 3);
        QStringList seen;
        while (!recordset.IsEOF()) {
            seen << QStringList{recordset.Collect(QStringLiteral("id")), recordset.Collect(QStringLiteral("NAME")),
                                recordset.Collect(QStringLiteral("Note")),
                                recordset.Collect(QStringLiteral("unit price"))}
                        .join(u'|');
            recordset.MoveNext();
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("1|alpha|x|3.50"), QStringLiteral("2|描述||-12.00"),
                                    QStringLiteral("3|||0.25")}));
        QCOMPARE(DescriptionOf([&] { recordset.MoveNext(); }), OdbcMessages::NoCurrentRecord());
        QCOMPARE(DescriptionOf([&] { recordset.Collect(QStringLiteral("ID")); }), OdbcMessages::NoCurrentRecord());

        // Every row was fetched on Open: the rows outlive the connection.
        COdbcRecordset kept;
        kept.Open(QStringLiteral("select Name from t_rows where ID = 2"), *connection);
        connection->Close();
        QCOMPARE(kept.Collect(QStringLiteral("name")), QStringLiteral("描述"));
    }

    void valuesAsText_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("integer") << "42" << "42";
        QTest::newRow("negative") << "-7" << "-7";
        QTest::newRow("bigint") << "cast(9223372036854775807 as signed)" << "9223372036854775807";
        QTest::newRow("decimal_keeps_scale") << "cast(3.5 as decimal(10,3))" << "3.500";
        QTest::newRow("null_reads_empty") << "null" << "";
        QTest::newRow("empty_text") << "''" << "";
        QTest::newRow("leading_and_trailing_space") << "'  a b  '" << "  a b  ";
        QTest::newRow("check_mark") << "'√'" << QStringLiteral("√");
        QTest::newRow("outside_gbk") << QStringLiteral("'한글'") << QStringLiteral("한글");
        QTest::newRow("surrogate_pair") << QStringLiteral("'a\U0001D11Eb'") << QStringLiteral("a\U0001D11Eb");
        QTest::newRow("buffer_less_one") << "repeat('a', 2047)" << QString(2047, u'a');
        QTest::newRow("buffer_exact") << "repeat('b', 2048)" << QString(2048, u'b');
        QTest::newRow("long_ascii") << "repeat('c', 10000)" << QString(10000, u'c');
        QTest::newRow("long_chinese") << QStringLiteral("repeat('数据', 5000)") << QStringLiteral("数据").repeated(5000);
        QTest::newRow("pair_across_pieces") << QStringLiteral("concat(repeat('d', 2046), '\U0001F600', 'e')")
                                            << QString(2046, u'd') + QStringLiteral("\U0001F600e");
    }
    void valuesAsText()
    {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        const auto connection = Connect();
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select %1 as v").arg(expression), *connection);
        QCOMPARE(recordset.RecordCount(), 1);
        const QString value = recordset.Collect(QStringLiteral("V"));
        QCOMPARE(value.size(), expected.size());
        QCOMPARE(value, expected);
    }

    void storedTextRoundTrips()
    {
        const QString longText = QStringLiteral("表的说明 Ab12;").repeated(1000);
        QCOMPARE(longText.size(), 10000);
        const QString shortText = QStringLiteral("订单编号 √ 한 \U0001F600");
        const auto connection = Connect();
        connection->Execute(QStringLiteral("create table t_text (id int, body text, label varchar(50)) "
                                           "character set utf8mb4"));
        connection->Execute(
            QStringLiteral("insert into t_text values (1, '%1', '%2')").arg(longText, shortText));
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select body, label from t_text"), *connection);
        QCOMPARE(recordset.Collect(QStringLiteral("body")), longText);
        QCOMPARE(recordset.Collect(QStringLiteral("label")), shortText);
        recordset.Close();
        recordset.Open(QStringLiteral("select char_length(label) as n from t_text"), *connection);
        QCOMPARE(recordset.Collect(QStringLiteral("n")), QString::number(shortText.toUcs4().size()));
    }

    void emptyResultIsEofAtOnce()
    {
        const auto connection = Connect();
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select 1 as v from dual where 1 = 0"), *connection);
        QVERIFY(recordset.IsOpen());
        QCOMPARE(recordset.RecordCount(), 0);
        QVERIFY(recordset.IsEOF());
        QCOMPARE(DescriptionOf([&] { recordset.Collect(QStringLiteral("v")); }), OdbcMessages::NoCurrentRecord());
        QCOMPARE(DescriptionOf([&] { recordset.MoveNext(); }), OdbcMessages::NoCurrentRecord());
    }

    void recordsetOpensOnceUntilClosed()
    {
        const auto connection = Connect();
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select 1 as v union all select 2"), *connection);
        QCOMPARE(DescriptionOf([&] { recordset.Open(QStringLiteral("select 3 as v"), *connection); }),
                 OdbcMessages::ObjectOpen());
        // The first result is untouched by the refused open.
        QCOMPARE(recordset.RecordCount(), 2);
        QCOMPARE(recordset.Collect(QStringLiteral("v")), QStringLiteral("1"));
        recordset.Close();
        QVERIFY(!recordset.IsOpen());
        QCOMPARE(DescriptionOf([&] { recordset.RecordCount(); }), OdbcMessages::ObjectClosed());
        QCOMPARE(DescriptionOf([&] { recordset.IsEOF(); }), OdbcMessages::ObjectClosed());
        recordset.Close();
        recordset.Open(QStringLiteral("select 3 as v"), *connection);
        QCOMPARE(recordset.Collect(QStringLiteral("v")), QStringLiteral("3"));

        connection->Close();
        COdbcRecordset another;
        QCOMPARE(DescriptionOf([&] { another.Open(QStringLiteral("select 1"), *connection); }),
                 OdbcMessages::ObjectClosed());
    }

    void unknownFieldIsNamed()
    {
        const auto connection = Connect();
        COdbcRecordset recordset;
        recordset.Open(QStringLiteral("select 1 as value"), *connection);
        const QString description = DescriptionOf([&] { recordset.Collect(QStringLiteral("values")); });
        QVERIFY2(description.contains(QStringLiteral("\"values\"")), qPrintable(description));
        QVERIFY(description.contains(QStringLiteral("cannot be found")));
    }

    void cleanupTestCase()
    {
        if (const auto connection = COdbcConnection::Create()) {
            try {
                connection->Open(ConnectionString(m_server.password, QString()));
                connection->Execute(QStringLiteral("drop database if exists velmora_odbc"));
            } catch (const COdbcError&) {
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOdbcMariaDb)
#include "TestOdbcMariaDb.moc"
