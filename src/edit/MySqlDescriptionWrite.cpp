// The MySQL and MariaDB description writes: the session, the hold on the
// table, the restatement carried over exactly, and the check of the
// column's facts.

#include "edit/DescriptionUpdate.h"

#include "catalog/CatalogRows.h"
#include "common/DebugTrace.h"
#include "db/MySqlClient.h"
#include "db/MySqlText.h"
#include "edit/ColumnCarryOver.h"
#include "edit/ColumnRestatement.h"
#include "edit/DescriptionStatements.h"
#include "edit/UpdateCheck.h"

#include <QRegularExpression>

namespace {

constexpr std::uint32_t kErNoSuchTable = 1146;
constexpr std::uint32_t kErLockWaitTimeout = 1205;
constexpr std::uint32_t kErUnknownAlterAlgorithm = 1800;
constexpr std::uint32_t kErAlterNeedsCopy = 1845;
constexpr std::uint32_t kErAlterNeedsCopyReason = 1846;

bool Run(CMySqlClient& client, const QString& statement)
{
    return client.Query(ToMySql(statement));
}

UpdateResult Finish(CMySqlClient& client, UpdateResult::Outcome outcome, const QString& table)
{
    UpdateResult result{outcome, {}, {}, {}};
    if (outcome == UpdateResult::Failed && client.m_errorCode == kErLockWaitTimeout)
        result.error = QStringLiteral("表 %1 正被其他会话锁定，描述未更新。\n请稍后再试。").arg(table);
    else if (outcome == UpdateResult::Failed)
        result.error = MySqlQueryFailure(client);
    return result;
}

// A change waits for the table behind another session's open transaction;
// the window's thread waits with it, so not for the server's default day.
// A server without one of these settings keeps its own and the statement
// timeout still ends the wait.
void BoundLockWait(CMySqlClient& client)
{
    const QString seconds = QString::number(client.m_timeouts.lockWait);
    Run(client, QStringLiteral("set session lock_wait_timeout=") + seconds);
    Run(client, QStringLiteral("set session innodb_lock_wait_timeout=") + seconds);
}

UpdateResult ReadBackFailed(CMySqlClient& client, const QString& table)
{
    UpdateResult result = Finish(client, UpdateResult::Failed, table);
    result.error = QStringLiteral("描述已发送，但无法读回服务器保存的描述：\n") + result.error;
    return result;
}

enum class Target { Table, View, Missing, Failed };

// Opens the write's session and learns what the name stands for.
Target PrepareWrite(CMySqlClient& client, const QString& table)
{
    const bool versioning = client.IsMariaDb() && client.ServerVersion() >= 100304;
    if (!Run(client, MySqlWriteSession(versioning)))
        return Target::Failed;
    BoundLockWait(client);
    if (!Run(client, MySqlTableType(table)))
        return Target::Failed;
    if (client.RowCount() == 0)
        return Target::Missing;
    return FromMySql(client.GetValue(0, 0)).contains(u"VIEW") ? Target::View : Target::Table;
}

UpdateResult ViewRefused(const QString& table)
{
    return {UpdateResult::Refused,
            QStringLiteral("“%1”是视图，此服务器上的视图不能保存描述，描述未更新。").arg(table), {},
            QStringLiteral("a view; views hold no descriptions on this server")};
}

// What to read of a column beyond the catalog, decided once from the
// catalog and the printed definition, so the check after the write reads
// the same.
struct FactPlan {
    bool withDefault = false;
    bool srid = false;
    qsizetype members = 0;
    bool set = false;
};

struct ColumnFacts {
    QStringList catalog;
    QString comment;
    ExactColumn exact;
};

FactPlan PlanFacts(ColumnFacts& facts, const QString& definition, bool mariadb)
{
    static const QStringList spatial = {u"geometry"_qs, u"point"_qs, u"linestring"_qs, u"polygon"_qs,
                                        u"multipoint"_qs, u"multilinestring"_qs, u"multipolygon"_qs,
                                        u"geometrycollection"_qs};
    const QString type = facts.catalog.value(7).toLower();
    const bool text = !facts.catalog.value(4).isEmpty();
    FactPlan plan;
    facts.exact.binary = !text && (type.endsWith(u"binary") || type.endsWith(u"blob"));
    facts.exact.floating = type == u"float" || type == u"double";
    facts.exact.singleFloat = type == u"float";
    const PrintedDefault printed = FindPrintedDefault(definition);
    plan.withDefault = (printed.kind == PrintedDefault::String && (text || facts.exact.binary))
        || (printed.kind == PrintedDefault::Number && facts.exact.floating);
    plan.srid = mariadb && spatial.contains(type);
    if (type == u"enum" || type == u"set") {
        plan.members = qsizetype(TypeMembers(definition).size());
        plan.set = type == u"set";
    }
    return plan;
}

// The catalog's row of the column; false when the statement failed, an
// empty catalog when the column is gone.
bool ReadCatalog(CMySqlClient& client, const QString& table, const QString& column, ColumnFacts& facts)
{
    if (!Run(client, MySqlColumnFacts(table, column)))
        return false;
    facts.catalog.clear();
    if (client.RowCount() != 1)
        return true;
    for (int k = 0; k < kColumnFactCount; ++k)
        facts.catalog << FromMySql(client.GetValue(0, k));
    facts.comment = FromMySql(client.GetValue(0, kColumnFactCount));
    return true;
}

QString FromHex(const std::string& hex)
{
    return QString::fromUtf8(QByteArray::fromHex(QByteArray::fromStdString(hex)));
}

// A value read as "=" and its text; null for NULL.
QString ExactDefault(const std::string& value, const ExactColumn& exact)
{
    if (value.empty())
        return {};
    const std::string text = value.substr(1);
    return exact.binary ? QString::fromStdString(text) : exact.floating ? FromMySql(text) : FromHex(text);
}

// The default from a row of an empty copy of the table; null when the copy
// cannot be made (a partitioned table, no right to make one), and for a
// FLOAT or DOUBLE, whose copy MariaDB defines from the rounded printing.
QString DefaultOfCopy(CMySqlClient& client, const QString& table, const QString& column, const ExactColumn& exact)
{
    QString value;
    if (exact.floating)
        return value;
    if (Run(client, MySqlDefaultsTable(table))) {
        if (Run(client, MySqlDefaultsRow()) && Run(client, MySqlDefaultsRead(column, exact.binary, exact.floating)))
            value = ExactDefault(client.GetValue(0, 0), exact);
        Run(client, MySqlDefaultsDrop());
    }
    return value;
}

// The values the printing may lose; false when a statement failed. Values
// that need a temporary table stay unread where none can be made.
bool ReadExact(CMySqlClient& client, const QString& table, const QString& column, const FactPlan& plan,
               ExactColumn& exact)
{
    if (plan.withDefault || plan.srid) {
        if (!Run(client, MySqlExactValues(table, column, plan.withDefault, exact.binary, exact.floating, plan.srid)))
            return false;
        int k = 0;
        if (plan.withDefault)
            exact.defaultValue = ExactDefault(client.GetValue(0, k++), exact);
        if (plan.srid)
            exact.srid = FromMySql(client.GetValue(0, k));
        if (plan.withDefault && exact.defaultValue.isNull())
            exact.defaultValue = DefaultOfCopy(client, table, column, exact);
    }
    if (plan.members > 0) {
        exact.members.reset();
        if (Run(client, MySqlMembersTable(table, column))) {
            if (Run(client, MySqlMembersInsert(column, plan.members, plan.set)) && Run(client, MySqlMembersRead(column))
                && client.RowCount() == plan.members) {
                exact.members.emplace();
                for (int row = 0; row < plan.members; ++row)
                    exact.members->append(FromHex(client.GetValue(row, 0)));
            }
            Run(client, MySqlMembersDrop());
        }
    }
    return true;
}

// "NAME=before\nNAME=after" for each fact that differs.
QStringList FactChanges(const ColumnFacts& before, const ColumnFacts& after)
{
    static const QStringList names = {u"COLUMN_TYPE"_qs, u"IS_NULLABLE"_qs, u"COLUMN_DEFAULT"_qs, u"EXTRA"_qs,
                                      u"CHARACTER_SET_NAME"_qs, u"COLLATION_NAME"_qs, u"GENERATION_EXPRESSION"_qs,
                                      u"DATA_TYPE"_qs};
    QStringList changes;
    const auto compare = [&](const QString& name, const QString& x, const QString& y) {
        if (x != y)
            changes << name + u'=' + x + u'\n' + name + u'=' + y;
    };
    for (qsizetype k = 0; k < names.size(); ++k)
        compare(names[k], before.catalog.value(k), after.catalog.value(k));
    compare(u"DEFAULT()"_qs, before.exact.defaultValue, after.exact.defaultValue);
    compare(u"SRID"_qs, before.exact.srid, after.exact.srid);
    compare(u"VALUES"_qs, before.exact.members.value_or(QStringList()).join(u','),
            after.exact.members.value_or(QStringList()).join(u','));
    return changes;
}

// The strongest clause for a change of the definition alone. MariaDB 10.3
// and later and MySQL 8.0.12 and later take ALGORITHM=INSTANT for a comment
// on InnoDB, MyISAM, Aria and MEMORY tables, and refuse a changed type;
// ARCHIVE must copy the table for any change, so there the write is refused
// by the server. MySQL 5.7 and MariaDB before 10.3 know no INSTANT; their
// INPLACE still refuses to convert values, though InnoDB may rebuild the
// table for it. LOCK=NONE would add nothing: the table is held for writing.
bool AlterColumn(CMySqlClient& client, const QString& table, const QString& definition)
{
    if (Run(client, MySqlModifyColumn(table, definition, QStringLiteral("instant"))))
        return true;
    if (client.m_errorCode == kErUnknownAlterAlgorithm)
        return Run(client, MySqlModifyColumn(table, definition, QStringLiteral("inplace")));
    // MariaDB prints a JSON column as LONGTEXT with its check, and reads
    // that back as another type.
    static const QRegularExpression longtext(QStringLiteral("^(\\S+) longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin "));
    const QRegularExpressionMatch json = longtext.match(definition);
    if (client.m_errorCode != kErAlterNeedsCopyReason || !json.hasMatch()
        || !definition.contains(QStringLiteral("CHECK (json_valid(%1))").arg(json.captured(1))))
        return false;
    const QString restated = json.captured(1) + QStringLiteral(" json ") + definition.sliced(json.capturedEnd());
    return Run(client, MySqlModifyColumn(table, restated, QStringLiteral("instant")));
}

UpdateResult AlterFailed(CMySqlClient& client, const QString& table)
{
    UpdateResult result = Finish(client, UpdateResult::Failed, table);
    if (client.m_errorCode == kErAlterNeedsCopy || client.m_errorCode == kErAlterNeedsCopyReason)
        result.error = QStringLiteral("服务器只能通过复制整张表来修改该字段，描述未更新。\n") + result.error;
    return result;
}

enum class Unread { Members, Default, FloatOfEmptyTable };

UpdateResult InexactRefused(const QString& column, Unread unread)
{
    const bool members = unread == Unread::Members;
    const QString why = unread == Unread::FloatOfEmptyTable
        ? QStringLiteral("表中没有数据行时无法读出原值")
        : QStringLiteral("也无法读出原值（需要创建临时表的权限）");
    const QString reason = unread == Unread::FloatOfEmptyTable
        ? QStringLiteral("it cannot be read exactly while the table has no rows")
        : QStringLiteral("it cannot be read exactly without the right to create temporary tables");
    return {UpdateResult::Refused,
            QStringLiteral("字段 %1 的%2服务器无法原样显示，%3，描述未更新。")
                .arg(column, members ? QStringLiteral("取值") : QStringLiteral("默认值"), why), {},
            QStringLiteral("column %1: the server prints its %2 inexactly, and %3")
                .arg(column, members ? QStringLiteral("ENUM/SET values") : QStringLiteral("default"), reason)};
}

// Whether a default that could not be read needs no reading: DOUBLE prints
// exactly, and a FLOAT printed as 0 is 0.
bool PrintedExactly(const QString& definition, const ExactColumn& exact)
{
    const PrintedDefault printed = FindPrintedDefault(definition);
    return exact.floating && printed.kind == PrintedDefault::Number
        && (!exact.singleFloat || definition.sliced(printed.span.begin, printed.span.end - printed.span.begin).toDouble() == 0);
}

UpdateResult UnreadRefused(const QString& column, const ExactColumn& exact)
{
    return InexactRefused(column, exact.floating ? Unread::FloatOfEmptyTable : Unread::Default);
}

// MariaDB rounds the default of every FLOAT column of a table to six digits
// on any ALTER of the table (seen on 10.11), so each whose printing is not
// its value is restated in the same statement with its exact default, as
// further "modify column" clauses. `create` is read when needed. Nullopt
// with `failure` set when a statement failed or a default cannot be read.
std::optional<QStringList> KeepFloatDefaults(CMySqlClient& client, const QString& table, const QString& except,
                                             QString& create, UpdateResult& failure)
{
    if (!Run(client, MySqlFloatDefaults(table))) {
        failure = Finish(client, UpdateResult::Failed, table);
        return std::nullopt;
    }
    QStringList names;
    for (int row = 0; row < client.RowCount(); ++row)
        if (const QString name = FromMySql(client.GetValue(row, 0)); name.compare(except, Qt::CaseInsensitive) != 0)
            names << name;
    QStringList clauses;
    if (names.isEmpty())
        return clauses;
    if (create.isEmpty() && !Run(client, MySqlShowCreateTable(table))) {
        failure = Finish(client, UpdateResult::Failed, table);
        return std::nullopt;
    }
    if (create.isEmpty())
        create = FromMySql(client.GetValue(0, 1));
    if (!Run(client, MySqlFloatDefaultValues(table, names))) {
        failure = Finish(client, UpdateResult::Failed, table);
        return std::nullopt;
    }
    std::vector<std::string> values;
    for (int k = 0; k < names.size(); ++k)
        values.push_back(client.GetValue(0, k));
    for (int k = 0; k < names.size(); ++k) {
        const std::optional<QString> element = ColumnElement(create, names[k], {});
        if (!element || FindPrintedDefault(*element).kind != PrintedDefault::Number)
            continue;
        ExactColumn exact;
        exact.floating = exact.singleFloat = true;
        exact.defaultValue = ExactDefault(values[size_t(k)], exact);
        if (exact.defaultValue.isNull())
            exact.defaultValue = DefaultOfCopy(client, table, names[k], exact);
        if (exact.defaultValue.isNull() && PrintedExactly(*element, exact))
            continue;
        const std::optional<QString> restated =
            exact.defaultValue.isNull() ? std::nullopt : CarryOverExact(*element, exact);
        if (!restated) {
            failure = UnreadRefused(names[k], exact);
            return std::nullopt;
        }
        if (*restated != *element)
            clauses << QStringLiteral("modify column ") + *restated;
    }
    return clauses;
}

// The table write while the table is held.
UpdateResult WriteHeldTable(CMySqlClient& client, const QString& table, const QString& description)
{
    QString create;
    UpdateResult failure;
    const std::optional<QStringList> kept = KeepFloatDefaults(client, table, {}, create, failure);
    if (!kept)
        return failure;
    const QString statement = MySqlTableComment(table, description, false, *kept);
    DebugTrace(u"%s", {statement});
    if (!Run(client, statement))
        return Finish(client, UpdateResult::Failed, table);
    if (!Run(client, MySqlTableCommentReadBack(table, false)))
        return ReadBackFailed(client, table);
    return Checked(FromMySql(client.GetValue(0, 0)), description);
}

// The column write while the table is held.
UpdateResult WriteHeldColumn(CMySqlClient& client, const QString& table, const QString& column,
                             const QString& description)
{
    if (!Run(client, MySqlShowCreateTable(table)))
        return Finish(client, client.m_errorCode == kErNoSuchTable ? UpdateResult::NoSuchColumn : UpdateResult::Failed,
                      table);
    QString create = FromMySql(client.GetValue(0, 1));
    const std::optional<QString> definition =
        RestateColumn(create, column, MySqlCommentClause(description, false), {});
    ColumnFacts before;
    if (!definition)
        return Finish(client, UpdateResult::NoSuchColumn, table);
    if (!ReadCatalog(client, table, column, before))
        return Finish(client, UpdateResult::Failed, table);
    if (before.catalog.isEmpty())
        return Finish(client, UpdateResult::NoSuchColumn, table);
    const FactPlan plan = PlanFacts(before, *definition, client.IsMariaDb());
    if (!ReadExact(client, table, column, plan, before.exact))
        return Finish(client, UpdateResult::Failed, table);
    if (plan.withDefault && before.exact.defaultValue.isNull() && !PrintedExactly(*definition, before.exact))
        return UnreadRefused(column, before.exact);
    const std::optional<QString> exact = CarryOverExact(*definition, before.exact);
    if (!exact)
        return InexactRefused(column, Unread::Members);
    UpdateResult failure;
    const std::optional<QStringList> kept = KeepFloatDefaults(client, table, column, create, failure);
    if (!kept)
        return failure;
    const QString clauses = (QStringList{*exact} + *kept).join(QStringLiteral(", "));
    DebugTrace(u"%s", {clauses});
    if (!AlterColumn(client, table, clauses))
        return AlterFailed(client, table);
    ColumnFacts after = before;
    if (!ReadCatalog(client, table, column, after) || after.catalog.isEmpty()
        || !ReadExact(client, table, column, plan, after.exact))
        return ReadBackFailed(client, table);
    return Checked(after.comment, description, FactChanges(before, after));
}

} // namespace

