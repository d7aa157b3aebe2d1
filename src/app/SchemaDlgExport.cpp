// The structure export: OnExport on the window's thread, the rest on the
// export worker, which changes the window only through OnWindow.

#include "app/SchemaDlgWorker.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "common/CompleteWrite.h"
#include "common/DebugTrace.h"
#include "db/OdbcConnection.h"
#include "edit/DescriptionStatements.h"
#include "export/MySqlColumnReader.h"
#include "export/StructureFile.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QSaveFile>
#include <QTreeWidget>

struct CSchemaDlg::ExportRun {
    CStructureWriter& writer;
    QStringList notWritten; // in table order
    QString writeError;     // the system's reason; ends the export
};

namespace {

constexpr qsizetype kNamedTables = 5;

QString NotWrittenMessage(const QString& path, const QStringList& tables)
{
    QString names = tables.first(qMin(tables.size(), kNamedTables)).join(u"、");
    if (tables.size() > kNamedTables)
        names += u" 等";
    return QStringLiteral("文件未写入: %1\n%2 个表未能导出: %3").arg(path, QString::number(tables.size()), names);
}

} // namespace

void CSchemaDlg::OnExport()
{
    if (m_workerRunning || m_server.isEmpty() || m_database.isEmpty())
        return;
    const QString question = m_table.isEmpty()
        ? QStringLiteral("是否导出\n服务器: 【%1】\n数据库: 【%2】中的所有表结构？").arg(m_server, m_database)
        : QStringLiteral("是否导出\n服务器: 【%1】\n数据库: 【%2】中表: 【%3】的结构？").arg(m_server, m_database, m_table);
    if (MessageBox(question, QStringLiteral("提示"), kMbYesNoQuestionDefaultNo) != kIdYes)
        return;
    DebugTrace(u"服务器: %s，数据库: %s，表: %s", {m_server, m_database, m_table});
    QString name = m_server + u'-' + m_database;
    if (!m_table.isEmpty())
        name += u'-' + m_table;
    const QString path = SaveFileDialog(name);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && MessageBox(QStringLiteral("文件: %1 已经存在，是否覆盖？").arg(path), QStringLiteral("提示"),
                      kMbYesNoQuestionDefaultNo) != kIdYes)
        return;
    m_exportFile = path;
    StartWorker(&CSchemaDlg::ExportWorker);
}

void CSchemaDlg::ExportWorker()
{
    const QString path = m_exportFile;
    const QString table = m_table;
    const bool single = !table.isEmpty();
    QSaveFile file(path);
    CStructureWriter writer(file);
    if (!OpenReplacement(file) || !writer.WriteByteOrderMark()) {
        ShowWarning(QStringLiteral("无法打开文件: %1\n%2").arg(path, file.errorString()));
        return;
    }
    std::vector<SqlServerTable> sources;
    const QStringList tables = OnWindow([&] {
        for (int id : {1030, 1000, 1001, 1002})
            Control(id)->setEnabled(false);
        if (single)
            Control(1022)->setEnabled(false);
        QStringList names;
        if (single) {
            names.append(table);
            sources.push_back(TableAt(m_tableRow));
        }
        for (int row = 0; !single && row < m_tableList->topLevelItemCount(); ++row) {
            names.append(m_tableList->topLevelItem(row)->text(0));
            sources.push_back(TableAt(row));
        }
        return names;
    });

    ExportRun run{writer, {}, {}};
    const bool connected = OpenConnection(m_server, m_port, m_database, m_user, m_password);
    if (connected) {
        OnWindow([this] {
            Control(1030)->hide();
            m_progress->show();
        });
        if (!writer.WriteHeader())
            run.writeError = writer.ErrorString();
        else if (m_kind == 2)
            ExportMySql(tables, run);
        else
            ExportSqlServer(tables, sources, run);
        CloseSqlServer();
        m_mysql.Close();
        OnWindow([this] {
            m_progress->hide();
            Control(1030)->show();
        });
    }
    // Only a complete file takes the target's place; any failure leaves the
    // old file as it was and removes the copy.
    bool committed = false;
    if (connected && run.writeError.isEmpty() && run.notWritten.isEmpty()) {
        committed = file.commit();
        if (!committed)
            run.writeError = file.errorString();
    } else {
        file.cancelWriting();
    }
    OnWindow([&] {
        for (int id : {1030, 1000, 1001, 1002})
            Control(id)->setEnabled(true);
        if (single)
            Control(1022)->setEnabled(true);
    });
    if (!run.writeError.isEmpty())
        ShowWarning(QStringLiteral("写入文件失败: %1\n%2").arg(path, run.writeError));
    else if (!run.notWritten.isEmpty())
        ShowWarning(NotWrittenMessage(path, run.notWritten));
    else if (committed && !tables.isEmpty())
        OnWindow([&] {
            MessageBox(QStringLiteral("已经导出成功！\n请查看文件: %1 。").arg(path), QStringLiteral("提示"),
                       kMbIconInformation);
        });
}

