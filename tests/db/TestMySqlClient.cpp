#include "support/TestMySql.h"

#include <QTest>

// The MySQL client on a real server.
class TestMySqlClient : public QObject
{
    Q_OBJECT

    TestServer m_server = TestServer::Load();
    CMySqlClient m_client; // connected for each test

    std::string Charsets()
    {
        return m_client.Query("select concat_ws(',', @@character_set_client, @@character_set_connection, "
                              "@@character_set_results)") ? m_client.GetValue(0, 0) : m_client.m_errorText;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.valid, "the private MariaDB fixture did not write its server.env");
    }
    void init()
    {
        SetTestServerParams(m_client, m_server);
        QVERIFY(m_client.Connect());
    }

    void setNamesPrecedesEveryStatementAlsoAfterReconnect()
    {
        QCOMPARE(Charsets(), std::string("utf8mb4,utf8mb4,utf8mb4"));
        QVERIFY(m_client.Query("set names latin1"));
        QCOMPARE(Charsets(), std::string("utf8mb4,utf8mb4,utf8mb4"));
        m_client.Close();
        QVERIFY(!m_client.Query("select 1"));
        QCOMPARE(m_client.m_errorCode, 2006u);
        QVERIFY(m_client.Connect());
        QCOMPARE(Charsets(), std::string("utf8mb4,utf8mb4,utf8mb4"));
        // Names and comments that GBK lacks arrive as typed: the server reads
        // the bytes as UTF-8 and stores them so.
        const QString tableComment = u"客户资料表 ß✓™"_qs, columnComment = u"客户的“姓名”，必填√ 한국"_qs;
        const std::string db = ToMySql(u"vm_mysql_数据库_ñ"_qs);
        QVERIFY(m_client.Query("drop database if exists `" + db + "`"));
        QVERIFY(m_client.Query("create database `" + db + "` default charset utf8mb4"));
        QVERIFY(m_client.Query("create table `" + db + "`.t (c int comment '" + ToMySql(columnComment) + "') comment '"
                               + ToMySql(tableComment) + "'"));
        QVERIFY(m_client.Query("select t.table_comment, c.column_comment, hex(t.table_comment) from "
                               "information_schema.tables t join information_schema.columns c "
                               "using (table_schema, table_name) where t.table_schema = '" + db + "'"));
        QCOMPARE(QStringList({FromMySql(m_client.GetValue(0, 0)), FromMySql(m_client.GetValue(0, 1))}), (QStringList{tableComment, columnComment}));
        QCOMPARE(QByteArray::fromStdString(m_client.GetValue(0, 2)), tableComment.toUtf8().toHex().toUpper());
    }
};

QTEST_GUILESS_MAIN(TestMySqlClient)
#include "TestMySqlClient.moc"
