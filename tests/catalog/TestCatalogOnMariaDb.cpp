#include "catalog/CatalogQuery.h"
#include "support/TestMySql.h"

#include <QTest>

// The MySQL catalog statements run on a real server: their texts must parse,
// return the columns the listings read, and quote any name safely.
class TestCatalogOnMariaDb : public QObject
{
    Q_OBJECT

    CMySqlClient m_client;
    const QString m_database = QStringLiteral("it's 库\\x");

    bool Run(const QString& statement) { return m_client.Query(AnsiCodePage::FromUnicode(statement)); }
    bool RunCatalog(int query, const QString& table, const QString& database)
    {
        return Run(BuildCatalogQuery(query, table, database, 2, m_client.NoBackslashEscapes()));
    }

private slots:
    void initTestCase()
    {
        const TestServer server = TestServer::Load();
        QVERIFY2(server.valid, "the private MariaDB is not running");
        SetTestServerParams(m_client, server);
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
            names += GbkRow(m_client, r, 1);
        QVERIFY(names.contains(m_database));
    }

    // Both sql_modes: a quote or backslash in a name neither breaks the
    // statement nor lets it match other names.
    void tablesOfNameWithQuoteAndBackslash()
    {
        for (const QString& mode : {u"default"_qs, u"'NO_BACKSLASH_ESCAPES'"_qs}) {
            QVERIFY(Run(u"set session sql_mode="_qs + mode));
            QVERIFY(RunCatalog(kQueryTables, {}, m_database));
            QCOMPARE(m_client.RowCount(), 2);
            QStringList rows{GbkRow(m_client, 0, 2).join(u'|'), GbkRow(m_client, 1, 2).join(u'|')};
            rows.sort();
            QCOMPARE(rows, (QStringList{u"it's|订单"_qs, u"plain|"_qs}));
            QVERIFY(RunCatalog(kQueryTables, {}, u"x' or '1'='1"_qs));
            QCOMPARE(m_client.RowCount(), 0);
        }
    }

    void columnsCarryMarksAndComments()
    {
        QVERIFY(Run(u"set session sql_mode=default"_qs));
        QVERIFY(RunCatalog(kQueryColumns, u"it's"_qs, m_database));
        QCOMPARE(m_client.RowCount(), 4);
        const auto row = [this](int r) { return GbkRow(m_client, r, 9); };
        QCOMPARE(row(0), (QStringList{u"id"_qs, u"int"_qs, u"10"_qs, u"0"_qs, u""_qs, u"√"_qs, u"√"_qs, u""_qs, u""_qs}));
        QCOMPARE(row(1), (QStringList{u"name"_qs, u"varchar"_qs, u"20"_qs, u""_qs, u""_qs, u""_qs, u""_qs, u"'x'"_qs, u"名称"_qs}));
        QCOMPARE(row(2), (QStringList{u"amount"_qs, u"decimal"_qs, u"10"_qs, u"2"_qs, u"√"_qs, u""_qs, u""_qs, u"NULL"_qs, u""_qs}));
        QCOMPARE(row(3).mid(0, 5), (QStringList{u"note"_qs, u"text"_qs, u"65535"_qs, u""_qs, u"√"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestCatalogOnMariaDb)
#include "TestCatalogOnMariaDb.moc"
