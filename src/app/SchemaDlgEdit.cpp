// Writing table and column descriptions back to the server: the statements
// run on a worker while the window waits for them.

#include "app/SchemaDlgWorker.h"

#include "common/DebugTrace.h"
#include "db/OdbcConnection.h"
#include "edit/DescriptionStatements.h"
#include "edit/DescriptionUpdate.h"
#include "ui/StatusLabel.h"

#include <QTreeWidget>

namespace {

QString ListText(QTreeWidget* list, int row, int column)
{
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return item ? item->text(column) : QString();
}

} // namespace

// Nothing may talk to a server while a worker holds the connection objects.
// The label stays up while the write's worker runs.
bool CSchemaDlg::BeginDescriptionUpdate(const QString& waitText)
{
    if (m_workerRunning)
        return false;
    m_statusLabel->show();
    m_statusLabel->SetLabelText(waitText);
    return true;
}

// False, with the user told why, when the server could not store the
// description exactly as typed.
bool CSchemaDlg::DescriptionFitsServer(const QString& description, QWidget* field, bool table)
{
    const QString refusal = DescriptionRefusal(description, m_kind == 2, table);
    if (refusal.isEmpty())
        return true;
    m_statusLabel->hide();
    field->setFocus();
    ShowWarning(refusal);
    return false;
}

// Ends every update that reached the server; true when written. A failure
// leaves the button on and the list as it was, for a retry.
bool CSchemaDlg::EndDescriptionUpdate(const UpdateResult& result, QWidget* field, const QString& notFound)
{
    m_statusLabel->hide();
    field->setFocus();
    if (result.outcome == UpdateResult::Failed || result.outcome == UpdateResult::Mismatch
        || result.outcome == UpdateResult::Refused)
        ShowWarning(result.error);
    else if (result.outcome == UpdateResult::NoSuchColumn)
        ShowWarning(notFound);
    return result.outcome == UpdateResult::Done;
}

// The list row shows what the server holds once an update ran, also when
// that is not what was typed: the next attempt then updates, not adds.
void CSchemaDlg::ShowStoredDescription(const UpdateResult& result, QTreeWidget* list, int row, int column)
{
    if (result.outcome != UpdateResult::Done && result.outcome != UpdateResult::Mismatch)
        return;
    LoadFields();
    if (QTreeWidgetItem* item = list->topLevelItem(row))
        item->setText(column, result.stored);
}

void CSchemaDlg::OnUpdateTableDescription()
{
    if (!BeginDescriptionUpdate(QStringLiteral("正在更新表描述，请稍候...")))
        return;
    QWidget* field = Control(1022);
    const QString listed = ListText(m_tableList, m_tableRow, 1);
    LoadFields();
    if (m_table.isEmpty() || m_tableDesc.isEmpty()) {
        m_statusLabel->hide();
        field->setFocus();
        return;
    }
    if (!DescriptionFitsServer(m_tableDesc, field, true))
        return;
    const bool mysql = m_kind == 2;
    const SqlServerTable table = TableAt(m_tableRow);
    // Either statement depends on the server (the MySQL session, whether
    // the property exists), so each is traced once the connection is open.
    const auto written = OffWindow<std::optional<UpdateResult>>([=, this]() -> std::optional<UpdateResult> {
        if (!OpenConnection(m_server, m_port, m_database, m_user, m_password))
            return std::nullopt;
        const QString statement = mysql ? QString()
            : SqlServerTableDescription(SqlServerPropertyProcedure(*m_connection, *m_recordset, listed,
                                                                   SqlServerDescriptionCount(table)),
                                        m_tableDesc, table);
        if (!mysql)
            DebugTrace(u"%s", {statement});
        const UpdateResult result =
            mysql ? UpdateMySqlTableComment(m_mysql, m_table, m_tableDesc)
                  : UpdateSqlServerDescription(*m_connection, *m_recordset, statement,
                                               SqlServerDescriptionReadBack(table), m_tableDesc);
        CloseConnection();
        return result;
    });
    if (!written)
        return; // Exit ended the window
    if (!*written) {
        field->setFocus();
        return;
    }
    const UpdateResult& result = **written;
    ShowStoredDescription(result, m_tableList, m_tableRow, 1);
    if (!EndDescriptionUpdate(result, field, {}))
        return;
    Control(1021)->setEnabled(false);
}

void CSchemaDlg::OnColumnSelected(int row)
{
    m_columnRow = row;
    Control(1022)->setEnabled(false);
    Control(1024)->setEnabled(true);
    Control(1020)->setEnabled(false);
    m_column = ListText(m_columnList, row, 0);
    m_columnDesc = ListText(m_columnList, row, 8);
    StoreFields();
    Control(1024)->setFocus();
}

void CSchemaDlg::OnUpdateColumnDescription()
{
    if (!BeginDescriptionUpdate(QStringLiteral("正在更新字段描述，请稍候...")))
        return;
    QWidget* field = Control(1024);
    const QString listed = ListText(m_columnList, m_columnRow, 8);
    LoadFields();
    if (m_column.isEmpty() || m_columnDesc.isEmpty()) {
        field->setFocus();
        m_statusLabel->hide();
        return;
    }
    if (!DescriptionFitsServer(m_columnDesc, field, false))
        return;
    const SqlServerTable table = TableAt(m_tableRow);
    const auto written = OffWindow<std::optional<UpdateResult>>([=, this]() -> std::optional<UpdateResult> {
        if (!OpenConnection(m_server, m_port, m_database, m_user, m_password))
            return std::nullopt;
        const UpdateResult result =
            m_kind == 2 ? UpdateMySqlColumnComment(m_mysql, m_table, m_column, m_columnDesc)
                        : UpdateSqlServerDescription(*m_connection, *m_recordset,
                                                     SqlServerColumnDescription(
                                                         SqlServerPropertyProcedure(*m_connection, *m_recordset, listed,
                                                                                    SqlServerDescriptionCount(table, m_column)),
                                                         m_columnDesc, table, m_column),
                                                     SqlServerDescriptionReadBack(table, m_column), m_columnDesc);
        CloseConnection();
        return result;
    });
    if (!written)
        return; // Exit ended the window
    if (!*written) {
        field->setFocus();
        return;
    }
    const UpdateResult& result = **written;
    ShowStoredDescription(result, m_columnList, m_columnRow, 8);
    const QString notFound = QStringLiteral("未查询到对应的字段：%1,%2,%3").arg(m_database, m_table, m_column);
    if (!EndDescriptionUpdate(result, field, notFound))
        return;
    Control(1020)->setEnabled(false);
}
