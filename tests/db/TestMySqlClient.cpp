#include "db/AnsiCodePage.h"
#include "db/MySqlClient.h"
#include "support/TestServer.h"

#include <QCoreApplication>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::string Gbk(const QString& text)
{
    return AnsiCodePage::FromUnicode(text);
}

QByteArray ToBytes(const std::string& bytes)
{
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Whether anything accepts TCP connections on 127.0.0.1:port.
bool Listening(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return open;
}

// A port the kernel just handed out and nobody listens on any more.
std::uint16_t ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

class TestMySqlClient : public QObject
{
    Q_OBJECT

    TestServer m_server;
    std::vector<std::string> m_databases;

    std::uint32_t Port() const { return m_server.port.toUInt(); }

    void SetParams(CMySqlClient& client, const std::string& database = {})
    {
        client.SetConnectParams(m_server.host.toStdString(), m_server.user.toStdString(),
                                m_server.password.toStdString(), database, Port());
    }

    // A database of this test's own, dropped in cleanup(); name in GBK bytes.
    std::string NewDatabase(CMySqlClient& client, const QString& tag)
    {
        const std::string name = Gbk(QStringLiteral("vm_mysql_%1_%2").arg(QCoreApplication::applicationPid()).arg(tag));
        if (!client.Query("create database `" + name + "` default charset utf8mb4"))
            qWarning("create database: %u %s", client.m_errorCode, client.m_errorText.c_str());
        m_databases.push_back(name);
        return name;
    }

private slots:
    void initTestCase()
    {
        m_server = TestServer::Load();
        QVERIFY2(m_server.valid, "the private MariaDB fixture did not write its server.env");
    }

    void cleanup()
    {
        if (m_databases.empty())
            return;
        const std::vector<std::string> names = std::move(m_databases);
        m_databases.clear();
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        for (const std::string& name : names)
            QVERIFY(client.Query("drop database if exists `" + name + "`"));
    }

    void errorMembersStartOkAndKeepLastFailure()
    {
        CMySqlClient client;
        QCOMPARE(client.m_errorCode, 0u);
        QCOMPARE(client.m_errorText, std::string("ok"));
        QCOMPARE(client.RowCount(), 0);
        QCOMPARE(client.GetValue(0, 0), std::string());

        SetParams(client);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("select 1"));
        QCOMPARE(client.m_errorCode, 0u);
        QCOMPARE(client.m_errorText, std::string("ok"));

        QVERIFY(!client.Query("select * from mysql.no_such_table"));
        QCOMPARE(client.m_errorCode, 1146u);
        const std::string failure = client.m_errorText;
        QVERIFY(client.Query("select 2"));
        QCOMPARE(client.m_errorCode, 1146u);
        QCOMPARE(client.m_errorText, failure);
        client.Close();
    }

    void setNamesGbkPrecedesEveryStatement_data()
    {
        QTest::addColumn<int>("setup");
        QTest::newRow("fresh_connection") << 0;
        QTest::newRow("after_set_names_latin1") << 1;
        QTest::newRow("after_reconnect") << 2;
    }
    void setNamesGbkPrecedesEveryStatement()
    {
        QFETCH(int, setup);
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        if (setup == 1)
            QVERIFY(client.Query("set names latin1"));
        if (setup == 2) {
            QVERIFY(client.Query("select 1"));
            client.Close();
            QVERIFY(client.Connect());
        }
        QVERIFY(client.Query("select @@character_set_client, @@character_set_connection, @@character_set_results"));
        QCOMPARE(client.GetValue(0, 0), std::string("gbk"));
        QCOMPARE(client.GetValue(0, 1), std::string("gbk"));
        QCOMPARE(client.GetValue(0, 2), std::string("gbk"));
        client.Close();
    }

    void chineseTextRoundTripsThroughGbk_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("tableComment");
        QTest::addColumn<QString>("columnComment");
        QTest::addColumn<QString>("value");
        QTest::newRow("comments_and_value") << QStringLiteral("zh") << QStringLiteral("客户资料表")
                                            << QStringLiteral("客户的“姓名”，必填√") << QStringLiteral("张三丰");
        QTest::newRow("chinese_database_name") << QStringLiteral("数据库") << QStringLiteral("表")
                                               << QStringLiteral("列") << QStringLiteral("值");
    }
    void chineseTextRoundTripsThroughGbk()
    {
        QFETCH(QString, tag);
        QFETCH(QString, tableComment);
        QFETCH(QString, columnComment);
        QFETCH(QString, value);
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        const std::string db = NewDatabase(client, tag);
        QVERIFY(client.Query("create table `" + db + "`.t (c varchar(40) comment '" + Gbk(columnComment)
                             + "') comment '" + Gbk(tableComment) + "'"));
        QVERIFY(client.Query("insert into `" + db + "`.t values ('" + Gbk(value) + "')"));

        QVERIFY(client.Query("select schema_name from information_schema.schemata where schema_name = '" + db + "'"));
        QCOMPARE(AnsiCodePage::ToUnicode(client.GetValue(0, 0)), AnsiCodePage::ToUnicode(db));
        QVERIFY(AnsiCodePage::ToUnicode(db).endsWith(tag));
        QVERIFY(client.Query("select table_comment from information_schema.tables where table_schema = '" + db
                             + "' and table_name = 't'"));
        QCOMPARE(AnsiCodePage::ToUnicode(client.GetValue(0, 0)), tableComment);
        QVERIFY(client.Query("select column_comment from information_schema.columns where table_schema = '" + db
                             + "' and table_name = 't'"));
        QCOMPARE(AnsiCodePage::ToUnicode(client.GetValue(0, 0)), columnComment);
        // The server must have read the bytes as GBK: it stores the value as UTF-8.
        QVERIFY(client.Query("select c, hex(c) from `" + db + "`.t"));
        QCOMPARE(AnsiCodePage::ToUnicode(client.GetValue(0, 0)), value);
        QCOMPARE(ToBytes(client.GetValue(0, 1)), value.toUtf8().toHex().toUpper());
        client.Close();
    }

    void failedStatementKeepsItsErrorAndPreviousResult_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("syntax_error") << QByteArray("selec 1") << 1064u << QByteArray("You have an error in your SQL syntax");
        QTest::newRow("unknown_table") << QByteArray("select * from mysql.no_such_table") << 1146u
                                       << QByteArray("Table 'mysql.no_such_table' doesn't exist");
        QTest::newRow("unknown_column") << QByteArray("select no_such_column") << 1054u
                                        << QByteArray("Unknown column 'no_such_column'");
        QTest::newRow("empty_statement") << QByteArray() << 1065u << QByteArray("Query was empty");
    }
    void failedStatementKeepsItsErrorAndPreviousResult()
    {
        QFETCH(QByteArray, statement);
        QFETCH(uint, code);
        QFETCH(QByteArray, text);
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("select 'before', null union all select 'second', 'x'"));
        QVERIFY(!client.Query(statement.toStdString()));
        QCOMPARE(client.m_errorCode, code);
        QVERIFY2(client.m_errorText.find(text.toStdString()) != std::string::npos, client.m_errorText.c_str());
        QCOMPARE(client.RowCount(), 2);
        QCOMPARE(client.GetValue(0, 0), std::string("before"));
        QCOMPARE(client.GetValue(1, 1), std::string("x"));
        client.Close();
    }

    void valuesByRowAndColumn_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray twoRows = "select 'a', null union all select 'b', ''";
        QTest::newRow("first_row") << twoRows << 0 << 0 << QByteArray("a");
        QTest::newRow("last_row") << twoRows << 1 << 0 << QByteArray("b");
        QTest::newRow("null_field") << twoRows << 0 << 1 << QByteArray();
        QTest::newRow("empty_text") << twoRows << 1 << 1 << QByteArray();
        QTest::newRow("row_equal_to_count") << twoRows << 2 << 0 << QByteArray();
        QTest::newRow("row_beyond_count") << twoRows << 1000 << 0 << QByteArray();
        QTest::newRow("negative_row") << twoRows << -1 << 0 << QByteArray();
        QTest::newRow("column_beyond_fields") << twoRows << 0 << 2 << QByteArray();
        QTest::newRow("embedded_zero_byte") << QByteArray("select 'a\\0b'") << 0 << 0 << QByteArray("a\0b", 3);
        QTest::newRow("binary_bytes") << QByteArray("select unhex('FF00FE')") << 0 << 0 << QByteArray("\xff\x00\xfe", 3);
        QTest::newRow("no_result_set") << QByteArray("do 1") << 0 << 0 << QByteArray();
    }
    void valuesByRowAndColumn()
    {
        QFETCH(QByteArray, statement);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QByteArray, expected);
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        // A result left from an earlier statement must not show through.
        QVERIFY(client.Query("select 'old', 'old', 'old'"));
        QVERIFY(client.Query(statement.toStdString()));
        QCOMPARE(ToBytes(client.GetValue(row, column)), expected);
        client.Close();
    }

    void portIsPassedThrough_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("reaches");
        QTest::newRow("server_port") << 0 << true;
        QTest::newRow("closed_port") << 1 << false;
        QTest::newRow("zero_means_default_3306") << 2 << false;
    }
    void portIsPassedThrough()
    {
        QFETCH(int, which);
        QFETCH(bool, reaches);
        std::uint32_t port = Port();
        if (which == 1)
            port = ClosedPort();
        if (which == 2) {
            // Proves only that 0 is not replaced by some other port: with
            // nothing on 3306 the library default is refused.
            if (Listening(3306))
                QSKIP("something listens on 3306 here");
            port = 0;
        }
        CMySqlClient client;
        client.SetConnectParams(m_server.host.toStdString(), m_server.user.toStdString(),
                                m_server.password.toStdString(), {}, port);
        QCOMPARE(client.Connect(), reaches);
        if (reaches) {
            QVERIFY(client.Query("select @@port"));
            QCOMPARE(client.GetValue(0, 0), m_server.port.toStdString());
        } else {
            QVERIFY2(client.m_errorCode == 2002 || client.m_errorCode == 2003, client.m_errorText.c_str());
        }
        client.Close();
    }

    void connectFailureReportsServerError_data()
    {
        QTest::addColumn<bool>("wrongPassword");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("wrong_password") << true << 1045u << QByteArray("Access denied for user 'velmora'");
        QTest::newRow("unknown_database") << false << 1049u << QByteArray("Unknown database 'vm_no_such_db'");
    }
    void connectFailureReportsServerError()
    {
        QFETCH(bool, wrongPassword);
        QFETCH(uint, code);
        QFETCH(QByteArray, text);
        CMySqlClient client;
        client.SetConnectParams(m_server.host.toStdString(), m_server.user.toStdString(),
                                wrongPassword ? std::string("not the password") : m_server.password.toStdString(),
                                wrongPassword ? std::string() : std::string("vm_no_such_db"), Port());
        QVERIFY(!client.Connect());
        QCOMPARE(client.m_errorCode, code);
        QVERIFY2(client.m_errorText.find(text.toStdString()) != std::string::npos, client.m_errorText.c_str());

        // The same object connects once the parameters are right.
        SetParams(client);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("select 'after'"));
        QCOMPARE(client.GetValue(0, 0), std::string("after"));
        client.Close();
    }

    void reconnectAfterCloseOnSameObject()
    {
        CMySqlClient client;
        SetParams(client);
        for (int round = 0; round < 3; ++round) {
            QVERIFY(client.Connect());
            QVERIFY(client.Query("select connection_id(), database()"));
            const std::string id = client.GetValue(0, 0);
            client.Close();
            // The result is client memory and outlives the connection.
            QCOMPARE(client.GetValue(0, 0), id);
            QVERIFY(!id.empty());
        }

        // A statement on a closed connection fails cleanly.
        QVERIFY(!client.Query("select 1"));
        QCOMPARE(client.m_errorCode, 2006u);
        client.Close();

        CMySqlClient other;
        SetParams(other);
        QVERIFY(other.Connect());
        const std::string db = NewDatabase(other, QStringLiteral("reconnect"));
        other.Close();
        SetParams(client, db);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("select database()"));
        QCOMPARE(client.GetValue(0, 0), db);
        client.Close();
    }

    void largeResultIsReadWhole()
    {
        CMySqlClient client;
        SetParams(client);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("set session max_recursive_iterations = 5000"));
        QVERIFY(client.Query("with recursive seq(n) as (select 1 union all select n + 1 from seq where n < 2000) "
                             "select n, concat('row ', n), if(n % 7 = 0, null, n * 3) from seq order by n"));
        QCOMPARE(client.RowCount(), 2000);
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < 2000; ++i) {
                // Second pass backwards: the reading order must not matter.
                const int row = pass == 0 ? i : 1999 - i;
                const int n = row + 1;
                QCOMPARE(client.GetValue(row, 0), std::to_string(n));
                QCOMPARE(client.GetValue(row, 1), "row " + std::to_string(n));
                QCOMPARE(client.GetValue(row, 2), n % 7 == 0 ? std::string() : std::to_string(n * 3));
            }
        }
        QCOMPARE(client.GetValue(2000, 0), std::string());
        client.Close();
    }

    void noBackslashEscapesFollowsSqlMode_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("expected");
        QTest::newRow("empty_mode") << QByteArray("") << false;
        QTest::newRow("strict_only") << QByteArray("STRICT_TRANS_TABLES") << false;
        QTest::newRow("no_backslash_escapes") << QByteArray("NO_BACKSLASH_ESCAPES") << true;
        QTest::newRow("among_others") << QByteArray("ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES") << true;
    }
    void noBackslashEscapesFollowsSqlMode()
    {
        QFETCH(QByteArray, mode);
        QFETCH(bool, expected);
        CMySqlClient client;
        QVERIFY(!client.NoBackslashEscapes());
        SetParams(client);
        QVERIFY(client.Connect());
        QVERIFY(client.Query("set session sql_mode = '" + mode.toStdString() + "'"));
        QCOMPARE(client.NoBackslashEscapes(), expected);
        // Kept through later statements, and it matches what the server does with a backslash.
        QVERIFY(client.Query("select 'a\\\\b'"));
        QCOMPARE(client.NoBackslashEscapes(), expected);
        QCOMPARE(client.GetValue(0, 0), std::string(expected ? "a\\\\b" : "a\\b"));
        client.Close();
        QVERIFY(!client.NoBackslashEscapes());
    }
};

QTEST_GUILESS_MAIN(TestMySqlClient)
#include "TestMySqlClient.moc"
