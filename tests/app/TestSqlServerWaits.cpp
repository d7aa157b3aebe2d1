#include "TestWindowDriving.h"

#include "db/OdbcConnection.h"
#include "support/TdsPeer.h"

#include <QTcpServer>

// The waits of the SQL Server road (unixODBC with FreeTDS) are bounded, and
// Exit closes within its bound whether or not the wait can be cut.

class TestSqlServerWaits : public QObject
{
    Q_OBJECT
    QTemporaryDir m_odbcDir;
    CTdsPeer m_peer{"sa", "pw"};

private slots:
    void initTestCase()
    {
        QVERIFY(m_odbcDir.isValid() && UsePrivateOdbc(m_odbcDir.path()));
        QVERIFY(RegisterOdbcDrivers(m_odbcDir.path(), {"FreeTDS"}));
        QVERIFY(m_peer.Start());
    }

    // silent: a listener that never answers, else the peer answering each
    // login and statement after 4 s.
    void waits_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("exit");
        QTest::newRow("login_timeout") << true << false;
        QTest::newRow("statement_timeout") << false << false;
        QTest::newRow("exit_in_login") << true << true;
        QTest::newRow("exit_in_statement") << false << true;
    }
    void waits()
    {
        QFETCH(bool, silent);
        QFETCH(bool, exit);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        m_peer.SetReplyDelay(4000);
        m_peer.ClearLog();
        Window w;
        // The peer's login takes 4 s; a silent login is cut, or waited for after Exit.
        w->m_connection->m_timeouts = {silent ? (exit ? 3u : 1u) : 10u, exit ? 60u : 1u, 5u};
        Retype(w->m_serverCombo, "127.0.0.1");
        QTest::keyClick(w->m_serverCombo, Qt::Key_Tab);
        PickKind(w, 0);
        Retype(w.Edit(1017), QString::number(silent ? listener.serverPort() : m_peer.Port()));
        Retype(w.Edit(1013), "sa");
        Retype(w.Edit(1014), "pw");
        QElapsedTimer waited;
        waited.start();
        w->OnConnect();
        if (exit) {
            if (!silent)
                QTRY_VERIFY_WITH_TIMEOUT(!m_peer.Batches().empty(), 10000);
            waited.restart();
            QTest::mouseClick(qobject_cast<QPushButton*>(w->Control(1006)), Qt::LeftButton);
            QVERIFY2(waited.elapsed() < 2000, qPrintable(QString::number(waited.elapsed())));
            // A worker still waiting (a login, or a cancel the server does
            // not answer) is left behind; the program does not wait for it.
            QVERIFY(!w->isVisible());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->WorkerRunning(), 20000);
        // The statement's answer would have come after 8 s.
        QVERIFY2(waited.elapsed() >= 1000 && waited.elapsed() < 7000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(m_peer.Batches().empty(), silent);
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(std::exchange(w.messages, {}).first().startsWith("警告|0x30|"));
    }

    void cleanupTestCase() { m_peer.Stop(); }
};

QTEST_MAIN(TestSqlServerWaits)
#include "TestSqlServerWaits.moc"
