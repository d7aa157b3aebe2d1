#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "support/TestServer.h"

#include <QTcpSocket>
#include <QTest>

#include <functional>

// SQL Server connection strings; the ODBC classes against MariaDB's driver.
class TestOdbc : public QObject
{
    Q_OBJECT

    TestServer m_server;
    std::unique_ptr<COdbcConnection> m_connection; // opened for each test

    QString MariaDb(const QString& password) const
    {
        return u"Driver={MariaDB Unicode};Server=%1;Port=%2;UID=%3;PWD=%4;CHARSET=utf8mb4;"_qs.arg(
            m_server.host, m_server.port, m_server.user, QuoteOdbcValue(password).value_or(QString()));
    }
    static QString DescriptionOf(const std::function<void()>& call)
    {
        try {
            call();
            return u"<no error>"_qs;
        } catch (const COdbcError& error) {
            return error.Description();
        }
    }

private slots:
    void initTestCase()
    {
        m_server = TestServer::Load();
        QVERIFY2(m_server.valid, "the MariaDB fixture did not run");
        // The password holds ';' and '{', so it only arrives braced.
        QVERIFY(m_server.password.contains(u';') && m_server.password.contains(u'{'));
    }
    void init()
    {
        m_connection = COdbcConnection::Create();
        QVERIFY(m_connection);
        m_connection->Open(MariaDb(m_server.password));
    }

    void chooseSqlServerDriver()
    {
        const QString d17 = u"ODBC Driver 17 for SQL Server"_qs, d18 = u"ODBC Driver 18 for SQL Server"_qs;
        QCOMPARE(ChooseSqlServerDriver({u"FreeTDS"_qs, d18, u"SQL Server"_qs}), u"SQL Server"_qs);
        QCOMPARE(ChooseSqlServerDriver({d17, u"FreeTDS"_qs, d18}), d18);
        QCOMPARE(ChooseSqlServerDriver({u"FreeTDS"_qs, d17}), d17);
        QCOMPARE(ChooseSqlServerDriver({u"MariaDB Unicode"_qs, u"SQL Server Native Client 11.0"_qs}), u"FreeTDS"_qs);
    }

