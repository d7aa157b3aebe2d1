#include "support/WindowHarness.h"

#include "catalog/CatalogQuery.h"
#include "catalog/KeyQuery.h"
#include "edit/DescriptionStatements.h"
#include "support/TdsPeer.h"
#include "support/Zip.h"

#include <QComboBox>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

// The subcommands as a user runs them, beside the window's own export; the
// HTML and Word documents parsed back into blocks of text.

struct Exit { QStringList arguments; int status; QString error; };

struct Ran { int status; QByteArray out; QString err; };

// The real program without a display, as over ssh; standard output goes to
// `outFile` where one is named, as a shell redirection sends it.
static Ran Velmora(const QString& folder, const QStringList& arguments, const QString& password = {},
                   const QString& outFile = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "VELMORA_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    if (!password.isNull())
        env.insert(QStringLiteral("VELMORA_PASSWORD"), password);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    if (!outFile.isEmpty())
        process.setStandardOutputFile(outFile);
    process.start(QStringLiteral(VELMORA_PROGRAM), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, QStringLiteral("did not end")};
    return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

// The system's Python with python3-openpyxl, `b` the workbook named first:
// what the script prints, or "failed".
static QString Openpyxl(const QString& script, const QStringList& arguments)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), "import openpyxl,sys\nb=openpyxl.load_workbook(sys.argv[1])\n" + script} + arguments);
    const bool ran = python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    return ran ? QString::fromUtf8(python.readAllStandardOutput()) : QStringLiteral("failed");
}

// An edited file as a spreadsheet or a person hands it back, applied to the
// table r. `lines`: TSV lines after the header, or a workbook's Columns rows
// as XML, then after a line "Tables" its Tables rows (no such line: no Tables
// sheet), or for "openpyxl" Python statements on the export's workbook `b`,
// saved as the file. `base`: TSV lines of the file given as "base.txt";
// "self" names the file itself. `said`: lines each found in the errors;
// `out`: the whole output, where given.
struct Reading { QString kind; QStringList lines, base, options; int status; QString said, after, out = {}; };

// A workbook of the sheets Columns and, where given, Tables.
static bool WriteBook(const QString& path, const QStringList& lines)
{
    const QByteArray main = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
    const qsizetype split = lines.indexOf("Tables");
    const std::vector<QStringList> sheets = split < 0 ? std::vector{lines} : std::vector{lines.mid(0, split), lines.mid(split + 1)};
    QByteArray listed, relations;
    std::vector<std::pair<QByteArray, QByteArray>> parts;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        listed += "<sheet name=\"" + QByteArray(i ? "Tables" : "Columns") + "\" sheetId=\"" + n + "\" r:id=\"s" + n + "\"/>";
        relations += "<Relationship Id=\"s" + n + "\" Target=\"s" + n + ".xml\"/>";
        parts.push_back({"xl/s" + n + ".xml", "<worksheet" + main + "><sheetData>" + sheets[i].join("").toUtf8() + "</sheetData></worksheet>"});
    }
    parts.push_back({"xl/workbook.xml", "<workbook" + main + R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)" + listed + "</sheets></workbook>"});
    parts.push_back({"xl/_rels/workbook.xml.rels", R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + relations + "</Relationships>"});
    return WriteZip(path, parts);
}

// The blocks of the document's last section, from its heading on: an XHTML
// page's headings, paragraphs, items and cells, or a Word document's
// paragraphs, a break read as LF and a tab as TAB. Links are checked to
// reach their targets.
static QStringList LastSection(const QString& path, const QString& heading)
{
    static const QStringList html = {"h1", "h2", "h3", "p", "li", "th", "td"};
    const bool word = path.endsWith(".docx");
    const QByteArray bytes = word ? ZipEntry(path, "word/document.xml") : ReadAll(path);
    if (!word && (bytes.contains("<script") || bytes.contains("src=") || bytes.contains("url(")))
        return {"not self-contained"};
    QStringList blocks, links, targets;
    QXmlStreamReader xml(bytes); // XHTML-compatible: a plain XML reader takes it
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.qualifiedName().toString();
        const auto attribute = [&](const char* key) { return xml.attributes().value(key).toString(); };
        const bool block = word ? name == u"w:p" : html.contains(name);
        if (xml.isStartElement()) {
            if (block && depth++ == 0)
                blocks.append(QString());
            if (name == QLatin1String(word ? "w:hyperlink" : "a"))
                links.append(attribute(word ? "w:anchor" : "href"));
            if (word ? name == u"w:bookmarkStart" : xml.attributes().hasAttribute("id"))
                targets.append(word ? attribute("w:name") : u'#' + attribute("id"));
            if (word && (name == u"w:t" || name == u"w:br" || name == u"w:tab"))
                blocks.last() += name == u"w:t" ? xml.readElementText() : QString(name == u"w:br" ? "\n" : "\t");
        } else if (xml.isEndElement() && block) {
            --depth;
        } else if (xml.isCharacters() && depth > 0 && !word) {
            blocks.last() += xml.text();
        }
    }
    if (xml.hasError())
        return {"not well-formed: " + xml.errorString()};
    for (const QString& link : links)
        if (!targets.contains(link))
            return {"dangling link " + link};
    while (!blocks.isEmpty() && blocks.last().isEmpty())
        blocks.removeLast();
    const qsizetype at = blocks.lastIndexOf(heading);
    return at < 0 ? QStringList{"no heading in " + blocks.join('|')} : blocks.mid(at);
}

