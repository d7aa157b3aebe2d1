// Times column description writes (one column after another) and a table
// description write on a table of 1,000 columns, through the checked update the window and `apply`
// use, on one open connection; every run writes a new text. Prints a
// Markdown table; asserts no timing, but exits non-zero when a write did not
// land.
//   bench_wide_comment DATABASE TABLE COLUMN...
// (server from VELMORA_DB_HOST/PORT/USER/PASS; runs each from
// VELMORA_BENCH_RUNS, default 15)

#include "db/MySqlClient.h"
#include "edit/DescriptionUpdate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

std::string Env(const char* name) { return qEnvironmentVariable(name).toStdString(); }

// Median, min and max of `runs` timed calls, in milliseconds.
std::vector<double> Time(const std::function<bool(int)>& write, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!write(i))
            return {};
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: bench_wide_comment DATABASE TABLE COLUMN...\n");
        return 2;
    }
    const QString table = args[2];
    const int runs = qEnvironmentVariableIsSet("VELMORA_BENCH_RUNS") ? qEnvironmentVariableIntValue("VELMORA_BENCH_RUNS")
                                                                       : 15;
    CMySqlClient client;
    client.SetConnectParams(Env("VELMORA_DB_HOST"), Env("VELMORA_DB_USER"), Env("VELMORA_DB_PASS"),
                            args[1].toStdString(), qEnvironmentVariable("VELMORA_DB_PORT").toUInt());
    if (!client.Connect()) {
        std::fprintf(stderr, "connect: %s\n", client.m_errorText.c_str());
        return 1;
    }
    const qint64 stamp = QDateTime::currentMSecsSinceEpoch();
    const auto check = [](const UpdateResult& result) {
        if (result.outcome != UpdateResult::Done)
            std::fprintf(stderr, "not written: %s\n", qPrintable(result.error));
        return result.outcome == UpdateResult::Done;
    };
    std::vector<std::pair<QString, std::vector<double>>> rows;
    for (const QString& column : args.sliced(3))
        rows.emplace_back(QStringLiteral("column ") + column, Time([&](int i) {
            return check(UpdateMySqlColumnComment(client, table, column, QStringLiteral("描述 %1 %2").arg(stamp).arg(i)));
        }, runs));
    rows.emplace_back(u"table"_qs, Time([&](int i) {
        return check(UpdateMySqlTableComment(client, table, QStringLiteral("表 %1 %2").arg(stamp).arg(i)));
    }, runs));
    std::printf("| description write on %s (1,000 columns) | runs | median ms | min ms | max ms |\n"
                "|---|---:|---:|---:|---:|\n", qPrintable(table));
    for (const auto& [name, times] : rows) {
        if (times.empty())
            return 1;
        std::printf("| %s | %d | %.2f | %.2f | %.2f |\n", qPrintable(name), runs, times[times.size() / 2],
                    times.front(), times.back());
    }
    return 0;
}