    void sqlServerConnectionString_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected"); // empty: refused, the error naming the password
        const QString tail = u"Server=db01,1433;Database=master;UID=sa;"_qs;
        QTest::newRow("plain") << "SQL Server" << "2433" << "secret"
                               << "Driver=SQL Server;Server=db01,2433;Database=master;UID=sa;PWD=secret";
        QTest::newRow("empty_port_means_1433") << "SQL Server" << "" << "pw" << "Driver=SQL Server;" + tail + "PWD=pw";
        QTest::newRow("freetds_protocol_version") << "FreeTDS" << "1433" << "pw"
                                                  << "Driver=FreeTDS;" + tail + "PWD=pw;TDS_Version=7.4;";
        QTest::newRow("braced_semicolon_and_brace") << "SQL Server" << "1433" << "a;U{ID=x"
                                                    << "Driver=SQL Server;" + tail + "PWD={a;U{ID=x};";
        QTest::newRow("braced_semicolon") << "SQL Server" << "1433" << "a;b" << "Driver=SQL Server;" + tail + "PWD={a;b};";
        QTest::newRow("braced_equals") << "SQL Server" << "1433" << "a=b" << "Driver=SQL Server;" + tail + "PWD={a=b};";
        QTest::newRow("braced_leading_blank") << "SQL Server" << "1433" << " a"
                                              << "Driver=SQL Server;" + tail + "PWD={ a};";
        QTest::newRow("braced_trailing_blank") << "SQL Server" << "1433" << "a "
                                               << "Driver=SQL Server;" + tail + "PWD={a };";
        QTest::newRow("closing_brace_refused") << "FreeTDS" << "1433" << "a};b" << QString();
    }
    void sqlServerConnectionString()
    {
        QFETCH(QString, driver);
        QFETCH(QString, port);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        const SqlServerConnectionString built =
            BuildSqlServerConnectionString(driver, u"db01"_qs, port, u"master"_qs, u"sa"_qs, password);
        QCOMPARE(built.text, expected);
        QCOMPARE(built.IsValid(), !expected.isEmpty());
        if (!built.IsValid())
            QCOMPARE(built.error, u"密码中含有字符“}”，无法传给ODBC驱动程序。"_qs);
    }

    // FreeTDS tries the old protocol again when TDS_Version was not read: one
    // failed attempt, not two, shows that the braced password's end was found.
    void freeTdsReadsPastBracedPassword()
    {
        QTcpSocket refusing; // bound, never listening
        QVERIFY(refusing.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
        const QString braced = BuildSqlServerConnectionString(u"FreeTDS"_qs, u"127.0.0.1"_qs,
                                                              QString::number(refusing.localPort()), u"master"_qs,
                                                              u"sa"_qs, u"Vel;mora{pw"_qs).text;
        const QString unchanged = QString(braced).replace(u"{Vel;mora{pw}"_qs, u"Vel;mora{pw"_qs);
        QVERIFY(unchanged != braced);
        for (const auto& [text, attempts] : {std::pair{braced, 1}, {unchanged, 2}}) {
            const QString failure = DescriptionOf([&] { COdbcConnection::Create()->Open(text); });
            QCOMPARE(failure.count(u"Adaptive Server is unavailable"_qs), attempts);
        }
    }

    // A failing statement's text is checked through FreeTDS by the window tests.
    void refusedLoginCarriesServerText()
    {
        const auto refused = COdbcConnection::Create();
        const QString failure = DescriptionOf([&] { refused->Open(MariaDb(u"wrong;{"_qs)); });
        QVERIFY2(failure.contains(u"Access denied for user 'velmora'"_qs), qPrintable(failure));
        QCOMPARE(refused->State(), 0);
    }

    void rowsAreReadByName()
    {
        COdbcRecordset rows, empty;
        rows.Open(u"select 1 as ID, 'alpha' as Name, cast(3.5 as decimal(10,2)) as \"Unit Price\" "
                  "union all select 2, null, -12 union all select 3, '', 0.25"_qs, *m_connection);
        empty.Open(u"select 1 as v from dual where 1 = 0"_qs, *m_connection);
        const QString unknown = DescriptionOf([&] { rows.Collect(u"values"_qs); });
        QVERIFY2(unknown.contains(u"\"values\""_qs) && unknown.contains(u"cannot be found"_qs), qPrintable(unknown));
        // Every row was fetched on Open: the rows outlive the connection.
        m_connection->Close();
        QCOMPARE(rows.RecordCount(), 3);
        QStringList seen;
        for (; !rows.IsEOF(); rows.MoveNext())
            seen << rows.Collect(u"id"_qs) + u'|' + rows.Collect(u"NAME"_qs) + u'|' + rows.Collect(u"unit price"_qs);
        QCOMPARE(seen, (QStringList{u"1|alpha|3.50"_qs, u"2||-12.00"_qs, u"3||0.25"_qs}));
        QCOMPARE(empty.RecordCount(), 0);
        QVERIFY(empty.IsEOF());
    }

    void valuesAsText_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        // The server's hex shows the text arrived as these characters, not merely echoed.
        QTest::newRow("chinese_round_trip") << u"concat('订单 √', hex('订单 √'))"_qs
                                            << u"订单 √"_qs + u"订单 √"_qs.toUtf8().toHex().toUpper();
    }
    void valuesAsText()
    {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        COdbcRecordset rows;
        rows.Open(u"select %1 as v"_qs.arg(expression), *m_connection);
        QCOMPARE(rows.Collect(u"V"_qs), expected);
    }
};

QTEST_GUILESS_MAIN(TestOdbc)
#include "TestOdbc.moc"
