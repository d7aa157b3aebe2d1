#include "cli/CliCommon.h"

#include <thread>

namespace {

// The asked tables the database lists, once each.
QStringList KnownTables(const ReadRun& run)
{
    QSet<QString> listed;
    for (const DocumentedTable& table : run.listed)
        listed.insert(table.name);
    QStringList known;
    for (const QString& table : run.asked)
        if (listed.contains(table) && !known.contains(table))
            known.append(table);
    return known;
}

void ComplainOfKeys(const QStringList& errors)
{
    for (const QString& error : errors)
        Complain(QStringLiteral("indexes and foreign keys not read: %1").arg(error));
}

} // namespace

KeyCatalog ReadKeys(ReadRun& run)
{
    QStringList errors;
    KeyCatalog keys = run.link.ReadKeys(KnownTables(run), errors);
    ComplainOfKeys(errors);
    return keys;
}

ExportOutcome ReadWithKeys(ReadRun& run, const ServerAddress& address, const QString& database, CTableSink& sink,
                           KeyCatalog& keys)
{
    // MySQL: the keys come over a second connection while the columns come
    // over the first, so the server reads both at once; the keys' three
    // statements cost about half as much as all the column statements.
    CServerLink second;
    if (address.mysql && second.Open(address, database)) {
        QStringList errors;
        std::thread reader([&, tables = KnownTables(run)] { keys = second.ReadKeys(tables, errors); });
        ExportOutcome outcome = Read(run, sink);
        reader.join();
        ComplainOfKeys(errors);
        return outcome;
    }
    keys = ReadKeys(run);
    return Read(run, sink);
}
