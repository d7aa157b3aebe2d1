#include "catalog/CatalogQuery.h"
#include "db/AnsiCodePage.h"
#include "db/MySqlClient.h"
#include "support/TestServer.h"

#include <QTest>

// The MySQL catalog statements run on a real server: their texts must parse,
// return the columns the listings read, and quote any name safely.
class TestCatalogOnMariaDb : public QObject
{
    Q_OBJECT

    TestServer m_server;
    CMySqlClient m_client;
    const QString m_database = QStringLiteral("it's 库\\x");

    bool Run(const QString& statement) { return m_client.Query(AnsiCodePage::FromUnicode(statement)); }
    QStringList Row(int row, int columns) const
    {
        QStringList values;
        for (int c = 0; c < columns; ++c)
            values << AnsiCodePage::ToUnicode(m_client.GetValue(row, c));
        return values;
    }
    bool RunCatalog(int query, const QString& table, const QString& database)
    {
        return Run(BuildCatalogQuery(query, table, database, 2, m_client.NoBackslashEscapes()));
    }

private slots:
    void initTestCase()
    {
        m_server = TestServer::Load();
        QVERIFY2(m_server.valid, "the private MariaDB is not running");
        m_client.SetConnectParams(m_server.host.toStdString(), m_server.user.toStdString(),
                                  m_server.password.toStdString(), "", m_server.port.toUInt());
        QVERIFY(m_client.Connect());
        QVERIFY(Run(u"create database `it's 库\\x` character set utf8mb4"_qs));
        QVERIFY(Run(u"create table `it's 库\\x`.`it's` ("
                    "id int not null auto_increment primary key,"
                    "name varchar(20) not null default 'x' comment '名称',"
                    "amount decimal(10,2) null,"
                    "note text) comment '订单'"_qs));
        QVERIFY(Run(u"create table `it's 库\\x`.`plain` (k int)"_qs));
    }
    void cleanupTestCase() { Run(u"drop database if exists `it's 库\\x`"_qs); }

    void databasesIncludeQuotedName()
    {
        QVERIFY(RunCatalog(kQueryDatabases, {}, {}));
        QStringList names;
        for (int r = 0; r < m_client.RowCount(); ++r)
            names += Row(r, 1);
        QVERIFY(names.contains(m_database));
        QVERIFY(names.contains(u"information_schema"_qs, Qt::CaseInsensitive));
    }

    void tablesOfNameWithQuoteAndBackslash()
    {
        for (const QString& mode : {u"default"_qs, u"'NO_BACKSLASH_ESCAPES'"_qs}) {
            QVERIFY(Run(u"set session sql_mode="_qs + mode));
            QVERIFY(RunCatalog(kQueryTables, {}, m_database));
            QCOMPARE(m_client.RowCount(), 2);
            QStringList rows{Row(0, 2).join(u'|'), Row(1, 2).join(u'|')};
            rows.sort();
            QCOMPARE(rows, (QStringList{u"it's|订单"_qs, u"plain|"_qs}));
        }
    }

    void columnsCarryMarksAndComments()
    {
        QVERIFY(Run(u"set session sql_mode=default"_qs));
        QVERIFY(RunCatalog(kQueryColumns, u"it's"_qs, m_database));
        QCOMPARE(m_client.RowCount(), 4);
        QCOMPARE(Row(0, 9), (QStringList{u"id"_qs, u"int"_qs, u"10"_qs, u"0"_qs, u""_qs, u"√"_qs, u"√"_qs, u""_qs, u""_qs}));
        QCOMPARE(Row(1, 9), (QStringList{u"name"_qs, u"varchar"_qs, u"20"_qs, u""_qs, u""_qs, u""_qs, u""_qs, u"'x'"_qs, u"名称"_qs}));
        QCOMPARE(Row(2, 9), (QStringList{u"amount"_qs, u"decimal"_qs, u"10"_qs, u"2"_qs, u"√"_qs, u""_qs, u""_qs, u"NULL"_qs, u""_qs}));
        QCOMPARE(Row(3, 9).mid(0, 5), (QStringList{u"note"_qs, u"text"_qs, u"65535"_qs, u""_qs, u"√"_qs}));
    }

    void injectedNameMatchesNothing()
    {
        QVERIFY(RunCatalog(kQueryTables, {}, u"x' or '1'='1"_qs));
        QCOMPARE(m_client.RowCount(), 0);
        QVERIFY(RunCatalog(kQueryColumns, u"x' or '1'='1"_qs, m_database));
        QCOMPARE(m_client.RowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogOnMariaDb)
#include "TestCatalogOnMariaDb.moc"
