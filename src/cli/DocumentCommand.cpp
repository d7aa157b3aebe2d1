#include "cli/CliCommon.h"

KeyCatalog ReadKeys(ReadRun& run)
{
    QSet<QString> listed;
    for (const DocumentedTable& table : run.listed)
        listed.insert(table.name);
    QStringList known;
    for (const QString& table : run.asked)
        if (listed.contains(table) && !known.contains(table))
            known.append(table);
    QStringList errors;
    KeyCatalog keys = run.link.ReadKeys(known, errors);
    for (const QString& error : errors)
        Complain(QStringLiteral("indexes and foreign keys not read: %1").arg(error));
    return keys;
}

ExportOutcome WriteDocument(ReadRun& run, DocumentFormat format, const QString& path, const DocumentTitle& title,
                            KeyCatalog keys)
{
    QHash<QString, QString> descriptions;
    for (const DocumentedTable& table : run.listed)
        descriptions.insert(table.name, table.description);
    CDocumentSink sink(format, title, std::move(descriptions), std::move(keys));
    ExportOutcome outcome = Read(run, sink);
    // As the other formats: with no table read the file stays as it was.
    if (outcome.writeError.isEmpty() && (sink.Started() || outcome.notWritten.isEmpty()) && !sink.Commit(path))
        outcome.writeError = sink.ErrorString();
    return outcome;
}