static const QStringList kColumns = {"名称", "类型", "长度", "小数", "空值", "主键", "自增", "默认", "描述"};
static const QStringList kIndexes = {"索引", "名称", "字段", "唯一", "主键"};
static const QStringList kKeys = {"外键", "名称", "字段", "引用表", "引用字段", "删除时", "更新时"};

class TestCommandLineExport : public QObject
{
    Q_OBJECT
    CMySqlClient m_admin;
    QTemporaryDir m_odbc; // private driver registry, passed on to the program
    QStringList m_full; // the server given in full, password from the environment
    QStringList m_orders; // the blocks of vel_doc's orders section

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
        Run(m_admin, "create view vel_cli.v as select id from vel_cli.Zeta");
        Run(m_admin, "create database vel_doc character set utf8mb4");
        Run(m_admin, "create table vel_doc.customers (id int auto_increment primary key, email varchar(80),"
                     " unique key uq_email (email))");
        Run(m_admin, "create table vel_doc.orders (id int auto_increment primary key, customer_id int not null"
                     " comment 'who\\r\\nordered <&>', placed datetime, key ix_cust (customer_id, placed),"
                     " constraint fk_cust foreign key (customer_id) references customers (id) on delete cascade)"
                     " comment 'a ]]> b\\Z\x01 &amp;'");
        m_orders = QStringList{"orders — a ]]> b\\x1A\\x01 &amp;"} + kColumns
            + QStringList{"id", "int", "10", "0", "", "√", "√", "", "", "customer_id", "int", "10", "0", "", "", "",
                          "", "who\nordered <&>", "placed", "datetime", "", "", "√", "", "", "NULL", ""}
            + kIndexes + QStringList{"PRIMARY", "id", "√", "√", "ix_cust", "customer_id, placed", "", ""} + kKeys
            + QStringList{"fk_cust", "customer_id", "customers", "id", "CASCADE", "RESTRICT"};
        // Sorted last: a view, with neither MySQL's "VIEW" nor indexes.
        Run(m_admin, "create view vel_doc.v_orders as select id from vel_doc.orders");
        Run(m_admin, "create database vel_none");
        m_full = {"--kind", "mysql", "--server", Server().host, "--port", Server().port, "--user", Server().user,
                  "--database", "vel_cli"};
    }
    void cleanupTestCase()
    {
        m_admin.Query("drop database if exists vel_cli");
        m_admin.Query("drop database if exists vel_doc");
        m_admin.Query("drop database if exists vel_none");
        m_admin.Query("drop database if exists vel_read");
    }

    // The server from the history the window wrote, with its stored password:
    // the same files as the window's export; its Word document and key sheets.
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
        // The view has no "VIEW" description: it is named on a sheet of its own.
        expected.removeLast();
        expected << "s:Table\ts:Description" << "s:alpha\t" << "s:Zeta\ts:Pipes | and" << "breaks <b>" << "s:View" << "s:v"
                 << "s:Table\ts:Index\ts:Columns\ts:Unique\ts:Primary" << "s:Zeta\ts:PRIMARY\ts:id\ts:√\ts:√"
                 << "s:Table\ts:Key\ts:Columns\ts:References\ts:Referenced columns\ts:On delete\ts:On update" << "";
        for (const char* book : {"cli.xlsx", "window.xlsx"})
            QCOMPARE(Openpyxl("for s in b:\n for r in s.iter_rows():\n"
                              "  print('\\t'.join('' if c.value is None else c.data_type+':'+c.value for c in r))",
                              {w.folder.filePath(book)}).split('\n'), expected);

        // Another database: a Word document, and the workbook's key sheets.
        Click(w->m_databaseList, "vel_doc");
        AnswerExport(w, w.folder.filePath("window.docx"));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).constLast(), Success(w.folder.filePath("window.docx")));
        QCOMPARE(LastSection(w.folder.filePath("window.docx"), m_orders[0]).mid(0, m_orders.size()), m_orders);
        QVERIFY(!LastSection(w.folder.filePath("window.docx"), "v_orders（视图）").contains("索引"));

        AnswerExport(w, w.folder.filePath("keys.xlsx"));
        Export(w);
        QCOMPARE(std::exchange(w.messages, {}).constLast(), Success(w.folder.filePath("keys.xlsx")));
        QCOMPARE(Openpyxl("for s in ('Indexes','Foreign keys'):\n for r in b[s].iter_rows(): print('|'.join(c.value or '' for c in r))",
                          {w.folder.filePath("keys.xlsx")}),
                 "Table|Index|Columns|Unique|Primary\ncustomers|PRIMARY|id|√|√\ncustomers|uq_email|email|√|\n"
                 "orders|PRIMARY|id|√|√\norders|ix_cust|customer_id, placed||\nTable|Key|Columns|References|"
                 "Referenced columns|On delete|On update\norders|fk_cust|customer_id|customers|id|CASCADE|RESTRICT\n");
    }

    // HTML and Word: over MySQL the contents, a table whole and a view without
    // indexes; over ODBC a table outside dbo and text beyond what GBK holds.
    void documents_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* file : {"d.html", "d.docx"})
            QTest::newRow(file) << QString(file);
    }
    void documents()
    {
        QFETCH(QString, file);
        QTemporaryDir folder;
        const Ran ran = Velmora(folder.path(), {"export", "--kind", "mysql", "--server", Server().host, "--port",
                                                   Server().port, "--user", Server().user, "--database", "vel_doc",
                                                   "-o", file}, Server().password);
        QVERIFY2(ran.status == 0, qPrintable(ran.err));
        QCOMPARE(LastSection(folder.filePath(file), "目录").mid(1, 3), (QStringList{"customers", m_orders[0], "v_orders（视图）"}));
        if (const QByteArray xml = ZipEntry(folder.filePath(file), "word/document.xml"); file.endsWith(".docx"))
            // each entry a link (targets checked as read), in a field whole with its separator
            QCOMPARE(QList<qsizetype>({xml.count("<w:hyperlink "), xml.count("\"separate\"")}), QList<qsizetype>({3, 1}));
        QCOMPARE(LastSection(folder.filePath(file), m_orders[0]).mid(0, m_orders.size()), m_orders);
        const QStringList view = LastSection(folder.filePath(file), "v_orders（视图）");
        QCOMPARE(view.mid(0, 11), QStringList{"v_orders（视图）"} + kColumns + QStringList{"id"});
        QVERIFY(!view.contains("索引") && !view.join('|').contains("VIEW"));

        // What XML cannot hold shows as escapes: controls, noncharacters, a lone surrogate.
        const QString description = "物品 <&> ]]>\x01 😀" + QString(QChar(0xFFFE)) + QChar(0xFFFF) + QChar(0xD83D) + "a" + QChar(0xDE00) + "\x1F";
        const std::vector<SqlServerName> items{{"sales", "Items"}};
        CTdsPeer peer("sa", "pw");
        peer.SetRoute([&](const QString& sql, const QString&) {
            if (sql == BuildCatalogQuery(kQueryTables, {}, {}, 1))
                return TdsReply({"name", "extpro", "schema"}, {{"Items", description, "sales"}});
            if (sql == BuildCatalogQuery(kQueryColumns, "Items", {}, 1, false, "sales"))
                return TdsReply(kColumnFields, {{"sku", "nvarchar", "-1", "0", "", "√", "", "", "😀编号"},
                                                {"oid", "int", "10", "0", "", "√", "", "", ""}});
            if (sql == BuildSqlServerIndexesOfTables(items))
                return TdsReply(kSqlServerIndexFields, {{"sales", "Items", "PK_Items", "sku", "1", "1"},
                                                        {"sales", "Items", "PK_Items", "oid", "1", "1"}});
            if (sql == BuildSqlServerForeignKeysOfTables(items))
                return TdsReply(kSqlServerForeignKeyFields, {{"sales", "Items", "FK_o", "oid", "dbo", "orders", "id",
                                                              "NO_ACTION", "SET_NULL"}});
            return sql == kCatalogProbe ? TdsReply() : TdsReply::Refusal("refused");
        });
        QVERIFY(peer.Start());
        const Ran odbc = Velmora(folder.path(), {"export", "--kind", "sqlserver", "--server", "127.0.0.1", "--port",
                                                   QString::number(peer.Port()), "--user", "sa", "--database", "S",
                                                   "-o", "s" + file}, "pw");
        QVERIFY2(odbc.status == 0, qPrintable(odbc.err));
        const QString heading = "sales.Items — 物品 <&> ]]>\\x01 😀\\uFFFE\\uFFFF\\uD83Da\\uDE00\\x1F";
        const QStringList expected = QStringList{heading} + kColumns
            + QStringList{"sku", "nvarchar", "MAX", "0", "", "√", "", "", "😀编号", "oid", "int", "10", "0", "", "√", "",
                          "", ""}
            + kIndexes + QStringList{"PK_Items", "sku, oid", "√", "√"} + kKeys
            + QStringList{"FK_o", "oid", "orders", "id", "NO ACTION", "SET NULL"};
        QCOMPARE(LastSection(folder.filePath("s" + file), heading), expected);
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
                 "# vel\\_cli\n\n## Contents\n\n- [alpha](#alpha)\n- [v](#v) (view)\n- [Zeta](#zeta)\n\n## alpha\n\n" + head +
                     "| e | varchar | 5 |  | √ |  |  | '1e5' |  |\n| f | varchar | 5 |  | √ |  |  | '=1+1' |  |\n"
                     "| g | decimal | 4 | 2 | √ |  |  | 0.00 |  |\n| t | varchar | 5 |  | √ |  |  | 'TRUE' |  |\n"
                     "\n**Indexes**\n\nNone.\n\n**Foreign keys**\n\nNone.\n"
                     "\n## v\n\n*View*\n\n" + head + "| id | int | 10 | 0 |  |  |  | 0 | a\\\\b |\n"
                     "\n## Zeta\n\nPipes \\| and<br>breaks &lt;b&gt;\n\n" + head +
                     "| id | int | 10 | 0 |  | √ | √ |  | a\\\\b |\n| code | varchar | 8 |  |  |  |  | '00000007' |  |\n"
                     "\n**Indexes**\n\n| Name | Columns | Unique | Primary |\n| --- | --- | --- | --- |\n"
                     "| PRIMARY | id | √ | √ |\n\n**Foreign keys**\n\nNone.\n");
        const Ran orders = Velmora(QDir::tempPath(), QStringList{"export", "--table", "orders"} + m_full.mid(0, 9) + QStringList{"vel_doc"},
                                   Server().password);
        QVERIFY2(orders.out.contains("| Name | Columns | References | Referenced columns | On delete | On update |\n| --- | --- | --- "
                                     "| --- | --- | --- |\n| fk\\_cust | customer\\_id | customers | id | CASCADE | RESTRICT |\n"), orders.out);
        const Ran text = Velmora(QDir::tempPath(), QStringList{"coverage"} + m_full, Server().password);
        QCOMPARE(text.status, 0);
        for (const char* line : {"Tables described:  1/2 (50.0%)", "Columns described: 1/6 (16.7%)",
                                 "alpha\tundescribed\tcolumns 0/4 (0.0%)", "table alpha\n", "column Zeta.code\n",
                                 "\nv\tview\n"})
            QVERIFY2(text.out.contains(line), line);
        const Ran json = Velmora(QDir::tempPath(), QStringList{"coverage", "--format", "json"} + m_full,
                                 Server().password);
        const QJsonObject root = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(root["describedColumns"].toInt(), 1);
        QCOMPARE(root["tablePercent"].toDouble(), 50.0);
        QCOMPARE(root["views"].toInt(), 1);
    }

    // What -o names is written, never replaced: a link stays a link and its
    // file gets the whole export; a FIFO's reader gets it. A full device or
    // standard output fails, naming it and why.
    void outputTargets_data()
    {
        QTest::addColumn<QString>("format");
        for (const char* format : {"tsv", "md", "xlsx"})
            QTest::newRow(format) << format;
    }
    void outputTargets()
    {
        QFETCH(QString, format);
        QTemporaryDir folder;
        const QString at = folder.path() + '/';
        const auto velmora = [&](const QStringList& arguments, const QString& out = {}) {
            return Velmora(folder.path(), QStringList{"export", "--format", format} + arguments + m_full, Server().password, out);
        };
        // A workbook's sheets, without the time it was made.
        const auto content = [&](const QString& path) {
            QProcess unzip;
            unzip.start("unzip", {"-p", path, "xl/worksheets/*"});
            unzip.waitForFinished(60000);
            return format == "xlsx" ? unzip.readAllStandardOutput() : ReadAll(path);
        };
        QCOMPARE(velmora({"-o", "plain"}).status, 0);
        const QByteArray expected = content(at + "plain");
        QVERIFY(expected.size() > 500);

        QVERIFY(QDir(at).mkdir("real") && QFile::copy(at + "plain", at + "real/old") && QFile::link("real/old", at + "link"));
        QCOMPARE(velmora({"-o", "link"}).status, 0);
        QVERIFY(QFileInfo(at + "link").isSymLink());
        QCOMPARE(content(at + "real/old"), expected);

        QCOMPARE(mkfifo(QFile::encodeName(at + "fifo").constData(), 0600), 0);
        QProcess reader;
        reader.setStandardOutputFile(at + "read");
        reader.start("cat", {at + "fifo"});
        QCOMPARE(velmora({"-o", "fifo"}).status, 0);
        QVERIFY(reader.waitForFinished(20000));
        QVERIFY(!QFileInfo(at + "fifo").isFile());
        QCOMPARE(content(at + "read"), expected);

        const bool toStandardOutput = format == "md";
        const Ran full = toStandardOutput ? velmora({}, "/dev/full") : velmora({"-o", "/dev/full"});
        QVERIFY2(full.status == 1 && full.err.contains((toStandardOutput ? "standard output" : "/dev/full") +
                                                       QString(": No space left on device")), qPrintable(full.err));
        if (toStandardOutput) { // the coverage report too
            const Ran report = Velmora(folder.path(), QStringList{"coverage"} + m_full, Server().password, "/dev/full");
            QVERIFY2(report.status == 1 && report.err.contains("standard output: No space left on device"),
                     qPrintable(report.err));
        }
    }

    // Without the password anywhere it is asked on the terminal with the
    // echo off; the echo is back after the answer, Ctrl-D and Ctrl-C.
    void passwordPrompt_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("status"); // the exit status, or minus the ending signal
        QTest::newRow("answered") << (Server().password.toUtf8() + "\n") << 0;
        QTest::newRow("input_ended") << QByteArray("\x04") << 2;
        QTest::newRow("interrupted") << QByteArray("\x03") << -SIGINT;
    }
    void passwordPrompt()
    {
        QFETCH(QByteArray, typed);
        QTemporaryDir folder;
        std::vector<QByteArray> arguments{VELMORA_PROGRAM, "coverage"};
        for (const QString& argument : m_full)
            arguments.push_back(argument.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int terminal = -1;
        const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (child == 0) {
            unsetenv("VELMORA_PASSWORD");
            if (chdir(QFile::encodeName(folder.path()).constData()) == 0)
                execv(argv[0], argv.data());
            _exit(127);
        }
        QVERIFY(child > 0);
        const auto readUntil = [&](const QByteArray& end) {
            QByteArray seen;
            pollfd wait{terminal, POLLIN, 0};
            char buffer[4096];
            while (!seen.contains(end) && poll(&wait, 1, 30000) == 1) {
                const ssize_t got = read(terminal, buffer, sizeof buffer);
                if (got <= 0)
                    break;
                seen.append(buffer, got);
            }
            return seen;
        };
        QVERIFY(readUntil("Password: ").endsWith("Password: "));
        termios mode{};
        QTRY_VERIFY_WITH_TIMEOUT(tcgetattr(terminal, &mode) == 0 && !(mode.c_lflag & ECHO), 5000);
        QCOMPARE(write(terminal, typed.constData(), size_t(typed.size())), ssize_t(typed.size()));
        const QByteArray rest = readUntil("\xFF"); // up to the end of the run
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ECHO));
        close(terminal);
        QVERIFY2(!rest.contains(Server().password.toUtf8()), rest);
        QTEST(WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status), "status");
    }

    void exitStatus_data()
    {
        QTest::addColumn<Exit>("run");
        const QStringList full = m_full;
        const auto port = [&](const char* number) { QStringList args = full; args[5] = number; return QStringList{"export"} + args; };
        QTest::newRow("no server") << Exit{port("1"), 1, "cannot read database"};
        QTest::newRow("no table") << Exit{QStringList{"export", "--table", "alpha", "--table", "gone", "-o", "x.md"} + full,
                                          1, "table 'gone' could not be read"};
        QTest::newRow("no database") << Exit{{"export", "--kind", "mysql", "--server", "h"}, 2, "--database"};
        QTest::newRow("format") << Exit{QStringList{"export", "-o", "x.pdf"} + full, 2, "unknown format 'pdf'"};
        QTest::newRow("option") << Exit{{"coverage", "--pass", "x"}, 2, "Unknown option 'pass'"};
        QTest::newRow("not in history") << Exit{{"export", "--server", "elsewhere", "--database", "d"}, 2, "not in the history"};
        QTest::newRow("covered") << Exit{QStringList{"coverage", "--min", "16"} + full, 0, ""};
        QTest::newRow("below") << Exit{QStringList{"coverage", "--min", "17"} + full, 1, "below 17%"};
        QStringList none = full;
        none.last() = "vel_none"; // nothing to describe: all of it is described
        QTest::newRow("at the minimum") << Exit{QStringList{"coverage", "--min", "100"} + none, 0, ""};
        QTest::newRow("no file") << Exit{QStringList{"apply"} + full, 2, "name the file to apply"};
        QTest::newRow("help") << Exit{{"apply", "--help"}, 0, ""};
        for (const char* bad : {"89842", "24306abc", "abc", "0"})
            QTest::addRow("port %s", bad) << Exit{port(bad), 2, "--port is a number from 1 to 65535"};
        QTest::newRow("min nan") << Exit{QStringList{"coverage", "--min", "nan"} + full, 2, "--min is a percentage"};
        QTest::newRow("settings first") << Exit{QStringList{"--user-settings", "coverage"} + full, 0, ""};
        QTest::newRow("version first") << Exit{QStringList{"-v", "export"} + full, 2, "'-v' goes after the command"};
        QTest::newRow("table twice") << Exit{QStringList{"export", "--table", "alpha", "--table", "alpha", "-o", "x.md"} + full, 0, ""};
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
        if (arguments.contains("x.md"))
            QCOMPARE(ReadAll(folder.filePath("x.md")).count("## alpha"), 1);
        if (arguments.contains("--help"))
            QVERIFY2(ran.out.startsWith("Usage: velmora apply [options] FILE\n"), ran.out);
    }

    // Over ODBC to the TDS peer: a table outside dbo shows as schema.name
    // and sorts by it; a refused column statement fails that table alone.
    void sqlServer()
    {
        CTdsPeer peer("sa", "pw");
        const TdsRoute listing = [](const QString& sql, const QString&) {
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
        };
        peer.SetRoute(listing);
        QVERIFY(peer.Start());
        QTemporaryDir folder;
        const QStringList sales{"--kind", "sqlserver", "--server", "127.0.0.1", "--port", QString::number(peer.Port()),
                                "--user", "sa", "--database", "Sales"};
        const Ran ran = Velmora(folder.path(), QStringList{"export", "-o", "s.txt"} + sales, "pw");
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains("the column query of table 'Gone' failed: ") &&
                     ran.err.contains("table 'Gone' could not be read"), qPrintable(ran.err));
        QCOMPARE(ReadAll(folder.filePath("s.txt")),
                 Utf16File({kHeader, "orders\tid\tint\t10\t0\t\t√\t√\t\t", "sales.Items\tsku\tnvarchar\tMAX\t0\t√\t\t\t\tx"}));

        // The file edited and applied: the property updated in its schema,
        // then read back.
        const SqlServerTable items{1, "sales", "Items"};
        const QString update = SqlServerColumnDescription(ExtendedPropertyProcedure("x"), "新", items, "sku");
        // orders.id lists as none but has an empty property: updated, not added.
        const SqlServerTable orders{1, "dbo", "orders"};
        const QString emptyUpdated = SqlServerColumnDescription(ExtendedPropertyProcedure("x"), "编号", orders, "id");
        peer.SetRoute([&](const QString& sql, const QString& database) {
            if (sql == SqlServerDescriptionCount(orders, "id"))
                return TdsReply({"found"}, {{"1"}});
            if (sql == update)
                return TdsReply();
            return sql == SqlServerDescriptionReadBack(items, "sku") ? TdsReply({"value"}, {{"新"}}) : listing(sql, database);
        });
        QVERIFY(WriteAll(folder.filePath("s.txt"), QString(kHeader + "\nsales.Items\tsku\t\t\t\t\t\t\t\t新\norders\tid\t\t\t\t\t\t\t\t编号\n").toUtf8()));
        const Ran applied = Velmora(folder.path(), QStringList{"apply", "s.txt"} + sales, "pw");
        // The server refuses the other: named with its words, the rest written.
        QVERIFY2(applied.status == 1 && applied.out.contains("sales.Items.sku: x → 新\n") &&
                     applied.err.contains("line 3: orders.id failed: ") && applied.err.contains("refused"),
                 qPrintable(applied.err));
        const std::vector<TdsBatch> batches = peer.Batches();
        for (const QString& sent : {update, emptyUpdated})
            QCOMPARE(std::count_if(batches.begin(), batches.end(), [&](const TdsBatch& batch) { return batch.text == sent; }), 1);
    }

    // Each edit and each fault of reading an edited file: exactly the edited
    // descriptions are written, every unusable line and conflict is named and
    // the rest applied, and nothing else of the table changes.
    void applyReading_data()
    {
        QTest::addColumn<Reading>("r");
        // Text cells from column A on, then `last` as it stands.
        const auto row = [](const QStringList& texts, const QString& last = {}) {
            QString xml = "<row>";
            for (const QString& text : texts)
                xml += "<c t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
            return xml + last + "</row>";
        };
        const auto description = [](const QString& inner) { return "<c r=\"J\"" + inner + "</c>"; };
        const QString header = row(kHeader.split('\t')), head = row({"Table", "Description"});
        // b and c: the export's own fields that start and end with a quote.
        const QString was = "l1\r\nl2|\"b|c\"|x\r\ny";
        QTest::newRow("tsv_quoted_break_tab") << Reading{"tsv", {"r\tb\t\t\t\t\t\t\t\t\"new\nline\tq \"\"x\"\"\"", "r\ta\t\t\t\t\t\t\t\t\"l1\nl2\""}, {}, {}, 0, "", "l1\r\nl2|new\nline\tq \"x\"|c\"|x\r\ny"};
        QTest::newRow("xlsx_formula_cached") << Reading{"xlsx", {header, row({"r", "b"}, description(R"( t="str"><f>"f"&amp;"v"</f><v>fv</v>)"))}, {}, {}, 1, "no Tables sheet: table descriptions not read", "l1\r\nl2|fv|c\"|x\r\ny"};
        QTest::newRow("xlsx_formula_uncomputed") << Reading{"xlsx", {header, row({"r", "b"}, description("><f>1+1</f><v></v>")), "Tables", head, row({"r"}, R"(<c t="e"><v>#N/A</v></c>)")}, {}, {}, 1, "Columns row 2: the description cell holds a formula without a computed value", was};
        QTest::newRow("xlsx_error_cell") << Reading{"xlsx", {header, row({"r", "c"}, description(R"( t="e"><v>#NAME?</v>)")), "Tables", head}, {}, {}, 1, "Columns row 2: the description cell holds the error #NAME?", was};
        QTest::newRow("xlsx_line_breaks_lf") << Reading{"xlsx", {header, row({"r", "a", "", "", "", "", "", "", "", "l1\nl2"}), "Tables", head, row({"r", "x\ny"})}, {}, {}, 0, "", was};
        QTest::newRow("xlsx_not_an_export") << Reading{"xlsx", {row({"r", "b", "", "", "", "", "", "", "", "new"})}, {}, {}, 2, "the first sheet does not start with the export's header", was};
        QTest::newRow("xlsx_too_large") << Reading{"xlsx", {header, QString(33 << 20, ' ')}, {}, {}, 2, "larger than 32 MiB", was};
        QTest::newRow("base_of_another_database") << Reading{"tsv", {"r\tb\t\t\t\t\t\t\t\tnew"}, {"zz\tb\t\t\t\t\t\t\t\tb"}, {"--base", "base.txt"}, 2, "it is of another database", was};
        QTest::newRow("base_sharing_under_half") << Reading{"tsv", {"r\tb\t\t\t\t\t\t\t\tnew", "r\tc\t\t\t\t\t\t\t\tc", "r\ta\t\t\t\t\t\t\t\tl1；l2"}, {"r\tb\t\t\t\t\t\t\t\tb"}, {"--base", "base.txt"}, 2, "shares only 1 of the file's 3 lines", was};
        QTest::newRow("force_without_base") << Reading{"tsv", {"r\tb\t\t\t\t\t\t\t\tnew"}, {}, {"--force"}, 2, "--force goes with --base", was};
        QTest::newRow("own_tsv_as_base") << Reading{"export.txt", {}, {}, {"--base", "self"}, 0, "", was};
        QTest::newRow("own_xlsx_as_base") << Reading{"export.xlsx", {}, {}, {"--base", "self"}, 0, "", was};
        const QString none = ", refused 0, failed 0, conflicts 0, unusable lines 0\n";
        QTest::newRow("own_tsv_untouched") << Reading{"export.txt", {}, {}, {}, 0, "", was, "changed 0, unchanged 4" + none};
        QTest::newRow("own_xlsx_untouched") << Reading{"export.xlsx", {}, {}, {}, 0, "", was, "changed 0, unchanged 5" + none};
        QTest::newRow("missing_file") << Reading{"none", {}, {}, {}, 2, "cannot use", was};
        QTest::newRow("dry_run") << Reading{"tsv", {"r\ta\t\t\t\t\t\t\t\t编号", "r\tb\t\t\t\t\t\t\t\t\"键 \"\"k\"\"\"", "r\tc\t\t\t\t\t\t\t\tc\""}, {}, {"--dry-run"}, 0, "", was,
                                            "Without --base every description that differs from the server's is written.\nr.a: l1；l2 → 编号\n"
                                            "r.b: \"b → 键 \"k\"\nwould change 2, unchanged 1" + none};
        // The base says b as the file does: not an edit, though the server's differs.
        QTest::newRow("xlsx_saved_by_a_spreadsheet") << Reading{"openpyxl", {"b['Columns']['J3']='was'", "b.save(sys.argv[3])", "b['Tables']['B2']='产品'"}, {}, {"--base", "base.xlsx"}, 0, "", "l1\r\nl2|\"b|c\"|产品"};
        QTest::newRow("unusable_lines") << Reading{"tsv", {"gone\tid\t\t\t\t\t\t\t\tx", "r\tqtx\t\t\t\t\t\t\t\tx", "r\ta\t\t\t\t\t\t\t\t数量😀", "r\tname", "r\tb\t\t\t\t\t\t\t\tgood", "v\ta\t\t\t\t\t\t\t\tx"}, {}, {}, 1,
            "line 2: the database has no table gone\nline 3: table r has no column qtx\nline 4: refused, the server cannot store the character U+1F600\n"
            "line 5: 2 fields where there should be 10\nline 7: refused, a view; views hold no descriptions on this server: v.a", "l1\r\nl2|good|c\"|x\r\ny"};
        // a: edited; b: changed on the server since the base; c: as in the base.
        const QStringList edited{"r\ta\t\t\t\t\t\t\t\tnew", "r\tb\t\t\t\t\t\t\t\tmine", "r\tc\t\t\t\t\t\t\t\tc0"};
        const QStringList base{"r\ta\t\t\t\t\t\t\t\tl1；l2", "r\tb\t\t\t\t\t\t\t\tb0", "r\tc\t\t\t\t\t\t\t\tc0"};
        QTest::newRow("conflict_kept") << Reading{"tsv", edited, base, {"--base", "base.txt"}, 1, "line 3: r.b changed on the server since the base, kept: \"b (the file has mine)", "new|\"b|c\"|x\r\ny",
                                                  "r.a: l1；l2 → new\nchanged 1, unchanged 1, refused 0, failed 0, conflicts 1, unusable lines 0\n"};
        QTest::newRow("conflict_forced") << Reading{"tsv", edited, base, {"--base", "base.txt", "--force"}, 0, "", "new|mine|c\"|x\r\ny",
                                                    "r.a: l1；l2 → new\nr.b: \"b → mine\nchanged 2, unchanged 1" + none};
    }
    void applyReading()
    {
        QFETCH(Reading, r);
        Run(m_admin, "drop database if exists vel_read");
        Run(m_admin, "create database vel_read character set utf8mb4");
        Run(m_admin, "create table vel_read.r (a int comment 'l1\\r\\nl2', b varchar(20) not null default 'x' comment '\"b',"
                     " c decimal(8,2) unsigned comment 'c\"') comment 'x\\r\\ny'");
        Run(m_admin, "create view vel_read.v as select a from vel_read.r");
        static const QRegularExpression comment(" COMMENT[ =]'(?:[^'\\\\]|\\\\.|'')*'");
        const auto definition = [&] {
            Run(m_admin, "show create table vel_read.r");
            return FromMySql(m_admin.GetValue(0, 1)).remove(comment);
        };
        const QString defined = definition();
        QStringList full = m_full;
        full.last() = "vel_read";
        QTemporaryDir folder;
        const bool spreadsheet = r.kind == "openpyxl";
        const QString file = folder.filePath(r.kind.startsWith("export") ? r.kind : spreadsheet ? "edited.xlsx" : "edited." + r.kind);
        if (r.kind.startsWith("export") || spreadsheet)
            QCOMPARE(Velmora(folder.path(), QStringList{"export", "-o", spreadsheet ? "export.xlsx" : file} + full, Server().password).status, 0);
        if (spreadsheet) {
            QCOMPARE(Openpyxl(r.lines.join('\n') + "\nb.save(sys.argv[2])", {folder.filePath("export.xlsx"), file, folder.filePath("base.xlsx")}), "");
        } else if (r.kind == "xlsx") {
            QVERIFY(WriteBook(file, r.lines));
        }
        for (const auto& [path, lines] : {std::pair(r.kind == "tsv" ? file : QString(), r.lines), std::pair(folder.filePath("base.txt"), r.base)})
            QVERIFY(path.isEmpty() || WriteAll(path, (QStringList{kHeader} + lines).join("\n").toUtf8()));
        const Ran ran = Velmora(folder.path(), QStringList{"apply"} + r.options.replaceInStrings("self", file) + full + QStringList{file},
                                Server().password);
        QVERIFY2(ran.status == r.status && (r.out.isEmpty() || ran.out == r.out.toUtf8()), qPrintable(QString::number(ran.status) + ": " + ran.out + ran.err));
        for (const QString& said : r.said.split('\n'))
            QVERIFY2(ran.err.contains(said), qPrintable(ran.err));
        QCOMPARE(definition(), defined);
        Run(m_admin, "select column_comment from information_schema.columns where table_schema='vel_read' and table_name='r' "
                     "union all select table_comment from information_schema.tables where table_schema='vel_read' and table_name='r'");
        QStringList after;
        for (int row = 0; row < m_admin.RowCount(); ++row)
            after << FromMySql(m_admin.GetValue(row, 0));
        QCOMPARE(after.join('|'), r.after);
    }

    // Qt's own save dialog puts a type's suffix in place of whatever follows
    // the last dot; the default name keeps its dots, the type's suffix added.
    void saveDialogType_data()
    {
        QTest::addColumn<QString>("filter");
        for (const char* filter : {"Word Document (*.docx)", "HTML Page (*.html)", "Excel Workbook (*.xlsx)"})
            QTest::newRow(filter) << QString(filter);
    }
    void saveDialogType()
    {
        QFETCH(QString, filter);
        Window w;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* types = dialog ? dialog->findChild<QComboBox*>("fileTypeCombo") : nullptr;
            if (types) { // as a choice in the list: the index changes, then the choice is announced
                const int index = types->findText(filter);
                types->setCurrentIndex(index);
                emit types->activated(index);
                emit types->textActivated(filter);
            }
            if (dialog)
                static_cast<QDialog*>(dialog)->accept(); // the dialog's own check of the name runs
        });
        QCOMPARE(QFileInfo(w->SaveFileDialog("127.0.0.1-shop")).fileName(), "127.0.0.1-shop." + filter.section('.', -1).chopped(1));
    }
};

QTEST_MAIN(TestCommandLineExport)
#include "TestCommandLineExport.moc"
