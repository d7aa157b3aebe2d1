#include "catalog/CatalogQuery.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "db/SqlServerConnectionString.h"
#include "support/TdsPeer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kUser = u"velmora"_s;
const QString kDatabase = u"Sales"_s;

QString DescriptionOf(const std::function<void()>& call)
{
    try {
        call();
        return u"<no error>"_s;
    } catch (const COdbcError& error) {
        return error.Description();
    }
}

} // namespace

// Logins and statements straight through unixODBC and FreeTDS to the TDS
// peer; the window's road over the same stack is tested with the window.
class TestSqlServerPeer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_odbcDir; // private driver registry: the machine's stays untouched
    CTdsPeer m_peer{kUser, u"secret"_s};

    QString ConnectionString(const QString& database, const QString& password) const
    {
        return BuildSqlServerConnectionString(u"FreeTDS"_s, u"127.0.0.1"_s, QString::number(m_peer.Port()), database,
                                              kUser, password)
            .text;
    }
    // The error's text, or the number of rows the statement gave.
    static QString Outcome(COdbcConnection& connection, const QString& statement)
    {
        qsizetype rows = 0;
        const QString error = DescriptionOf([&] {
            COdbcRecordset recordset;
            recordset.Open(statement, connection);
            rows = recordset.RecordCount();
        });
        return error == u"<no error>" ? QString::number(rows) : error;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_odbcDir.isValid() && UsePrivateOdbc(m_odbcDir.path()));
        QVERIFY(RegisterOdbcDrivers(m_odbcDir.path(), {u"FreeTDS"_s}));
        QVERIFY(m_peer.Start());
        m_peer.AddDatabase({kDatabase, {{u"Orders"_s, {}, {TdsColumnDef::Declared(u"id"_s, u"int"_s)}}}});
    }
    void init() { m_peer.ClearLog(); }

    void login_data()
    {
        QTest::addColumn<QString>("serverPassword");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("failure"); // empty: connects
        QTest::newRow("plain") << u"secret"_s << u"secret"_s << u"master"_s << QString();
        QTest::newRow("semicolon_and_brace") << u"Vel;mora{pw"_s << u"Vel;mora{pw"_s << kDatabase << QString();
        QTest::newRow("equals_blanks_chinese") << u" 密=码 "_s << u" 密=码 "_s << kDatabase << QString();
        QTest::newRow("wrong_password") << u"secret"_s << u"Secret"_s << u"master"_s
                                        << u"Login failed for user 'velmora'."_s;
        QTest::newRow("missing_database")
            << u"secret"_s << u"secret"_s << u"Nowhere"_s
            << u"Cannot open database \"Nowhere\" requested by the login. The login failed."_s;
    }
    void login()
    {
        QFETCH(QString, serverPassword);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, failure);
        m_peer.SetCredentials(kUser, serverPassword);
        auto connection = COdbcConnection::Create();
        const QString error = DescriptionOf([&] { connection->Open(ConnectionString(database, password)); });
        // One attempt in TDS 7.4: the driver read the whole string.
        const std::vector<TdsLoginRecord> logins = m_peer.Logins();
        QCOMPARE(logins.size(), size_t{1});
        QCOMPARE(logins[0].tdsVersion, 0x74000004u);
        QCOMPARE(logins[0].database, database);
        if (failure.isEmpty()) {
            QCOMPARE(error, u"<no error>"_s);
            QCOMPARE(connection->State(), 1);
            QCOMPARE(Outcome(*connection, kCatalogProbe), u"0"_s);
            QCOMPARE(m_peer.Batches().at(0).database, database);
        } else {
            QVERIFY2(error.contains(failure), qPrintable(error));
            QVERIFY2(error.contains(u"Login failed for user 'velmora'."_s), qPrintable(error));
            QCOMPARE(connection->State(), 0);
        }
    }

    // A drifted statement fails a test instead of passing: the other
    // catalog's table statement, a version query, a quote left alone.
    void statementsOutsideTheProgramFail()
    {
        m_peer.SetCredentials(kUser, u"secret"_s);
        auto connection = COdbcConnection::Create();
        connection->Open(ConnectionString(kDatabase, u"secret"_s));
        QCOMPARE(Outcome(*connection, BuildCatalogQuery(kQueryTables, {}, kDatabase, 1)), u"1"_s);
        for (const QString& statement :
             {BuildCatalogQuery(kQueryTables, {}, kDatabase, 0), u"SELECT @@VERSION"_s,
              u"EXEC sp_addextendedproperty N'MS_Description',N'it's',N'USER',N'dbo',N'TABLE',N'Orders'"_s}) {
            const QString error = Outcome(*connection, statement);
            QVERIFY2(error.contains(u"does not know the statement: "_s + statement), qPrintable(error));
        }
    }

    void cleanupTestCase() { m_peer.Stop(); }
};

QTEST_GUILESS_MAIN(TestSqlServerPeer)
#include "TestSqlServerPeer.moc"
