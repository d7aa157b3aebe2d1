// The structure export: OnExport on the window's thread, the rest on the
// export worker, which changes the window only through OnWindow.

#include "app/SchemaDlgWorker.h"

#include "common/CompleteWrite.h"
#include "common/DebugTrace.h"
#include "db/OdbcConnection.h"
#include "edit/DescriptionStatements.h"
#include "export/DocumentSink.h"
#include "export/DocumentedTable.h"
#include "export/ExportFileName.h"
#include "export/ExportTarget.h"
#include "export/MySqlColumnReader.h"
#include "export/StructureExport.h"

#include <QFileInfo>
#include <QHash>
#include <QProgressBar>
#include <QTreeWidget>

struct CSchemaDlg::ExportJob {
    QString path;
    bool single = false;
    QStringList tables;
    std::vector<SqlServerTable> sources;
    QStringList descriptions; // for a workbook's table sheet
};

namespace {

constexpr qsizetype kNamedTables = 5;

// `written`: the file holds the other tables; otherwise it was left as it was.
QString NotWrittenMessage(const QString& path, const QStringList& tables, bool written)
{
    QString names = tables.first(qMin(tables.size(), kNamedTables)).join(u"、");
    if (tables.size() > kNamedTables)
        names += u" 等";
    const QString text = written ? QStringLiteral("已导出到文件: %1\n%2 个表未能导出: %3")
                                 : QStringLiteral("文件未写入: %1\n%2 个表未能导出: %3");
    return text.arg(path, QString::number(tables.size()), names);
}

} // namespace

void CSchemaDlg::EnableExportControls(bool enable, bool single)
{
    for (int id : {1030, 1000, 1001, 1002})
        Control(id)->setEnabled(enable);
    if (single)
        Control(1022)->setEnabled(enable);
}

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
    ExportJob job{path, !m_table.isEmpty(), {}, {}, {}};
    if (job.single) {
        job.tables.append(m_table);
        job.sources.push_back(TableAt(m_tableRow));
        job.descriptions.append(m_tableList->topLevelItem(m_tableRow)->text(1));
    }
    for (int row = 0; !job.single && row < m_tableList->topLevelItemCount(); ++row) {
        job.tables.append(m_tableList->topLevelItem(row)->text(0));
        job.sources.push_back(TableAt(row));
        job.descriptions.append(m_tableList->topLevelItem(row)->text(1));
    }
    // The worker reads the members these controls write.
    EnableExportControls(false, job.single);
    StartWorker([this, job = std::move(job)] { ExportWorker(job); });
}

void CSchemaDlg::ExportWorker(const ExportJob& job)
{
    const QString& path = job.path;
    // The target also proves a workbook's file can be replaced before the
    // server is asked for anything.
    CExportTarget target(path);
    const bool workbook = IsWorkbookName(path);
    const std::optional<DocumentFormat> document = DocumentFormatOf(path);
    CTableCollector collector;
    std::optional<CDocumentSink> documentSink;
    CTableSink* sink = workbook ? static_cast<CTableSink*>(&collector) : &target;
    KeyCatalog keys;
    ExportOutcome run;
    // The file is opened once connected: a worker left waiting for a server
    // at Exit then leaves no copy behind.
    const bool connected = OpenConnection(m_server, m_port, m_database, m_user, m_password);
    const bool opened = connected && target.Open();
    if (opened) {
        OnWindow([this] {
            Control(1030)->hide();
            m_progress->show();
        });
        const ExportReports reports{[this](const ExportProblem& problem) { ShowWarning(WindowMessage(problem)); },
                                    [this](const std::vector<qsizetype>& rows) { ShowTableProgress(rows); }};
        if (workbook || document)
            keys = ReadExportKeys(job);
        if (document) {
            QHash<QString, QString> descriptions;
            for (qsizetype i = 0; i < job.tables.size(); ++i)
                descriptions.insert(job.tables[i], job.descriptions[i]);
            sink = &documentSink.emplace(*document, DocumentTitle{m_server, m_database, QDate::currentDate()},
                                         std::move(descriptions));
            documentSink->SetKeys(std::move(keys));
            if (m_kind == 2)
                documentSink->SetViews(MySqlViewNames(m_mysql, m_database).value_or(QSet<QString>()));
        }
        if (m_kind == 2)
            ExportMySqlTables(m_mysql, m_database, job.tables, m_exportChunk, *sink, run, reports);
        else
            ExportSqlServerTables(*m_recordset, *m_connection, m_kind, job.tables, job.sources, *sink, run, reports);
        OnWindow([this] {
            m_progress->hide();
            Control(1030)->show();
        });
    }
    // The table list shows a view's "VIEW" as its description; the workbook
    // marks it instead.
    if (opened && workbook && m_kind == 2)
        MarkMySqlViews(m_mysql, m_database, collector.Tables());
    CloseSqlServer();
    m_mysql.Close();
    // The file keeps what could be read; with no table read it stays as it was.
    const bool cancelled = WorkerCancelled();
    bool committed = false;
    const bool started = workbook ? !collector.Tables().empty() : documentSink ? documentSink->Started() : target.Started();
    if (opened && !cancelled && run.writeError.isEmpty() && (started || run.notWritten.isEmpty())) {
        if (workbook) {
            QHash<QString, QString> descriptions;
            for (qsizetype i = 0; i < job.tables.size(); ++i)
                descriptions.insert(job.tables[i], job.descriptions[i]);
            for (DocumentedTable& table : collector.Tables())
                if (!table.view)
                    table.description = descriptions.value(table.name);
            committed = WriteWorkbook(target.Output(), collector.Tables(), m_kind, run.writeError, &keys) &&
                target.Output().Commit();
            if (!committed) {
                if (run.writeError.isEmpty())
                    run.writeError = target.ErrorString();
                target.Cancel();
            }
        } else if (documentSink) {
            committed = documentSink->Commit(target.Output());
            if (!committed) {
                run.writeError = documentSink->ErrorString();
                target.Cancel();
            }
        } else {
            committed = target.Commit();
            if (!committed)
                run.writeError = target.ErrorString();
        }
    } else {
        target.Cancel();
    }
    OnWindow([&] { EnableExportControls(true, job.single); });
    if (cancelled || !connected)
        return;
    if (!opened)
        ShowWarning(QStringLiteral("无法打开文件: %1\n%2").arg(path, target.ErrorString()));
    else if (!run.writeError.isEmpty())
        ShowWarning(QStringLiteral("写入文件失败: %1\n%2").arg(path, run.writeError));
    else if (!run.notWritten.isEmpty())
        ShowWarning(NotWrittenMessage(path, run.notWritten, committed));
    else if (!job.tables.isEmpty())
        OnWindow([&] {
            MessageBox(QStringLiteral("已经导出成功！\n请查看文件: %1 。").arg(path), QStringLiteral("提示"),
                       kMbIconInformation);
        });
}

KeyCatalog CSchemaDlg::ReadExportKeys(const ExportJob& job)
{
    // The chunk of the column statements; a statement per table reads the
    // keys 250 tables at a time all the same.
    const qsizetype chunk = m_exportChunk > 0 ? m_exportChunk : 250;
    QStringList errors;
    KeyCatalog keys = m_kind == 2
        ? ReadMySqlKeys(m_mysql, m_database, job.tables, chunk, errors)
        : ReadSqlServerKeys(*m_recordset, *m_connection, m_kind, job.tables, job.sources, chunk, errors);
    // One message: the document says which tables lack them.
    if (!errors.isEmpty())
        ShowWarning(errors.constFirst());
    return keys;
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
