// Times the window's table and column listings, and its structure export of
// a whole database, against the same reading through libmariadb directly.
// Prints Markdown tables; asserts no timing, but exits non-zero when an
// export did not write the file it should have.
//   bench_listing DATABASE TABLE [EXPORT_DATABASE]
// (server from VELMORA_DB_HOST/PORT/USER/PASS)

#include "app/SchemaDlg.h"
#include "catalog/CatalogQuery.h"
#include "db/MySqlText.h"

#include "support/TcpRelay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

QString g_folder; // the temporary working folder, removed also on failure

struct Timing {
    int runs = 0;
    double median = 0, min = 0, max = 0;
};

Timing Summary(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {int(values.size()), values[values.size() / 2], values.front(), values.back()};
}

double Elapsed(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

Timing Time(const std::function<void()>& run, int repeats)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(Elapsed(start));
    }
    return Summary(times);
}

[[noreturn]] void Fail(const QString& why)
{
    std::fprintf(stderr, "bench_listing: %s\n", qPrintable(why));
    if (!g_folder.isEmpty())
        QDir(g_folder).removeRecursively();
    std::exit(1);
}

struct DirectResult {
    size_t rows = 0;
    size_t bytes = 0;
};

// Connect, "set names gbk", query, store, touch every value, close.
DirectResult Direct(const QString& statement)
{
    MYSQL mysql;
    mysql_init(&mysql);
    mysql_options(&mysql, MYSQL_SET_CHARSET_NAME, "gbk");
    const QByteArray host = Env("VELMORA_DB_HOST").toUtf8(), user = Env("VELMORA_DB_USER").toUtf8(),
                     pass = Env("VELMORA_DB_PASS").toUtf8();
    if (!mysql_real_connect(&mysql, host, user, pass, nullptr, Env("VELMORA_DB_PORT").toUInt(), nullptr, 0))
        Fail(QStringLiteral("connect: %1").arg(mysql_error(&mysql)));
    mysql_query(&mysql, "set names gbk");
    const std::string text = ToMySql(statement); // as the window sends it
    if (mysql_real_query(&mysql, text.data(), text.size()) != 0)
        Fail(QStringLiteral("query: %1").arg(mysql_error(&mysql)));
    MYSQL_RES* result = mysql_store_result(&mysql);
    DirectResult read;
    const unsigned columns = mysql_num_fields(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        for (unsigned c = 0; c < columns; ++c)
            read.bytes += row[c] ? lengths[c] : 0;
        ++read.rows;
    }
    mysql_free_result(result);
    mysql_close(&mysql);
    return read;
}

QStringList Names(QTreeWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names.append(list->topLevelItem(i)->text(0));
    return names;
}

const QString kExportHeader = QStringLiteral("表名\t字段\t类型\t长度\t小数\t是否为空\t主键\t自增长\t默认值\t描述");

// Empty when the file is a whole export of `tables` with `columns` column
// lines, else what is wrong with it.
QString ExportFileFault(const QByteArray& bytes, const QStringList& tables, size_t columns)
{
    if (!bytes.startsWith("\xFF\xFE") || bytes.size() % 2 != 0)
        return QStringLiteral("no byte-order mark or an odd size");
    QStringDecoder decoder(QStringDecoder::Utf16LE);
    const QString text = decoder.decode(bytes.mid(2));
    if (decoder.hasError() || !text.endsWith(u"\r\n"))
        return QStringLiteral("not UTF-16 text ended by CR LF");
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    if (size_t(lines.size()) != columns + 1)
        return QStringLiteral("%1 lines, expected %2").arg(lines.size()).arg(columns + 1);
    if (lines.first() != kExportHeader)
        return QStringLiteral("header: %1").arg(lines.first());
    QSet<QString> seen;
    QString current;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split(u'\t');
        if (fields.size() != 10)
            return QStringLiteral("line %1 has %2 fields").arg(i + 1).arg(fields.size());
        if (fields[0] != current) {
            if (seen.contains(fields[0]))
                return QStringLiteral("the lines of %1 are not together").arg(fields[0]);
            current = fields[0];
            seen.insert(current);
        }
    }
    if (seen != QSet<QString>(tables.cbegin(), tables.cend()))
        return QStringLiteral("%1 tables in the file, %2 in the list").arg(seen.size()).arg(tables.size());
    return {};
}

