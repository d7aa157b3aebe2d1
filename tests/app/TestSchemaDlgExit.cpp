#include "TestSchemaDlgHarness.h"

#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "support/TestServer.h"

#include <QPushButton>

// Exit closes a connection that is still open, through a real driver.
class TestSchemaDlgExit : public QObject
{
    Q_OBJECT
private slots:
    void exitClosesOpenConnection();
};

void TestSchemaDlgExit::exitClosesOpenConnection()
{
    const TestServer server = TestServer::Load();
    QVERIFY2(server.valid, "the MariaDB fixture did not start");

    WorkingFolder folder;
    RecordedWindow w;
    w.window->SetStartupFactories(
        [&server] {
            std::unique_ptr<COdbcConnection> connection = COdbcConnection::Create();
            try {
                connection->Open(QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;UID=%3;PWD=%4;")
                                     .arg(server.host, server.port, server.user,
                                          QuoteOdbcValue(server.password).value_or(QString())));
            } catch (const COdbcError& error) {
                qWarning("%s", error.what());
            }
            return connection;
        },
        [] { return std::make_unique<COdbcRecordset>(); });
    QVERIFY(w.Show());
    QVERIFY(w.messages.isEmpty());
    QCOMPARE(w.window->m_connection->State(), 1);

    QTest::mouseClick(qobject_cast<QPushButton*>(w.window->Control(1006)), Qt::LeftButton);
    QTRY_VERIFY(!w.window->isVisible());
    QCOMPARE(w.window->m_connection->State(), 0);
}

QTEST_MAIN(TestSchemaDlgExit)
#include "TestSchemaDlgExit.moc"
