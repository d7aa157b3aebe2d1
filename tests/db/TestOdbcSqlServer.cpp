#include "db/OdbcConnection.h"
#include "db/SqlServerConnectionString.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A local TCP port that refuses connections for as long as this object
// lives: bound, so nobody else takes it, but never listening.
class RefusingPort
{
public:
    RefusingPort()
    {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_socket >= 0 && bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) == 0
            && getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~RefusingPort()
    {
        if (m_socket >= 0)
            close(m_socket);
    }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

} // namespace

class TestOdbcSqlServer : public QObject
{
    Q_OBJECT
private slots:
    void chooseDriver_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("sql_server_first")
            << QStringList{"FreeTDS", "ODBC Driver 18 for SQL Server", "SQL Server"} << "SQL Server";
        QTest::newRow("driver18_before_17")
            << QStringList{"ODBC Driver 17 for SQL Server", "FreeTDS", "ODBC Driver 18 for SQL Server"}
            << "ODBC Driver 18 for SQL Server";
        QTest::newRow("driver17_before_freetds")
            << QStringList{"FreeTDS", "ODBC Driver 17 for SQL Server"} << "ODBC Driver 17 for SQL Server";
        QTest::newRow("freetds") << QStringList{"MariaDB Unicode", "FreeTDS"} << "FreeTDS";
        QTest::newRow("nothing_registered") << QStringList{} << "FreeTDS";
        QTest::newRow("case_insensitive") << QStringList{"sql server"} << "SQL Server";
        QTest::newRow("name_must_match_whole") << QStringList{"SQL Server Native Client 11.0"} << "FreeTDS";
    }
    void chooseDriver()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        QCOMPARE(ChooseSqlServerDriver(installed), chosen);
    }

    void buildConnectionString_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        const QString sqlServer = QStringLiteral("SQL Server");
        const QString freeTds = QStringLiteral("FreeTDS");
        QTest::newRow("plain_values") << sqlServer << "db01" << "1433" << "master" << "sa" << "secret"
                                      << "Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;PWD=secret";
        QTest::newRow("other_port") << sqlServer << "10.0.0.5" << "2433" << "Sales" << "sa" << "x"
                                    << "Driver=SQL Server;Server=10.0.0.5,2433;Database=Sales;UID=sa;PWD=x";
        QTest::newRow("empty_port_means_1433")
            << sqlServer << "db01" << "" << "master" << "sa" << "secret"
            << "Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;PWD=secret";
        QTest::newRow("freetds_protocol_version")
            << freeTds << "db01" << "1433" << "master" << "sa" << "secret"
            << "Driver=FreeTDS;Server=db01,1433;Database=master;UID=sa;PWD=secret;TDS_Version=7.4;";
        QTest::newRow("microsoft_driver")
            << "ODBC Driver 18 for SQL Server" << "db01" << "1433" << "master" << "sa" << "secret"
            << "Driver=ODBC Driver 18 for SQL Server;Server=db01,1433;Database=master;UID=sa;PWD=secret";
        QTest::newRow("semicolon_in_password") << sqlServer << "db01" << "1433" << "master" << "sa" << "a;UID=x"
                                               << "Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;"
                                                  "PWD={a;UID=x};";
        QTest::newRow("open_brace_in_password") << sqlServer << "db01" << "1433" << "master" << "sa" << "p{w"
                                                << "Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;"
                                                   "PWD={p{w};";
        QTest::newRow("freetds_braced_password")
            << freeTds << "127.0.0.1" << "" << "master" << "sa" << "Vel;mora{pw"
            << "Driver=FreeTDS;Server=127.0.0.1,1433;Database=master;UID=sa;PWD={Vel;mora{pw};TDS_Version=7.4;";
        QTest::newRow("equals_in_user") << sqlServer << "db01" << "1433" << "master" << "dom=a" << "pw"
                                        << "Driver=SQL Server;Server=db01,1433;Database=master;UID={dom=a};PWD=pw";
        QTest::newRow("spaces_around_password")
            << sqlServer << "db01" << "1433" << "master" << "sa" << " pw "
            << "Driver=SQL Server;Server=db01,1433;Database=master;UID=sa;PWD={ pw };";
        QTest::newRow("inner_space_stays_plain")
            << sqlServer << "db01" << "1433" << "Sales Data" << "sa" << "p w"
            << "Driver=SQL Server;Server=db01,1433;Database=Sales Data;UID=sa;PWD=p w";
        QTest::newRow("semicolon_in_database")
            << sqlServer << "db01" << "1433" << "a;b" << "sa" << "pw"
            << "Driver=SQL Server;Server=db01,1433;Database={a;b};UID=sa;PWD=pw";
        QTest::newRow("semicolon_in_server")
            << sqlServer << "db01;x" << "1433" << "master" << "sa" << "pw"
            << "Driver=SQL Server;Server={db01;x,1433};Database=master;UID=sa;PWD=pw";
        QTest::newRow("chinese_stays_plain")
            << sqlServer << "db01" << "1433" << QStringLiteral("销售库") << QStringLiteral("用户")
            << QStringLiteral("密码")
            << QStringLiteral("Driver=SQL Server;Server=db01,1433;Database=销售库;UID=用户;PWD=密码");
        QTest::newRow("empty_values") << sqlServer << "db01" << "1433" << "" << "" << ""
                                      << "Driver=SQL Server;Server=db01,1433;Database=;UID=;PWD=";
    }
    void buildConnectionString()
    {
        QFETCH(QString, driver);
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        const SqlServerConnectionString built =
            BuildSqlServerConnectionString(driver, server, port, database, user, password);
        QVERIFY2(built.IsValid(), qPrintable(built.error));
        QCOMPARE(built.text, expected);
    }

    void closingBraceIsRefused_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("named");
        QTest::newRow("password") << "db01" << "1433" << "master" << "sa" << "a};b" << "password";
        QTest::newRow("password_lone_brace") << "db01" << "1433" << "master" << "sa" << "pw}" << "password";
        QTest::newRow("user") << "db01" << "1433" << "master" << "s}a" << "pw" << "user name";
        QTest::newRow("database") << "db01" << "1433" << "{x}" << "sa" << "pw" << "database name";
        QTest::newRow("server") << "db}01" << "1433" << "master" << "sa" << "pw" << "server";
        QTest::newRow("port") << "db01" << "14}33" << "master" << "sa" << "pw" << "port";
    }
    void closingBraceIsRefused()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, named);
        const SqlServerConnectionString built =
            BuildSqlServerConnectionString(QStringLiteral("FreeTDS"), server, port, database, user, password);
        QVERIFY(!built.IsValid());
        QVERIFY(built.text.isEmpty());
        QVERIFY2(built.error.contains(named), qPrintable(built.error));
        for (const QChar c : built.error)
            QVERIFY2(c.unicode() < 0x80, qPrintable(built.error));
    }

    void registeredDriversAreListed()
    {
        const QStringList drivers = InstalledOdbcDrivers();
        QVERIFY2(drivers.contains(QStringLiteral("FreeTDS")), qPrintable(drivers.join(u',')));
        QVERIFY2(drivers.contains(QStringLiteral("MariaDB Unicode")), qPrintable(drivers.join(u',')));
    }

    void unknownDriverReportsDriverManagerText()
    {
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        try {
            connection->Open(QStringLiteral("Driver=No Such Driver;Server=x"));
            QFAIL("opened with a driver that is not installed");
        } catch (const COdbcError& error) {
            QVERIFY2(error.Description().contains(QStringLiteral("No Such Driver")), qPrintable(error.Description()));
            QVERIFY(!error.Description().startsWith(error.SqlState()));
        }
        QCOMPARE(connection->State(), 0);
    }

    void closedConnectionRefusesStatements()
    {
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        QCOMPARE(connection->State(), 0);
        connection->Close();
        try {
            connection->Execute(QStringLiteral("select 1"));
            QFAIL("ran a statement without a connection");
        } catch (const COdbcError& error) {
            QCOMPARE(error.Description(), OdbcMessages::ObjectClosed());
        }
    }

    // FreeTDS tries the old protocol again when TDS_Version was not read, so
    // one failed attempt instead of two shows that the attribute after the
    // password, and so the password's end, was found.
    void freeTdsReadsPastBracedPassword_data()
    {
        QTest::addColumn<bool>("quoted");
        QTest::addColumn<int>("attempts");
        QTest::newRow("braced_by_builder") << true << 1;
        QTest::newRow("inserted_unchanged") << false << 2;
    }
    void freeTdsReadsPastBracedPassword()
    {
        QFETCH(bool, quoted);
        QFETCH(int, attempts);
        const RefusingPort refusing;
        QVERIFY(refusing.port() > 0);
        const QString password = QStringLiteral("Vel;mora{pw");
        const QString port = QString::number(refusing.port());
        QString text;
        if (quoted) {
            const SqlServerConnectionString built = BuildSqlServerConnectionString(
                QStringLiteral("FreeTDS"), QStringLiteral("127.0.0.1"), port, QStringLiteral("master"),
                QStringLiteral("sa"), password);
            QVERIFY(built.IsValid());
            text = built.text;
        } else {
            text = QStringLiteral("Driver=FreeTDS;Server=127.0.0.1,%1;Database=master;UID=sa;PWD=%2;TDS_Version=7.4;")
                       .arg(port, password);
        }
        const auto connection = COdbcConnection::Create();
        QVERIFY(connection);
        try {
            connection->Open(text);
            QFAIL("connected to a port nobody listens on");
        } catch (const COdbcError& error) {
            const QString description = error.Description();
            QVERIFY2(description.contains(QStringLiteral("Unable to connect to data source")), qPrintable(description));
            QCOMPARE(description.count(QStringLiteral("Adaptive Server is unavailable")), attempts);
        }
        QCOMPARE(connection->State(), 0);
    }
};

QTEST_GUILESS_MAIN(TestOdbcSqlServer)
#include "TestOdbcSqlServer.moc"
