#include "edit/DescriptionUpdate.h"

#include "catalog/CatalogRows.h"
#include "common/AnsiCodePage.h"
#include "common/DebugTrace.h"
#include "db/MySqlClient.h"
#include "db/OdbcConnection.h"
#include "edit/ColumnRestatement.h"
#include "edit/DescriptionStatements.h"

namespace {

constexpr std::uint32_t kErNoSuchTable = 1146;

bool Run(CMySqlClient& client, const QString& statement)
{
    return client.Query(AnsiCodePage::FromUnicode(statement));
}

UpdateResult Finish(CMySqlClient& client, UpdateResult::Outcome outcome)
{
    UpdateResult result{outcome, {}};
    if (outcome == UpdateResult::Failed)
        result.error = MySqlQueryFailure(client);
    client.Close();
    return result;
}

} // namespace

QString FirstCharacterGbkLacks(const QString& text)
{
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.sliced(i, width);
        const std::string bytes = AnsiCodePage::FromUnicode(one);
        // The local GBK writes the euro sign as the lone byte 0x80, which the
        // server's gbk does not have; every two-byte code reads back alike.
        const bool lone = bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80;
        if (lone || (bytes == "?" && one != u"?"))
            return one;
        i += width;
    }
    return {};
}

UpdateResult UpdateMySqlTableComment(CMySqlClient& client, const QString& table, const QString& description)
{
    const QString statement = MySqlTableComment(table, description, client.NoBackslashEscapes());
    DebugTrace(u"%s", {statement});
    return Finish(client, Run(client, statement) ? UpdateResult::Done : UpdateResult::Failed);
}

UpdateResult UpdateMySqlColumnComment(CMySqlClient& client, const QString& table, const QString& column,
                                      const QString& description)
{
    if (!Run(client, MySqlSessionWithBackslashEscapes()) || !Run(client, MySqlSessionMode()))
        return Finish(client, UpdateResult::Failed);
    const SqlDialect dialect{AnsiCodePage::ToUnicode(client.GetValue(0, 0)).contains(u"ANSI_QUOTES"),
                             client.NoBackslashEscapes()};
    if (!Run(client, MySqlShowCreateTable(table)))
        return Finish(client, client.m_errorCode == kErNoSuchTable ? UpdateResult::NoSuchColumn : UpdateResult::Failed);
    const std::optional<QString> definition =
        RestateColumn(AnsiCodePage::ToUnicode(client.GetValue(0, 1)), column,
                      MySqlCommentClause(description, dialect.noBackslashEscapes), dialect);
    if (!definition)
        return Finish(client, UpdateResult::NoSuchColumn);
    const bool done = Run(client, MySqlModifyColumn(table, *definition));
    return Finish(client, done ? UpdateResult::Done : UpdateResult::Failed);
}

UpdateResult RunSqlServerStatement(COdbcConnection& connection, const QString& statement)
{
    UpdateResult result;
    try {
        connection.Execute(statement);
    } catch (const COdbcError& error) {
        result = {UpdateResult::Failed, error.Description()};
    }
    if (connection.State() != 0)
        connection.Close();
    return result;
}
