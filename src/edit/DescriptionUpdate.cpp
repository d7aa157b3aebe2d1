#include "edit/DescriptionUpdate.h"

#include "catalog/CatalogRows.h"
#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "edit/DescriptionStatements.h"
#include "edit/UpdateCheck.h"

namespace {

constexpr qsizetype kMySqlColumnCommentLength = 1024;
constexpr qsizetype kMySqlTableCommentLength = 2048;
// sp_addextendedproperty takes at most 7,500 bytes of nvarchar.
constexpr qsizetype kSqlServerPropertyUnits = 3750;

QString StoredDescriptionMessage(const QString& stored)
{
    return QStringLiteral("服务器保存的描述与输入的不一致，描述未按输入更新。\n服务器现在保存的描述为：\n%1").arg(stored);
}

} // namespace

UpdateResult Checked(const QString& stored, const QString& typed, const QStringList& changes)
{
    if (!changes.isEmpty()) {
        QStringList before, after;
        for (const QString& change : changes) {
            before << change.section(u'\n', 0, 0);
            after << change.section(u'\n', 1);
        }
        return {UpdateResult::Mismatch,
                QStringLiteral("更新后字段的定义发生了变化，请检查该字段。\n更新前：%1\n更新后：%2\n")
                        .arg(before.join(u'；'), after.join(u'；'))
                    + StoredDescriptionMessage(stored),
                stored, {}};
    }
    if (stored != typed)
        return {UpdateResult::Mismatch, StoredDescriptionMessage(stored), stored, {}};
    return {UpdateResult::Done, {}, stored, {}};
}

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
        result = {UpdateResult::Failed, error.Description(), {}, {}};
    }
    if (result.outcome == UpdateResult::Done) {
        const CatalogRows rows = QuerySqlServerRows(recordset, connection, readBack, {QStringLiteral("value")});
        if (rows.failed)
            result = {UpdateResult::Failed, QStringLiteral("描述已发送，但无法读回服务器保存的描述：\n") + rows.error, {}, {}};
        else
            // The read trims trailing blanks, as every SQL Server text the window shows.
            result = Checked(rows.rows.empty() ? QString() : rows.rows.front().value(0),
                             TrimTrailingSpace(description));
    }
    return result;
}
