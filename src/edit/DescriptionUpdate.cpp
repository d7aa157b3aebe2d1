#include "edit/DescriptionUpdate.h"

#include "catalog/CatalogRows.h"
#include "db/MySqlText.h"
#include "common/DebugTrace.h"
#include "db/MySqlClient.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "edit/ColumnRestatement.h"
#include "edit/DescriptionStatements.h"

namespace {

constexpr std::uint32_t kErNoSuchTable = 1146;
constexpr std::uint32_t kErLockWaitTimeout = 1205;
constexpr qsizetype kMySqlColumnCommentLength = 1024;
constexpr qsizetype kMySqlTableCommentLength = 2048;
// sp_addextendedproperty takes at most 7,500 bytes of nvarchar.
constexpr qsizetype kSqlServerPropertyUnits = 3750;

bool Run(CMySqlClient& client, const QString& statement)
{
    return client.Query(ToMySql(statement));
}

UpdateResult Finish(CMySqlClient& client, UpdateResult::Outcome outcome, const QString& table)
{
    UpdateResult result{outcome, {}, {}};
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

QString StoredDescriptionMessage(const QString& stored)
{
    return QStringLiteral("服务器保存的描述与输入的不一致，描述未按输入更新。\n服务器现在保存的描述为：\n%1").arg(stored);
}

// Compares what the server holds with what was typed; `before` and `after`
// are the column's definitions without their comments, when there is one.
UpdateResult Checked(const QString& stored, const QString& typed, const QString& before = {},
                     const QString& after = {})
{
    if (before != after) {
        return {UpdateResult::Mismatch,
                QStringLiteral("更新后字段的定义发生了变化，请检查该字段。\n更新前：%1\n更新后：%2\n")
                        .arg(before, after)
                    + StoredDescriptionMessage(stored),
                stored};
    }
    if (stored != typed)
        return {UpdateResult::Mismatch, StoredDescriptionMessage(stored), stored};
    return {UpdateResult::Done, {}, stored};
}

UpdateResult ReadBackFailed(CMySqlClient& client, const QString& table)
{
    UpdateResult result = Finish(client, UpdateResult::Failed, table);
    result.error = QStringLiteral("描述已发送，但无法读回服务器保存的描述：\n") + result.error;
    return result;
}

} // namespace

DescriptionLimit CheckDescriptionLimit(const QString& description, bool mysql, bool table)
{
    DescriptionLimit limit;
    limit.limit = mysql ? (table ? kMySqlTableCommentLength : kMySqlColumnCommentLength) : kSqlServerPropertyUnits;
    limit.length = description.size();
    if (mysql) {
        for (const char32_t c : description.toUcs4()) {
            if (c > 0xFFFF) {
                limit.character = c;
                break;
            }
        }
    }
    return limit;
}

QString DescriptionRefusal(const QString& description, bool mysql, bool table)
{
    const DescriptionLimit limit = CheckDescriptionLimit(description, mysql, table);
    if (limit.character) {
        return QStringLiteral("描述中的字符“%1”（U+%2）无法保存到MySQL服务器，描述未更新。\n"
                              "请删除或替换该字符后再试。")
            .arg(QString::fromUcs4(&limit.character, 1), QString::number(limit.character, 16).toUpper());
    }
    if (limit.Fits())
        return {};
    return QStringLiteral("描述长度为%1个字符，超过了服务器允许的%2个字符，描述未更新。\n请缩短描述后再试。")
        .arg(limit.length)
        .arg(limit.limit);
}

UpdateResult UpdateMySqlTableComment(CMySqlClient& client, const QString& table, const QString& description)
{
    const bool noBackslashEscapes = client.NoBackslashEscapes();
    const QString statement = MySqlTableComment(table, description, noBackslashEscapes);
    DebugTrace(u"%s", {statement});
    BoundLockWait(client);
    if (!Run(client, statement))
        return Finish(client, UpdateResult::Failed, table);
    if (!Run(client, MySqlTableCommentReadBack(table, noBackslashEscapes)))
        return ReadBackFailed(client, table);
    return Checked(FromMySql(client.GetValue(0, 0)), description);
}

UpdateResult UpdateMySqlColumnComment(CMySqlClient& client, const QString& table, const QString& column,
                                      const QString& description)
{
    // The column is read and written in a mode that gives an exact round
    // trip, whatever quoting and printing modes the server has.
    if (!Run(client, MySqlSessionMode()))
        return Finish(client, UpdateResult::Failed, table);
    if (!Run(client, MySqlRoundTripMode(FromMySql(client.GetValue(0, 0)))))
        return Finish(client, UpdateResult::Failed, table);
    const SqlDialect dialect{};
    if (!Run(client, MySqlShowCreateTable(table)))
        return Finish(client, client.m_errorCode == kErNoSuchTable ? UpdateResult::NoSuchColumn : UpdateResult::Failed,
                      table);
    const QString before = FromMySql(client.GetValue(0, 1));
    const std::optional<QString> definition =
        RestateColumn(before, column, MySqlCommentClause(description, false), dialect);
    if (!definition)
        return Finish(client, UpdateResult::NoSuchColumn, table);
    BoundLockWait(client);
    if (!Run(client, MySqlModifyColumn(table, *definition)))
        return Finish(client, UpdateResult::Failed, table);
    if (!Run(client, MySqlShowCreateTable(table)))
        return ReadBackFailed(client, table);
    const QString after = FromMySql(client.GetValue(0, 1));
    if (!Run(client, MySqlColumnCommentReadBack(table, column, false)) || client.RowCount() != 1)
        return ReadBackFailed(client, table);
    const QString stored = FromMySql(client.GetValue(0, 0));
    return Checked(stored, description, RestateColumn(before, column, {}, dialect).value_or(before),
                   RestateColumn(after, column, {}, dialect).value_or(after));
}

QString SqlServerPropertyProcedure(COdbcConnection& connection, COdbcRecordset& recordset, const QString& listed,
                                   const QString& count)
{
    if (listed.isEmpty()) {
        // A failed count leaves the listing's word: the add then says why.
        const CatalogRows rows = QuerySqlServerRows(recordset, connection, count, {QStringLiteral("found")});
        if (!rows.failed && !rows.rows.empty() && rows.rows.front().value(0).toInt() > 0)
            return ExtendedPropertyProcedure(QStringLiteral("found"));
    }
    return ExtendedPropertyProcedure(listed);
}

UpdateResult UpdateSqlServerDescription(COdbcConnection& connection, COdbcRecordset& recordset,
                                        const QString& statement, const QString& readBack,
                                        const QString& description)
{
    UpdateResult result;
    try {
        connection.Execute(statement);
    } catch (const COdbcError& error) {
        result = {UpdateResult::Failed, error.Description(), {}};
    }
    if (result.outcome == UpdateResult::Done) {
        const CatalogRows rows = QuerySqlServerRows(recordset, connection, readBack, {QStringLiteral("value")});
        if (rows.failed)
            result = {UpdateResult::Failed, QStringLiteral("描述已发送，但无法读回服务器保存的描述：\n") + rows.error, {}};
        else
            // The read trims trailing blanks, as every SQL Server text the window shows.
            result = Checked(rows.rows.empty() ? QString() : rows.rows.front().value(0),
                             TrimTrailingSpace(description));
    }
    return result;
}