// The window exporting every table of the listed database to `path`,
// questions answered yes.
class WindowExport
{
public:
    WindowExport(CSchemaDlg& dlg, const QString& path) : m_dlg(dlg), m_path(path)
    {
        dlg.SetMessageAnswerer([this](const QString& text, const QString&, unsigned style) {
            m_messages.append(text);
            return style == kMbYesNoQuestionDefaultNo ? int(kIdYes) : int(kIdOk);
        });
        dlg.SetSaveFileAnswerer([this](const QString&) { return m_path; });
    }

    // Presses Export and waits until the worker has ended; only a success
    // message returns.
    void Run()
    {
        QFile::remove(m_path);
        m_messages.clear();
        qobject_cast<QPushButton*>(m_dlg.Control(1030))->click();
        // The worker posts an event as it ends, so this cannot sleep past it.
        while (m_dlg.WorkerRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const QString success = QStringLiteral("已经导出成功！\n请查看文件: %1 。").arg(m_path);
        if (m_messages.size() != 2 || !m_messages.first().contains(u"中的所有表结构") || m_messages.last() != success)
            Fail(QStringLiteral("export: %1").arg(m_messages.join(QStringLiteral(" / "))));
    }

    QByteArray File() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    CSchemaDlg& m_dlg;
    QString m_path;
    QStringList m_messages;
};

void PrintRow(const QString& what, const Timing& t, double reference)
{
    std::printf("| %s | %d | %.1f | %.1f – %.1f | %.2f |\n", qPrintable(what), t.runs, t.median, t.min, t.max,
                t.median / reference);
}

// mariadb-dump --no-data of the database, for reference; runs 0 when the
// program is missing.
Timing TimeDump(const QString& database, const QString& output, int repeats, int tables)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("mariadb-dump"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("mysqldump"));
    if (program.isEmpty())
        return {};
    const QStringList arguments = {QStringLiteral("--no-defaults"), QStringLiteral("--host=") + Env("VELMORA_DB_HOST"),
                                   QStringLiteral("--port=") + Env("VELMORA_DB_PORT"),
                                   QStringLiteral("--user=") + Env("VELMORA_DB_USER"),
                                   QStringLiteral("--password=") + Env("VELMORA_DB_PASS"), QStringLiteral("--no-data"),
                                   database};
    const Timing timing = Time(
        [&] {
            QProcess dump;
            dump.setStandardOutputFile(output);
            dump.start(program, arguments);
            if (!dump.waitForFinished(600000) || dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0)
                Fail(QStringLiteral("%1: %2").arg(program, QString::fromLocal8Bit(dump.readAllStandardError())));
        },
        repeats);
    QFile file(output);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (text.count("CREATE TABLE") != tables)
        Fail(QStringLiteral("the dump holds %1 tables, expected %2").arg(text.count("CREATE TABLE")).arg(tables));
    return timing;
}

