#include "TestSchemaDlgHarness.h"

#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"

#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

QStringList ServerBoxItems(const CSchemaDlg& window)
{
    QStringList items;
    for (int i = 0; i < window.m_serverCombo->count(); ++i)
        items.append(window.m_serverCombo->itemText(i));
    return items;
}

bool HasLine(const QByteArray& text, const QString& pattern)
{
    const QRegularExpression line(pattern, QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(text)).hasMatch();
}

} // namespace

class TestSchemaDlgStartup : public QObject
{
    Q_OBJECT
private slots:
    void firstStartWritesEmptyHistory();
    void history_data();
    void history();
    void startupFailure_data();
    void startupFailure();
    void startRunsOnceOnFirstShow();
};

void TestSchemaDlgStartup::firstStartWritesEmptyHistory()
{
    WorkingFolder folder;
    RecordedWindow w;
    QVERIFY(w.Show());

    QVERIFY(w.messages.isEmpty());
    QCOMPARE(w.window->m_serverCombo->count(), 0);
    QCOMPARE(w.window->m_serverCombo->currentText(), QString());
    const QByteArray settings = WorkingFolder::ReadSettings();
    QVERIFY2(HasLine(settings, QStringLiteral("^\\[Database\\]\\s*$")), settings.constData());
    QVERIFY2(HasLine(settings, QStringLiteral("^Server1=\\s*$")), settings.constData());
    QVERIFY(w.window->m_connection);
    QVERIFY(w.window->m_recordset);
}

void TestSchemaDlgStartup::history_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("addedKey");

    QTest::newRow("newest_first") << QByteArray("[Database]\nServer1=a\nServer2=b\nServer3=c\n")
                                  << QStringList{"c", "b", "a"} << QStringLiteral("Server4");
    QTest::newRow("stops_at_gap") << QByteArray("[Database]\nServer1=a\nServer3=c\n") << QStringList{"a"}
                                  << QStringLiteral("Server2");
    QTest::newRow("empty_first") << QByteArray("[Database]\nServer1=\nServer2=b\n") << QStringList{}
                                 << QString();
    const QString longName = QString(60, u'x');
    QTest::newRow("long_name_cut") << QByteArray("[Database]\nServer1=") + longName.toLatin1() + "\n"
                                   << QStringList{QString(49, u'x')} << QStringLiteral("Server2");
}

void TestSchemaDlgStartup::history()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, listed);
    QFETCH(QString, addedKey);

    WorkingFolder folder;
    WorkingFolder::WriteSettings(settings);
    RecordedWindow w;
    QVERIFY(w.Show());

    QVERIFY(w.messages.isEmpty());
    QCOMPARE(ServerBoxItems(*w.window), listed);
    for (int i = 0; i < w.window->m_serverCombo->count(); ++i)
        QVERIFY(!w.window->m_serverCombo->itemIcon(i).isNull());
    // Filling the box chooses nothing.
    QCOMPARE(w.window->m_serverCombo->currentText(), QString());
    if (!addedKey.isEmpty()) {
        const QByteArray after = WorkingFolder::ReadSettings();
        QVERIFY2(HasLine(after, QStringLiteral("^%1=\\s*$").arg(addedKey)), after.constData());
    }
}

void TestSchemaDlgStartup::startupFailure_data()
{
    QTest::addColumn<bool>("connectionFails");
    QTest::addColumn<QString>("message");

    QTest::newRow("connection") << true << QStringLiteral("初始化Connection Instance错误!");
    QTest::newRow("recordset") << false << QStringLiteral("初始化Recordset Instance错误!");
}

void TestSchemaDlgStartup::startupFailure()
{
    QFETCH(bool, connectionFails);
    QFETCH(QString, message);

    WorkingFolder folder;
    WorkingFolder::WriteSettings("[Database]\nServer1=a\n");
    RecordedWindow w;
    w.window->SetStartupFactories(
        [connectionFails]() -> std::unique_ptr<COdbcConnection> {
            return connectionFails ? nullptr : COdbcConnection::Create();
        },
        [] { return std::unique_ptr<COdbcRecordset>(); });
    QVERIFY(w.Show());

    QCOMPARE(w.messages.size(), 1);
    QCOMPARE(w.messages[0].text, message);
    QCOMPARE(w.messages[0].caption, QStringLiteral("错误"));
    QCOMPARE(w.messages[0].style, 0x10u);
    QCOMPARE(bool(w.window->m_connection), !connectionFails);
    // The later steps did not run: no history, no columns.
    QCOMPARE(w.window->m_serverCombo->count(), 0);
    for (QTreeWidget* list : {w.window->m_databaseList, w.window->m_tableList, w.window->m_columnList})
        QCOMPARE(list->columnCount(), 0);
    // The window still works far enough to be closed.
    QVERIFY(w.window->isVisible());
    QTest::mouseClick(qobject_cast<QPushButton*>(w.window->Control(1006)), Qt::LeftButton);
    QTRY_VERIFY(!w.window->isVisible());
    QCOMPARE(w.messages.size(), 1);
}

void TestSchemaDlgStartup::startRunsOnceOnFirstShow()
{
    WorkingFolder folder;
    WorkingFolder::WriteSettings("[Database]\nServer1=a\nServer2=b\n");
    RecordedWindow w;
    // Nothing is read before the window is shown.
    QCOMPARE(w.window->m_serverCombo->count(), 0);
    QVERIFY(w.Show());
    QCOMPARE(ServerBoxItems(*w.window), (QStringList{"b", "a"}));
    w.window->hide();
    w.window->show();
    QCOMPARE(ServerBoxItems(*w.window), (QStringList{"b", "a"}));
    QCOMPARE(w.window->m_columnList->columnCount(), 9);
}

QTEST_MAIN(TestSchemaDlgStartup)
#include "TestSchemaDlgStartup.moc"
