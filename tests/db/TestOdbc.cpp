#include "db/SqlServerConnectionString.h"

#include <QTest>

// The SQL Server connection string; the ODBC classes themselves are used
// through unixODBC and FreeTDS by the window's SQL Server tests.
class TestOdbc : public QObject
{
    Q_OBJECT
private slots:
    void sqlServerConnectionString_data()
    {
        QTest::addColumn<QStringList>("row"); // driver, port, password, expected (empty: refused)
        const QString sql = u"Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;"_qs;
        QTest::newRow("plain") << QStringList{"SQL Server", "2433", "secret",
                                              "Driver=SQL Server;Server=db01,2433;Database=master;UID=sa;PWD=secret"};
        QTest::newRow("freetds_protocol_version") << QStringList{"FreeTDS", "1433", "pw",
            "Driver=FreeTDS;Server=db01,1433;Database=master;UID=sa;PWD=pw;TDS_Version=7.4;"};
        QTest::newRow("braced_semicolon_and_brace") << QStringList{"SQL Server", "1433", "a;U{ID=x", sql + "PWD={a;U{ID=x};"};
        QTest::newRow("braced_semicolon") << QStringList{"SQL Server", "1433", "a;b", sql + "PWD={a;b};"};
        QTest::newRow("braced_equals") << QStringList{"SQL Server", "1433", "a=b", sql + "PWD={a=b};"};
        QTest::newRow("braced_leading_blank") << QStringList{"SQL Server", "1433", " a", sql + "PWD={ a};"};
        QTest::newRow("braced_trailing_blank") << QStringList{"SQL Server", "1433", "a ", sql + "PWD={a };"};
        QTest::newRow("closing_brace_refused") << QStringList{"FreeTDS", "1433", "a};b", ""};
    }
    void sqlServerConnectionString()
    {
        QFETCH(QStringList, row);
        const QString expected = row[3];
        const SqlServerConnectionString built =
            BuildSqlServerConnectionString(row[0], u"db01"_qs, row[1], u"master"_qs, u"sa"_qs, row[2]);
        QCOMPARE(built.text, expected);
        QCOMPARE(built.IsValid(), !expected.isEmpty());
        if (!built.IsValid())
            QCOMPARE(built.error, u"密码中含有字符“}”，无法传给ODBC驱动程序。"_qs);
    }
};

QTEST_GUILESS_MAIN(TestOdbc)
#include "TestOdbc.moc"
