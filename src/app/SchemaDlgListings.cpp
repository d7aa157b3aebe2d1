// The table and column listings: their statements run on a worker while
// the window waits for them.

#include "app/SchemaDlgWorker.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "catalog/LengthDisplay.h"
#include "catalog/NameOrder.h"
#include "edit/DescriptionStatements.h"
#include "db/OdbcRecordset.h"
#include "ui/ListRow.h"
#include "ui/StatusLabel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeWidget>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

const QStringList kTableFields = {"name", "extpro", "schema"};
// A SQL Server table row keeps its schema and bare name beside the name shown.
constexpr int kSchemaRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

// Rows go in with drawing and sorting off.
void FillList(QTreeWidget& list, const QList<QTreeWidgetItem*>& items, QProgressBar& progress)
{
    list.setSortingEnabled(false);
    list.addTopLevelItems(items);
    // A shown bar repaints at once on a new value, a third of the window's
    // share of a 1,000-column listing; the next paint shows it anyway.
    progress.setUpdatesEnabled(false);
    progress.setValue(progress.maximum());
    progress.setUpdatesEnabled(true);
}

// A list kept sorted by name gets its rows in order, sorted here once over
// names folded once each: the list's own sort compares through the rows and
// costs several times as much.
QList<QTreeWidgetItem*> SortedByName(const QList<QTreeWidgetItem*>& items, const QStringList& names)
{
    std::vector<QString> folded;
    folded.reserve(size_t(names.size()));
    for (const QString& name : names)
        folded.push_back(name.toCaseFolded());
    std::vector<qsizetype> order(size_t(items.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return NameSortsBefore(folded[size_t(a)], names[a], folded[size_t(b)], names[b]);
    });
    QList<QTreeWidgetItem*> sorted;
    sorted.reserve(items.size());
    for (const qsizetype at : order)
        sorted.append(items[at]);
    return sorted;
}

} // namespace

void CSchemaDlg::WireLists()
{
    // Only a row that has just become selected counts: clearing a list or
    // losing a selection reports nothing.
    const auto wire = [this](QTreeWidget* list, void (CSchemaDlg::*handler)(int)) {
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, handler](const QItemSelection& selected) {
                    if (!selected.isEmpty())
                        (this->*handler)(selected.indexes().first().row());
                });
    };
    wire(m_databaseList, &CSchemaDlg::OnItemChangedDatabaseList);
    wire(m_tableList, &CSchemaDlg::OnItemChangedTableList);
    wire(m_columnList, &CSchemaDlg::OnColumnSelected);
}

SqlServerTable CSchemaDlg::TableAt(int row) const
{
    const QTreeWidgetItem* item = m_tableList->topLevelItem(row);
    if (!item)
        return {m_kind, {}, {}};
    const QVariant name = item->data(0, kNameRole);
    return {m_kind, item->data(0, kSchemaRole).toString(), name.isValid() ? name.toString() : item->text(0)};
}

CatalogRows CSchemaDlg::QueryCatalog(int queryKind, const QString& table, int columns, const SqlServerTable& source)
{
    const bool mysql = m_kind == 2;
    const QString statement =
        BuildCatalogQuery(queryKind, mysql ? table : source.name, mysql ? m_database : QString(), m_kind,
                          mysql && m_mysql.NoBackslashEscapes(), source.schema);
    if (mysql) {
        CatalogRows result = QueryMySqlTexts(m_mysql, statement, columns);
        m_mysql.Close();
        return result;
    }
    const QStringList& fields = queryKind == kQueryTables ? kTableFields : kColumnFields;
    CatalogRows result = QuerySqlServerRows(*m_recordset, *m_connection, statement, fields);
    CloseSqlServer();
    result.texts = CRowTexts(int(fields.size()));
    for (const QStringList& values : result.rows)
        for (const QString& value : values)
            result.texts.Append(value);
    return result;
}

std::optional<CatalogRows> CSchemaDlg::ListOffWindow(int queryKind, const QString& table, int columns,
                                                     const QString& waitText)
{
    // The list is read here, on the window's thread.
    const SqlServerTable source = m_kind == 2 || queryKind != kQueryColumns ? SqlServerTable{} : TableAt(m_tableRow);
    const auto listed = OffWindow<std::optional<CatalogRows>>(
        [this, queryKind, table, columns, source]() -> std::optional<CatalogRows> {
            if (!OpenConnection(m_server, m_port, m_database, m_user, m_password))
                return std::nullopt;
            return QueryCatalog(queryKind, table, columns, source);
        },
        waitText);
    return listed ? std::move(*listed) : std::nullopt;
}

