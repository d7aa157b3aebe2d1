#include "cli/CliCommon.h"

#include "export/DescriptionChanges.h"
#include "export/StructureFile.h"
#include "export/StructureFileReader.h"

#include <QSet>

namespace {

// A description on one line, as the file shows it.
QString Shown(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : StructureField(text);
}

QString Named(const DescriptionChange& change)
{
    return change.column.isEmpty() ? change.table : change.table + u'.' + change.column;
}

StructureInput ReadInput(const QString& path)
{
    StructureInput input;
    QString error;
    if (!ReadStructureFile(path, input, error))
        throw UsageError{QStringLiteral("cannot use %1: %2").arg(path, error)};
    return input;
}

} // namespace

int ApplyCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    ServerOptions server;
    server.AddTo(parser);
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Print the changes; write nothing."));
    const QCommandLineOption baseFile(QStringLiteral("base"), QStringLiteral("The untouched export FILE was edited "
                                      "from: only what differs from it is written, and a description changed on the "
                                      "server since is kept."), QStringLiteral("ORIGINAL"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("With --base, write also over "
                                   "descriptions changed on the server since."));
    parser.addOptions({dryRun, baseFile, force});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An export as TSV or xlsx, its "
                                 "descriptions edited."));
    parser.setApplicationDescription(QStringLiteral("Writes the descriptions of an edited export that differ from "
                                                    "the server's. Exit status: 0 when every wanted change landed, "
                                                    "1 when any did not, 2 for a usage or file error."));
    if (ParseSubcommand(parser, arguments, server, QStringLiteral("apply"), 1))
        return 0;
    if (parser.isSet(force) && !parser.isSet(baseFile))
        throw UsageError{QStringLiteral("--force goes with --base: without a base there is nothing to force")};
    const StructureInput file = ReadInput(parser.positionalArguments().constFirst());
    const std::optional<StructureInput> base =
        parser.isSet(baseFile) ? std::optional(ReadInput(parser.value(baseFile))) : std::nullopt;
    const ServerAddress address = server.Address(parser);

    ReadRun run;
    if (!Connect(run, address, parser.value(server.database)))
        return kFailureStatus;
    QStringList listed;
    for (const DocumentedTable& table : run.listed)
        listed.append(table.name);
    if (base) {
        const QString misfit = BaseMisfit(file, *base, listed);
        if (!misfit.isEmpty())
            throw UsageError{QStringLiteral("cannot use %1 as the base: %2").arg(parser.value(baseFile), misfit)};
    }
    QSet<QString> named;
    for (const auto* rows : {&file.columns, &file.tables})
        for (const StructureRow& row : *rows)
            named.insert(row.fields.value(0));
    for (const QString& table : listed)
        if (named.contains(table))
            run.asked.append(table);
    CTableCollector collector;
    const ExportOutcome outcome = Read(run, collector);
    std::vector<DocumentedTable> tables = std::move(collector.Tables());
    Describe(run, tables);
    for (const QString& table : outcome.notWritten)
        tables.push_back({table, {}, {}});
    const bool mysql = run.link.Kind() == 2;
    const DescriptionChanges found = CompareDescriptions(file, tables, mysql, base ? &*base : nullptr,
                                                         parser.isSet(force), outcome.notWritten);

    for (const QString& line : found.unusable)
        Complain(line);
    for (const DescriptionChange& change : found.conflicts)
        Complain(QStringLiteral("%1: %2 changed on the server since the base, kept: %3 (the file has %4)")
                     .arg(change.place, Named(change), Shown(change.stored), Shown(change.wanted)));
    const bool preview = parser.isSet(dryRun);
    if (preview && !base)
        Print(stdout, QStringLiteral("Without --base every description that differs from the server's is written.\n"));
    qsizetype changed = 0;
    qsizetype refused = 0;
    qsizetype failed = 0;
    for (const DescriptionChange& change : found.changes) {
        const QString line = QStringLiteral("%1: %2 \u2192 %3").arg(Named(change), Shown(change.stored),
                                                                    Shown(change.wanted));
        if (!change.refusal.isEmpty()) {
            ++refused;
            Complain(QStringLiteral("%1: refused, %2: %3").arg(change.place, change.refusal, line));
        } else if (preview) {
            ++changed;
            Print(stdout, line + u'\n');
        } else {
            const UpdateResult result = run.link.WriteDescription(change.table, change.column, change.wanted,
                                                                  change.stored);
            if (result.outcome == UpdateResult::Done) {
                ++changed;
                Print(stdout, line + u'\n');
                continue;
            }
            if (result.outcome == UpdateResult::Refused) {
                ++refused;
                Complain(QStringLiteral("%1: refused, %2: %3").arg(change.place, result.reason, line));
                continue;
            }
            ++failed;
            const QString why = result.outcome == UpdateResult::Mismatch
                ? QStringLiteral("the server holds %1").arg(Shown(result.stored))
                : result.outcome == UpdateResult::NoSuchColumn ? QStringLiteral("the server no longer has it")
                                                               : StructureField(result.error);
            Complain(QStringLiteral("%1: %2 failed: %3").arg(change.place, Named(change), why));
        }
    }
    Print(stdout, QStringLiteral("%1 %2, unchanged %3, refused %4, failed %5, conflicts %6, unusable lines %7\n")
                      .arg(preview ? u"would change" : u"changed").arg(changed).arg(found.unchanged).arg(refused)
                      .arg(failed).arg(found.conflicts.size()).arg(found.unusable.size()));
    const bool clean = refused == 0 && failed == 0 && found.conflicts.empty() && found.unusable.isEmpty();
    return clean ? 0 : kFailureStatus;
}
