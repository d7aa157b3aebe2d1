// Times the window's table and column listings against the same statement
// sent through libmariadb directly. Prints a Markdown table; asserts nothing.
//   bench_listing DATABASE TABLE   (server from VELMORA_DB_HOST/PORT/USER/PASS)

#include "app/SchemaDlg.h"
#include "catalog/CatalogQuery.h"

#include <QApplication>
#include <QTreeWidget>

#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeMs(const std::function<void()>& run, int repeats)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(times);
}

// Connect, "set names gbk", query, store, touch every value, close.
size_t Direct(const QString& statement)
{
    MYSQL mysql;
    mysql_init(&mysql);
    mysql_options(&mysql, MYSQL_SET_CHARSET_NAME, "gbk");
    const QByteArray host = Env("VELMORA_DB_HOST").toUtf8(), user = Env("VELMORA_DB_USER").toUtf8(),
                     pass = Env("VELMORA_DB_PASS").toUtf8();
    if (!mysql_real_connect(&mysql, host, user, pass, nullptr, Env("VELMORA_DB_PORT").toUInt(), nullptr, 0)) {
        std::fprintf(stderr, "connect: %s\n", mysql_error(&mysql));
        std::exit(1);
    }
    mysql_query(&mysql, "set names gbk");
    const QByteArray text = statement.toUtf8(); // the names used here are ASCII
    mysql_real_query(&mysql, text.constData(), text.size());
    MYSQL_RES* result = mysql_store_result(&mysql);
    size_t bytes = 0;
    const unsigned columns = mysql_num_fields(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        for (unsigned c = 0; c < columns; ++c)
            bytes += row[c] ? lengths[c] : 0;
    }
    mysql_free_result(result);
    mysql_close(&mysql);
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_listing DATABASE TABLE\n");
        return 2;
    }
    const QString database = QString::fromUtf8(argv[1]);
    const QString table = QString::fromUtf8(argv[2]);
    constexpr int kRepeats = 7;

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

    const double tablesWindow = TimeMs([&] { dlg.OnItemChangedDatabaseList(0); }, kRepeats);
    const int tableCount = dlg.m_tableList->topLevelItemCount();
    const double tablesDirect =
        TimeMs([&] { Direct(BuildCatalogQuery(kQueryTables, {}, database, 2)); }, kRepeats);

    int row = -1;
    for (int i = 0; i < tableCount && row < 0; ++i)
        if (dlg.m_tableList->topLevelItem(i)->text(0) == table)
            row = i;
    if (row < 0) {
        std::fprintf(stderr, "no table %s\n", argv[2]);
        return 1;
    }
    const double columnsWindow = TimeMs([&] { dlg.OnItemChangedTableList(row); }, kRepeats);
    const int columnCount = dlg.m_columnList->topLevelItemCount();
    const double columnsDirect =
        TimeMs([&] { Direct(BuildCatalogQuery(kQueryColumns, table, database, 2)); }, kRepeats);

    std::printf("| listing | rows | window handler (ms) | libmariadb direct (ms) | ratio |\n|---|---|---|---|---|\n");
    std::printf("| tables of %s | %d | %.1f | %.1f | %.2f |\n", argv[1], tableCount, tablesWindow, tablesDirect,
                tablesWindow / tablesDirect);
    std::printf("| columns of %s | %d | %.1f | %.1f | %.2f |\n", argv[2], columnCount, columnsWindow, columnsDirect,
                columnsWindow / columnsDirect);
    dlg.OnExit();
    return 0;
}