void CSchemaDlg::ExportMySql(const QStringList& tables, ExportRun& run)
{
    // Chunks keep the client's memory bounded whatever the database's size.
    CMySqlColumnChunks chunks(m_mysql, m_database, tables, m_exportChunk);
    while (!chunks.AtEnd()) {
        const QStringList part = chunks.NextTables();
        const ColumnReading reading = chunks.Read();
        for (const QString& error : reading.errors)
            ShowWarning(error);
        // The bar's steps of a chunk's tables go to the window together: a
        // round trip for each table cost as much as writing it.
        std::vector<qsizetype> written;
        for (qsizetype i = 0; i < part.size(); ++i) {
            const TableColumns& read = reading.tables[size_t(i)];
            if (read.failed) {
                run.notWritten.append(part[i]);
                continue;
            }
            if (!run.writer.WriteTable(part[i], read.columns, m_kind)) {
                run.writeError = run.writer.ErrorString();
                ShowTableProgress(written);
                return;
            }
            written.push_back(qsizetype(read.columns.size()));
        }
        ShowTableProgress(written);
        if (reading.linkLost) {
            run.notWritten.append(chunks.Remaining());
            return;
        }
    }
}

void CSchemaDlg::ExportSqlServer(const QStringList& tables, const std::vector<SqlServerTable>& sources,
                                 ExportRun& run)
{
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const bool read = ExportTable(tables[i], sources[size_t(i)], run);
        if (!run.writeError.isEmpty())
            return;
        // One message for a lost link, not one for every table left.
        if (!read && m_connection->LinkLost()) {
            run.notWritten.append(tables.mid(i + 1));
            return;
        }
    }
}

bool CSchemaDlg::ExportTable(const QString& table, const SqlServerTable& source, ExportRun& run)
{
    const CatalogRows result = QuerySqlServerRows(
        *m_recordset, *m_connection,
        BuildCatalogQuery(kQueryColumns, source.name, QString(), m_kind, false, source.schema), kColumnFields);
    if (result.failed) {
        ShowWarning(result.error);
        run.notWritten.append(table);
        return false;
    }
    if (!run.writer.WriteTable(table, result.rows, m_kind)) {
        run.writeError = run.writer.ErrorString();
        return true;
    }
    ShowTableProgress({qsizetype(result.rows.size())});
    return true;
}

void CSchemaDlg::ShowTableProgress(const std::vector<qsizetype>& tableRows)
{
    // The bar restarts for each table; its lines go out in one write.
    if (tableRows.empty())
        return;
    OnWindow([&] {
        for (const qsizetype rows : tableRows) {
            const int last = int(qMax<qsizetype>(rows - 1, 0));
            m_progress->setRange(0, last);
            m_progress->setValue(last);
        }
    });
}