UpdateResult UpdateMySqlTableComment(CMySqlClient& client, const QString& table, const QString& description)
{
    // A table gone is the server's to report, as before.
    const Target target = PrepareWrite(client, table);
    if (target == Target::Failed)
        return Finish(client, UpdateResult::Failed, table);
    if (target == Target::View)
        return ViewRefused(table);
    if (!Run(client, MySqlLockTable(table)))
        return Finish(client, UpdateResult::Failed, table);
    const UpdateResult result = WriteHeldTable(client, table, description);
    Run(client, MySqlUnlockTables());
    return result;
}

UpdateResult UpdateMySqlColumnComment(CMySqlClient& client, const QString& table, const QString& column,
                                      const QString& description)
{
    const Target target = PrepareWrite(client, table);
    if (target == Target::Failed)
        return Finish(client, UpdateResult::Failed, table);
    if (target == Target::Missing)
        return Finish(client, UpdateResult::NoSuchColumn, table);
    if (target == Target::View)
        return ViewRefused(table);
    // Held from the reading of its definition to the check: a change another
    // session queued before runs first, and none comes in between. The wait
    // is bounded by lock_wait_timeout.
    if (!Run(client, MySqlLockTable(table)))
        return Finish(client, client.m_errorCode == kErNoSuchTable ? UpdateResult::NoSuchColumn : UpdateResult::Failed,
                      table);
    const UpdateResult result = WriteHeldColumn(client, table, column, description);
    // Also after a failure: the link may serve other tables next.
    Run(client, MySqlUnlockTables());
    return result;
}