void BenchExport(CSchemaDlg& dlg, const QString& database, const QString& folder)
{
    dlg.m_databaseList->addTopLevelItem(new QTreeWidgetItem({database}));
    const QStringList databases = Names(dlg.m_databaseList);
    dlg.OnItemChangedDatabaseList(int(databases.indexOf(database)));
    const QStringList tables = Names(dlg.m_tableList);
    if (tables.isEmpty() || !dlg.m_table.isEmpty())
        Fail(QStringLiteral("no tables listed in %1").arg(database));

    // The export's own select list over the whole schema at once.
    const QString all = BuildMySqlColumnsOfTables({QStringLiteral("x")}, database, false);
    const qsizetype tableFilter = all.indexOf(QStringLiteral(" AND TABLE_NAME IN ("));
    if (tableFilter < 0)
        Fail(QStringLiteral("no table filter in %1").arg(all));
    const QString wholeSchema = all.left(tableFilter);
    DirectResult direct;
    const Timing directTime = Time([&] { direct = Direct(wholeSchema); }, 7);

    const QString path = QDir(folder).filePath(QStringLiteral("export.txt"));
    WindowExport exporter(dlg, path);
    const Timing windowTime = Time([&] { exporter.Run(); }, 7);
    const QByteArray file = exporter.File();
    if (const QString fault = ExportFileFault(file, tables, direct.rows); !fault.isEmpty())
        Fail(QStringLiteral("exported file: %1").arg(fault));

    const int chunk = dlg.m_exportChunk;
    dlg.m_exportChunk = 0;
    const Timing perTableTime = Time([&] { exporter.Run(); }, 3);
    dlg.m_exportChunk = chunk;
    if (exporter.File() != file)
        Fail(QStringLiteral("a statement per table wrote another file"));

    Timing relayTime;
    {
        const QString port = dlg.m_port;
        TcpRelay relay(quint16(port.toUInt()));
        relay.SetDelayMs(5);
        dlg.m_port = QString::number(relay.Port());
        relayTime = Time([&] { exporter.Run(); }, 3);
        dlg.m_port = port;
        if (relay.Accepted() != relayTime.runs)
            Fail(QStringLiteral("%1 connections through the relay for %2 exports").arg(relay.Accepted()).arg(relayTime.runs));
    }
    if (exporter.File() != file)
        Fail(QStringLiteral("the export through the relay wrote another file"));

    const Timing dumpTime = TimeDump(database, QDir(folder).filePath(QStringLiteral("dump.sql")), 3, int(tables.size()));

    std::printf("\nexport of %s: %lld tables, %zu columns; file %lld bytes, %zu lines, FF FE, ten fields a line; "
                "the same bytes a statement per table and through the relay\n\n",
                qPrintable(database), qlonglong(tables.size()), direct.rows, qlonglong(file.size()), direct.rows + 1);
    std::printf("| export | runs | median ms | min – max ms | / direct |\n|---|---:|---:|---:|---:|\n");
    PrintRow(QStringLiteral("libmariadb direct, one statement for all columns"), directTime, directTime.median);
    PrintRow(QStringLiteral("window (Export button), %1 tables a statement").arg(chunk), windowTime, directTime.median);
    PrintRow(QStringLiteral("window, a statement per table"), perTableTime, directTime.median);
    PrintRow(QStringLiteral("window through a relay, 5 ms each way"), relayTime, directTime.median);
    if (dumpTime.runs > 0)
        PrintRow(QStringLiteral("mariadb-dump --no-data"), dumpTime, directTime.median);
    else
        std::printf("| mariadb-dump --no-data | 0 | not installed | | |\n");
    std::printf("\ntargets: window <= 2x direct: %s (%.2fx); through the relay <= 2000 ms: %s (%.0f ms)\n",
                windowTime.median <= 2 * directTime.median ? "met" : "missed", windowTime.median / directTime.median,
                relayTime.median <= 2000 ? "met" : "missed", relayTime.median);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_listing DATABASE TABLE [EXPORT_DATABASE]\n");
        return 2;
    }
    const QString database = QString::fromUtf8(argv[1]);
    const QString table = QString::fromUtf8(argv[2]);
    constexpr int kRepeats = 7;

    // The window keeps its settings file in the working folder.
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir::setCurrent(folder.path()))
        Fail(QStringLiteral("no temporary folder"));
    g_folder = folder.path();

    CSchemaDlg dlg;
    dlg.SetMessageAnswerer([](const QString& text, const QString&, unsigned) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return int(kIdOk);
    });
    dlg.show();
    dlg.m_kind = 2;
    dlg.m_server = Env("VELMORA_DB_HOST");
    dlg.m_port = Env("VELMORA_DB_PORT");
    dlg.m_user = Env("VELMORA_DB_USER");
    dlg.m_password = Env("VELMORA_DB_PASS");
    dlg.m_databaseList->addTopLevelItem(new QTreeWidgetItem({database}));

    const double tablesWindow = Time([&] { dlg.OnItemChangedDatabaseList(0); }, kRepeats).median;
    const int tableCount = dlg.m_tableList->topLevelItemCount();
    const double tablesDirect =
        Time([&] { Direct(BuildCatalogQuery(kQueryTables, {}, database, 2)); }, kRepeats).median;

    int row = -1;
    for (int i = 0; i < tableCount && row < 0; ++i)
        if (dlg.m_tableList->topLevelItem(i)->text(0) == table)
            row = i;
    if (row < 0) {
        std::fprintf(stderr, "no table %s\n", argv[2]);
        return 1;
    }
    const double columnsWindow = Time([&] { dlg.OnItemChangedTableList(row); }, kRepeats).median;
    const int columnCount = dlg.m_columnList->topLevelItemCount();
    const double columnsDirect =
        Time([&] { Direct(BuildCatalogQuery(kQueryColumns, table, database, 2)); }, kRepeats).median;

    std::printf("| listing | rows | window handler (ms) | libmariadb direct (ms) | ratio |\n|---|---|---|---|---|\n");
    std::printf("| tables of %s | %d | %.1f | %.1f | %.2f |\n", argv[1], tableCount, tablesWindow, tablesDirect,
                tablesWindow / tablesDirect);
    std::printf("| columns of %s | %d | %.1f | %.1f | %.2f |\n", argv[2], columnCount, columnsWindow, columnsDirect,
                columnsWindow / columnsDirect);
    std::fflush(stdout);

    if (argc > 3)
        BenchExport(dlg, QString::fromUtf8(argv[3]), folder.path());
    dlg.OnExit();
    return 0;
}
