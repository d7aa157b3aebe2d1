#include "../app/ExportDriving.h"
#include "../app/MySqlWindow.h"

#include "catalog/CatalogQuery.h"
#include "support/TdsPeer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>

// The subcommands as a user runs them: the real program without a display,
// against the private MariaDB, beside the window's own export.

struct Exit { QStringList arguments; int status; QString error; };

struct Ran {
    int status;
    QByteArray out;
    QString err;
};

static Ran Velmora(const QString& folder, const QStringList& arguments, const QString& password = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "VELMORA_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    if (!password.isNull())
        env.insert(QStringLiteral("VELMORA_PASSWORD"), password);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(VELMORA_PROGRAM), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, QStringLiteral("did not end")};
    return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

class TestCommandLineExport : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    QTemporaryDir m_odbc; // private driver registry, passed on to the program
    QStringList m_full; // the server given in full, password from the environment

private slots:
    void initTestCase()
    {
        QVERIFY2(ConnectClient(m_admin), "the private MariaDB is not running");
        QVERIFY(UsePrivateOdbc(m_odbc.path()) && RegisterOdbcDrivers(m_odbc.path(), {"FreeTDS"}));
        Run(m_admin, "create database vel_cli character set utf8mb4");
        Run(m_admin, "create table vel_cli.Zeta (id int auto_increment primary key comment 'a\\\\b',"
                     " code varchar(8) not null default '00000007') comment 'Pipes | and\\nbreaks <b>'");
        Run(m_admin, "create table vel_cli.alpha (e varchar(5) default '1e5', f varchar(5) default '=1+1',"
                     " g decimal(4,2) default 0.00, t varchar(5) default 'TRUE')");
        m_full = {"--kind", "mysql", "--server", Server().host, "--port", Server().port, "--user", Server().user,
                  "--database", "vel_cli"};
    }
    void cleanupTestCase() { m_admin.Query("drop database if exists vel_cli"); }

    // The server from the history the window wrote, with its stored password:
    // the same file as the window's export, and every xlsx cell the same text.
    void sameAsTheWindow()
    {
        Window w;
        const QString windowFile = w.folder.filePath("window.txt");
        AnswerExport(w, windowFile);
        ConnectTestServer(w);
        Click(w->m_databaseList, "vel_cli");
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).size(), 2); // the question and the success
        const QStringList history{"--server", Server().host, "--database", "vel_cli"};
        const Ran tsv = Velmora(w.folder.path(), QStringList{"export", "-o", "cli.txt"} + history);
        QCOMPARE(tsv.status, 0);
        QCOMPARE(ReadAll(w.folder.filePath("cli.txt")), ReadAll(windowFile));

        QCOMPARE(Velmora(w.folder.path(), QStringList{"export", "-o", "cli.xlsx"} + history).status, 0);
        AnswerExport(w, w.folder.filePath("window.xlsx"));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).constLast(), Success(w.folder.filePath("window.xlsx")));
        QStringList expected = QString(QStringDecoder(QStringDecoder::Utf16LE)(ReadAll(windowFile).mid(2))).split("\r\n");
        for (QString& line : expected)
            line.replace(QRegularExpression("([^\t]+)"), "s:\\1");
        for (const char* book : {"cli.xlsx", "window.xlsx"}) {
            QProcess python; // the system's, with python3-openpyxl
            python.start("/usr/bin/python3", {"-c", "import openpyxl,sys\n"
                                       "for r in openpyxl.load_workbook(sys.argv[1])['Columns'].iter_rows():\n"
                                       " print('\\t'.join('' if c.value is None else c.data_type+':'+c.value for c in r))",
                                 w.folder.filePath(book)});
            QVERIFY(python.waitForFinished(60000));
            QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split('\n'), expected);
        }
    }

    // What the two subcommands print for a server given in full.
    void markdownAndCoverage()
    {
        const Ran md = Velmora(QDir::tempPath(), QStringList{"export"} + m_full, Server().password);
        QCOMPARE(md.status, 0);
        const QString rule = "| --- | --- | --- | --- | --- | --- | --- | --- | --- |\n";
        const QString head = "| Column | Type | Length | Scale | Nullable | Primary key | Auto increment | Default | "
                             "Description |\n" + rule;
        QCOMPARE(QString::fromUtf8(md.out),
                 "# vel\\_cli\n\n## Contents\n\n- [alpha](#alpha)\n- [Zeta](#zeta)\n\n## alpha\n\n" + head +
                     "| e | varchar | 5 |  | √ |  |  | '1e5' |  |\n| f | varchar | 5 |  | √ |  |  | '=1+1' |  |\n"
                     "| g | decimal | 4 | 2 | √ |  |  | 0.00 |  |\n| t | varchar | 5 |  | √ |  |  | 'TRUE' |  |\n"
                     "\n## Zeta\n\nPipes \\| and<br>breaks &lt;b&gt;\n\n" + head +
                     "| id | int | 10 | 0 |  | √ | √ |  | a\\\\b |\n| code | varchar | 8 |  |  |  |  | '00000007' |  |\n");
        const Ran text = Velmora(QDir::tempPath(), QStringList{"coverage"} + m_full, Server().password);
        QCOMPARE(text.status, 0);
        for (const char* line : {"Tables described:  1/2 (50.0%)", "Columns described: 1/6 (16.7%)",
                                 "alpha\tundescribed\tcolumns 0/4 (0.0%)", "table alpha\n", "column Zeta.code\n"})
            QVERIFY2(text.out.contains(line), line);
        const Ran json = Velmora(QDir::tempPath(), QStringList{"coverage", "--format", "json"} + m_full,
                                 Server().password);
        const QJsonObject root = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(root["describedColumns"].toInt(), 1);
        QCOMPARE(root["tablePercent"].toDouble(), 50.0);
    }

    void exitStatus_data()
    {
        QTest::addColumn<Exit>("run");
        const QStringList full = m_full;
        QStringList wrongPort = full;
        wrongPort[5] = "1";
        QTest::newRow("no server") << Exit{QStringList{"export"} + wrongPort, 1, "cannot read database"};
        QTest::newRow("no table") << Exit{QStringList{"export", "--table", "alpha", "--table", "gone", "-o", "x.md"} + full,
                                          1, "table 'gone' could not be read"};
        QTest::newRow("no database") << Exit{{"export", "--kind", "mysql", "--server", "h"}, 2, "--database"};
        QTest::newRow("format") << Exit{QStringList{"export", "-o", "x.pdf"} + full, 2, "unknown format 'pdf'"};
        QTest::newRow("option") << Exit{{"coverage", "--pass", "x"}, 2, "Unknown option 'pass'"};
        QTest::newRow("not in history") << Exit{{"export", "--server", "elsewhere", "--database", "d"}, 2, "not in the history"};
        QTest::newRow("covered") << Exit{QStringList{"coverage", "--min", "16"} + full, 0, ""};
        QTest::newRow("below") << Exit{QStringList{"coverage", "--min", "17"} + full, 1, "below 17%"};
    }
    void exitStatus()
    {
        QFETCH(Exit, run);
        const auto& [arguments, status, error] = run;
        QTemporaryDir folder;
        const Ran ran = Velmora(folder.path(), arguments, Server().password);
        QVERIFY2(ran.status == status && (error.isEmpty() ? ran.err.isEmpty() : ran.err.contains(error)),
                 qPrintable(QString::number(ran.status) + ": " + ran.err));
        // A failed table leaves the others written; nothing half-made stays.
        if (arguments.contains("gone"))
            QVERIFY(ReadAll(folder.filePath("x.md")).contains("## alpha"));
    }

    // Over ODBC to the TDS peer: a table outside dbo shows as schema.name
    // and sorts by it; a refused column statement fails that table alone.
    void sqlServer()
    {
        CTdsPeer peer("sa", "pw");
        peer.SetRoute([](const QString& sql, const QString&) {
            const auto columns = [&](const char* schema, const char* table) {
                return sql == BuildCatalogQuery(kQueryColumns, table, {}, 1, false, schema);
            };
            if (sql == BuildCatalogQuery(kQueryTables, {}, {}, 1))
                return TdsReply({"name", "extpro", "schema"},
                                {{"Items", "", "sales"}, {"orders", "", "dbo"}, {"Gone", "", "dbo"}});
            if (columns("sales", "Items"))
                return TdsReply(kColumnFields, {{"sku", "nvarchar", "-1", "0", "√", "", "", "", "x"}});
            if (columns("dbo", "orders"))
                return TdsReply(kColumnFields, {{"id", "int", "10", "0", "", "√", "√", "", ""}});
            return sql == kCatalogProbe ? TdsReply() : TdsReply::Refusal("refused");
        });
        QVERIFY(peer.Start());
        QTemporaryDir folder;
        const Ran ran = Velmora(folder.path(), {"export", "--kind", "sqlserver", "--server", "127.0.0.1", "--port",
                                                QString::number(peer.Port()), "--user", "sa", "--database", "Sales",
                                                "-o", "s.txt"}, "pw");
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains("table 'Gone' could not be read"), qPrintable(ran.err));
        QCOMPARE(ReadAll(folder.filePath("s.txt")),
                 Utf16File({kHeader, "orders\tid\tint\t10\t0\t\t√\t√\t\t", "sales.Items\tsku\tnvarchar\tMAX\t0\t√\t\t\t\tx"}));
    }
};

QTEST_MAIN(TestCommandLineExport)
#include "TestCommandLineExport.moc"
