#include "db/SqlServerConnectionString.h"

#include <QTest>

// The SQL Server connection string; the ODBC classes themselves are used
// through unixODBC and FreeTDS by the window's SQL Server tests.
class TestOdbc : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestOdbc)
#include "TestOdbc.moc"
