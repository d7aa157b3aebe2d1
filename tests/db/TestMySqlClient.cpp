#include "support/TestMySql.h"

#include <QTest>

// Makes the fixture's port the library's default; read once, when the first client starts the library.
static TestServer WithDefaultPort(TestServer server)
{
    qputenv("MYSQL_TCP_PORT", server.port.toUtf8());
    return server;
}

// The GBK text path: code page conversion, and the MySQL client on a real server.
class TestMySqlClient : public QObject
{
    Q_OBJECT

    TestServer m_server = WithDefaultPort(TestServer::Load());
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

    // Each character GBK lacks becomes one '?'; the first of them is named whole.
    void gbkConversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("gbk");
        QTest::addColumn<QString>("first");
        QTest::newRow("chinese") << u"数据库?"_qs << QByteArray("\xca\xfd\xbe\xdd\xbf\xe2?") << QString();
        QTest::newRow("outside_gbk") << u"a\uD55Cb\U0001F600"_qs << QByteArray("a?b?") << u"\uD55C"_qs;
        QTest::newRow("surrogate_pair_is_one_mark") << u"x\U0001F600y\uD55C"_qs << QByteArray("x?y?") << u"\U0001F600"_qs;
    }
    void gbkConversion()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, gbk);
        QFETCH(QString, first);
        const std::string bytes = AnsiCodePage::FromUnicode(text);
        QCOMPARE(QByteArray::fromStdString(bytes), gbk);
        QCOMPARE(AnsiCodePage::ToUnicode(bytes), first.isEmpty() ? text : QString::fromLatin1(gbk));
        QCOMPARE(AnsiCodePage::FirstUnencodable(text), first);
    }
    void invalidGbkBytesBecomeQuestionMarks()
    {
        // A lone lead byte at the end and a byte GBK never uses.
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("ab\xca", 3)), u"ab?"_qs);
        QCOMPARE(AnsiCodePage::ToUnicode(std::string_view("\xff" "c", 2)), u"?c"_qs);
    }

    void setNamesGbkPrecedesEveryStatementAlsoAfterReconnect()
    {
        QCOMPARE(Charsets(), std::string("gbk,gbk,gbk"));
        QVERIFY(m_client.Query("set names latin1"));
        QCOMPARE(Charsets(), std::string("gbk,gbk,gbk"));
        m_client.Close();
        QVERIFY(!m_client.Query("select 1"));
        QCOMPARE(m_client.m_errorCode, 2006u);
        QVERIFY(m_client.Connect());
        QCOMPARE(Charsets(), std::string("gbk,gbk,gbk"));
    }

    void chineseCommentsRoundTripThroughGbk()
    {
        const auto gbk = [](const QString& text) { return AnsiCodePage::FromUnicode(text); };
        const QString tableComment = u"客户资料表"_qs, columnComment = u"客户的“姓名”，必填√"_qs;
        const std::string db = gbk(u"vm_mysql_数据库"_qs);
        QVERIFY(m_client.Query("drop database if exists `" + db + "`"));
        QVERIFY(m_client.Query("create database `" + db + "` default charset utf8mb4"));
        QVERIFY(m_client.Query("create table `" + db + "`.t (c int comment '" + gbk(columnComment) + "') comment '"
                               + gbk(tableComment) + "'"));
        QVERIFY(m_client.Query("select t.table_comment, c.column_comment, hex(t.table_comment) from "
                               "information_schema.tables t join information_schema.columns c "
                               "using (table_schema, table_name) where t.table_schema = '" + db + "'"));
        QCOMPARE(GbkRow(m_client, 0, 2), (QStringList{tableComment, columnComment}));
        // The server must have read the bytes as GBK: it stores the comment as UTF-8.
        QCOMPARE(QByteArray::fromStdString(m_client.GetValue(0, 2)), tableComment.toUtf8().toHex().toUpper());
    }

    // Values by row and column, also past the edges; a failure keeps the
    // last rows and is told until the next failure; a statement without a
    // result set leaves no old rows showing through.
    void valuesAndFailures()
    {
        QVERIFY(m_client.Query("select 'a', null, 'a\\0b' union all select 'b', '', 'x'"));
        QCOMPARE(QByteArray::fromStdString(m_client.GetValue(0, 2)), QByteArray("a\0b", 3));
        for (const auto& [row, column] : {std::pair{0, 1}, {2, 0}, {-1, 0}, {0, 3}})
            QCOMPARE(m_client.GetValue(row, column), std::string());
        QVERIFY(!m_client.Query("select * from mysql.no_such_table"));
        QCOMPARE(m_client.m_errorCode, 1146u);
        QVERIFY2(m_client.m_errorText.find("Table 'mysql.no_such_table' doesn't exist") != std::string::npos,
                 m_client.m_errorText.c_str());
        QCOMPARE(m_client.RowCount(), 2);
        QCOMPARE(m_client.GetValue(1, 2), std::string("x"));
        const std::string failure = m_client.m_errorText;
        QVERIFY(m_client.Query("do 1"));
        QCOMPARE(m_client.m_errorCode, 1146u);
        QCOMPARE(m_client.m_errorText, failure);
        QCOMPARE(m_client.GetValue(0, 0), std::string());
    }

    // Port 0 leaves the port to the library; a success leaves the error
    // members as they started. (Failed connects and a reconnect of the same
    // object are the window's connect and retry cases.)
    void portZeroIsTheLibrarysDefault()
    {
        CMySqlClient client;
        SetTestServerParams(client, m_server, nullptr, 0);
        QVERIFY(client.Connect() && client.Query("select @@port"));
        QCOMPARE(client.GetValue(0, 0), m_server.port.toStdString());
        QCOMPARE(QString("%1 %2").arg(client.m_errorCode).arg(client.m_errorText.c_str()), "0 ok");
    }

};

QTEST_GUILESS_MAIN(TestMySqlClient)
#include "TestMySqlClient.moc"