void CSchemaDlg::ResetDescriptionArea(bool tableDescEnabled)
{
    StoreFields();
    Control(1022)->setEnabled(tableDescEnabled);
    Control(1024)->setEnabled(false);
    Control(1021)->setEnabled(false);
    Control(1020)->setEnabled(false);
}

void CSchemaDlg::OnItemChangedDatabaseList(int row)
{
    if (m_workerRunning)
        return;
    QTreeWidgetItem* item = m_databaseList->topLevelItem(row);
    m_database = item ? item->text(0) : QString();
    if (m_database.isEmpty())
        return;
    m_tableDesc.clear();
    m_columnDesc.clear();
    ResetDescriptionArea(false);
    std::optional<CatalogRows> listed =
        ListOffWindow(kQueryTables, QString(), 2, QStringLiteral("正在查询表，请稍候..."));
    if (!listed)
        return;
    if (listed->failed) {
        ShowWarning(listed->error);
        return;
    }
    const auto source = std::make_shared<ListRowSource>(ListRowSource{std::move(listed->texts), m_imageList.value(2)});
    const qsizetype rows = source->texts.Rows();
    ShowProgress(rows);
    m_tableList->clear();
    m_columnList->clear();
    SetLabelText(1008, QStringLiteral("表: 0"));
    SetLabelText(1009, QStringLiteral("字段: 0"));
    m_tableList->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows);
    QStringList shownNames;
    shownNames.reserve(rows);
    for (qsizetype at = 0; at < rows; ++at) {
        auto* entry = new CListRow(source, at);
        const QString name = source->texts.Text(at, 0);
        QString shown = name;
        if (m_kind != 2) {
            // Outside dbo a SQL Server table shows as schema.name.
            const QString schema = source->texts.Text(at, 2);
            if (!schema.isEmpty() && schema != u"dbo") {
                shown = schema + u'.' + name;
                entry->setText(0, shown);
            }
            entry->setData(0, kSchemaRole, schema);
            entry->setData(0, kNameRole, name);
        }
        shownNames.append(shown);
        items.append(entry);
    }
    items = SortedByName(items, shownNames);
    FillList(*m_tableList, items, *m_progress);
    SetLabelText(1008, QStringLiteral("表: %1").arg(items.size()));
    m_tableList->setUpdatesEnabled(true);
    m_tableList->setEnabled(true);
    Control(1030)->setEnabled(true);
    m_progress->hide();
    m_tableRow = 0;
    m_table.clear();
}

void CSchemaDlg::OnItemChangedTableList(int row)
{
    if (m_workerRunning)
        return;
    m_tableRow = row;
    QTreeWidgetItem* item = m_tableList->topLevelItem(row);
    m_table = item ? item->text(0) : QString();
    m_tableDesc = item ? item->text(1) : QString();
    if (m_table.isEmpty())
        return;
    m_columnDesc.clear();
    ResetDescriptionArea(true);
    std::optional<CatalogRows> listed =
        ListOffWindow(kQueryColumns, m_table, 9, QStringLiteral("正在查询字段，请稍候..."));
    if (!listed)
        return;
    if (listed->failed) {
        ShowWarning(listed->error);
        return;
    }
    const auto source = std::make_shared<ListRowSource>(ListRowSource{std::move(listed->texts), m_imageList.value(3)});
    const qsizetype rows = source->texts.Rows();
    ShowProgress(rows);
    m_columnList->clear();
    SetLabelText(1009, QStringLiteral("字段: 0"));
    m_columnList->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows);
    for (qsizetype at = 0; at < rows; ++at) {
        auto* entry = new CListRow(source, at);
        // Only a length the display rule changes is kept on the row.
        if (std::optional<QString> shown = ChangedLength(source->texts.View(at, 1), source->texts.View(at, 2), m_kind))
            entry->setText(2, *shown);
        items.append(entry);
    }
    FillList(*m_columnList, items, *m_progress);
    SetLabelText(1009, QStringLiteral("字段: %1").arg(items.size()));
    m_columnList->setUpdatesEnabled(true);
    m_columnList->setEnabled(true);
    m_progress->hide();
    Control(1022)->setFocus();
    m_columnRow = 0;
}
