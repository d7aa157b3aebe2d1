#include "export/TableKeys.h"

#include "catalog/CatalogRows.h"
#include "catalog/KeyQuery.h"
#include "db/MySqlClient.h"
#include "db/OdbcConnection.h"

#include <errmsg.h>

#include <algorithm>

namespace {

const QString kNotRead = QStringLiteral("索引和外键未能读取");

// Rows come a column at a time; a new name (or a new table) starts the next entry.
template <typename Entry>
Entry& EntryNamed(std::vector<Entry>& entries, const QString& name)
{
    if (entries.empty() || entries.back().name != name) {
        entries.emplace_back();
        entries.back().name = name;
    }
    return entries.back();
}

QString Action(QString text)
{
    return text.replace(u'_', u' ');
}

// The rows of the tables asked for, in the server's order of table and
// index (or key), each one's columns by their place (the value at `seq`).
std::vector<const QStringList*> InKeyOrder(const std::vector<QStringList>& rows, const KeyCatalog& keys, int seq)
{
    QHash<QString, qsizetype> seen;
    std::vector<std::pair<std::pair<qsizetype, int>, const QStringList*>> keyed;
    for (const QStringList& row : rows) {
        if (!keys.tables.contains(row[0]))
            continue;
        const QString name = row[0] + QChar(0) + row[1];
        auto found = seen.constFind(name);
        if (found == seen.cend())
            found = seen.insert(name, seen.size());
        const qsizetype order = *found;
        keyed.push_back({{order, row[seq].toInt()}, &row});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<const QStringList*> sorted;
    for (const auto& entry : keyed)
        sorted.push_back(entry.second);
    return sorted;
}

void AddMySqlIndexes(const std::vector<QStringList>& rows, KeyCatalog& keys)
{
    for (const QStringList* row : InKeyOrder(rows, keys, 4)) {
        const QStringList& r = *row;
        TableIndex& index = EntryNamed(keys.tables[r[0]].indexes, r[1]);
        index.columns.append(r[2]);
        index.unique = r[3] == u"0";
        index.primary = r[1] == u"PRIMARY";
    }
}

void AddMySqlForeignKeys(const std::vector<QStringList>& rows, const std::vector<QStringList>& rules,
                         const QString& database, KeyCatalog& keys)
{
    QHash<QString, const QStringList*> ruleOf;
    for (const QStringList& rule : rules)
        ruleOf.insert(rule[0] + QChar(0) + rule[1], &rule);
    for (const QStringList* row : InKeyOrder(rows, keys, 6)) {
        const QStringList& r = *row;
        ForeignKey& key = EntryNamed(keys.tables[r[0]].foreignKeys, r[1]);
        key.columns.append(r[2]);
        key.referencedTable = r[3] == database ? r[4] : r[3] + u'.' + r[4];
        key.referencedColumns.append(r[5]);
        if (const QStringList* rule = ruleOf.value(r[0] + QChar(0) + r[1])) {
            key.onDelete = (*rule)[2];
            key.onUpdate = (*rule)[3];
        }
    }
}

bool LinkLost(const CMySqlClient& client)
{
    const auto code = client.m_errorCode;
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == CR_SERVER_LOST_EXTENDED;
}

} // namespace

KeyCatalog ReadMySqlKeys(CMySqlClient& client, const QString& database, const QStringList& tables, qsizetype chunk,
                         QStringList& errors)
{
    KeyCatalog keys;
    chunk = qMax<qsizetype>(chunk, 1);
    // More tables than a chunk: the whole database in one statement each,
    // which costs the server less than the chunks do (the rows of tables
    // not asked for are dropped here).
    const bool whole = tables.size() > chunk;
    for (qsizetype first = 0; first < tables.size(); first += whole ? tables.size() : chunk) {
        const QStringList part = whole ? tables : tables.mid(first, chunk);
        const QStringList named = whole ? QStringList() : part;
        const bool escapes = client.NoBackslashEscapes();
        CatalogRows read[3];
        const QString statements[3] = {BuildMySqlIndexesOfTables(named, database, escapes),
                                       BuildMySqlForeignKeysOfTables(named, database, escapes),
                                       BuildMySqlForeignKeyRules(named, database, escapes)};
        const int columns[3] = {5, 7, 4};
        bool failed = false;
        for (int i = 0; i < 3 && !failed; ++i) {
            read[i] = QueryMySqlRows(client, statements[i], columns[i]);
            failed = read[i].failed;
            if (failed)
                errors.append(read[i].error);
        }
        if (failed) {
            keys.unread = kNotRead;
            if (LinkLost(client))
                break;
            continue;
        }
        for (const QString& table : part)
            keys.tables[table];
        AddMySqlIndexes(read[0].rows, keys);
        AddMySqlForeignKeys(read[1].rows, read[2].rows, database, keys);
    }
    if (keys.tables.size() < tables.size() && keys.unread.isEmpty())
        keys.unread = kNotRead;
    return keys;
}

KeyCatalog ReadSqlServerKeys(COdbcRecordset& recordset, COdbcConnection& connection, DbKind kind,
                             const QStringList& tables, const std::vector<SqlServerTable>& sources, qsizetype chunk,
                             QStringList& errors)
{
    KeyCatalog keys;
    if (kind == 0) {
        keys.unread = QStringLiteral("SQL Server 2000 的索引和外键未读取");
        return keys;
    }
    chunk = qMax<qsizetype>(chunk, 1);
    for (qsizetype first = 0; first < tables.size(); first += chunk) {
        const qsizetype count = qMin(chunk, tables.size() - first);
        std::vector<SqlServerName> names;
        // The rows name schema and table; the list's name is what they map to.
        QHash<SqlServerName, QString> listed;
        for (qsizetype i = first; i < first + count; ++i) {
            const SqlServerTable& source = sources[size_t(i)];
            names.emplace_back(source.schema, source.name);
            listed.insert({source.schema.isEmpty() ? QStringLiteral("dbo") : source.schema, source.name}, tables[i]);
        }
        const CatalogRows indexes = QuerySqlServerRows(recordset, connection, BuildSqlServerIndexesOfTables(names),
                                                       kSqlServerIndexFields);
        const CatalogRows foreign = indexes.failed
            ? indexes
            : QuerySqlServerRows(recordset, connection, BuildSqlServerForeignKeysOfTables(names),
                                 kSqlServerForeignKeyFields);
        if (foreign.failed) {
            errors.append(foreign.error);
            keys.unread = kNotRead;
            if (connection.LinkLost())
                break;
            continue;
        }
        for (qsizetype i = first; i < first + count; ++i)
            keys.tables[tables[i]];
        for (const QStringList& r : indexes.rows) {
            const QString table = listed.value({r[0], r[1]});
            if (table.isEmpty())
                continue;
            TableIndex& index = EntryNamed(keys.tables[table].indexes, r[2]);
            index.columns.append(r[3]);
            index.unique = r[4] == u"1";
            index.primary = r[5] == u"1";
        }
        for (const QStringList& r : foreign.rows) {
            const QString table = listed.value({r[0], r[1]});
            if (table.isEmpty())
                continue;
            ForeignKey& key = EntryNamed(keys.tables[table].foreignKeys, r[2]);
            key.columns.append(r[3]);
            key.referencedTable = r[4] == u"dbo" ? r[5] : r[4] + u'.' + r[5];
            key.referencedColumns.append(r[6]);
            key.onDelete = Action(r[7]);
            key.onUpdate = Action(r[8]);
        }
    }
    if (keys.tables.size() < tables.size() && keys.unread.isEmpty())
        keys.unread = kNotRead;
    return keys;
}
