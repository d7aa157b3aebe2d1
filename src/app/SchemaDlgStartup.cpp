#include "app/SchemaDlg.h"

#include "db/OdbcConnection.h"
#include "db/OdbcRecordset.h"
#include "ui/RowColourDelegate.h"
#include "ui/StatusLabel.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

namespace {

struct ListColumn {
    const char16_t* header;
    Qt::Alignment alignment;
    int width;
};

constexpr ListColumn kDatabaseColumns[] = {
    {u"名称", Qt::AlignLeft, 230},
};
constexpr ListColumn kTableColumns[] = {
    {u"名称", Qt::AlignLeft, 230},
    {u"描述", Qt::AlignLeft, 370},
};
constexpr ListColumn kColumnColumns[] = {
    {u"名称", Qt::AlignLeft, 150},    {u"类型", Qt::AlignLeft, 90},    {u"长度", Qt::AlignRight, 40},
    {u"小数", Qt::AlignRight, 40},    {u"空值", Qt::AlignHCenter, 40}, {u"主键", Qt::AlignHCenter, 40},
    {u"自增", Qt::AlignHCenter, 40},  {u"默认", Qt::AlignLeft, 140},   {u"描述", Qt::AlignLeft, 290},
};

// The header item keeps each column's alignment; the row delegate hands it
// on to the cells.
template <size_t N>
void InsertColumns(QTreeWidget* list, const ListColumn (&columns)[N])
{
    list->setColumnCount(int(N));
    QTreeWidgetItem* header = list->headerItem();
    for (int i = 0; i < int(N); ++i) {
        header->setText(i, QString::fromUtf16(columns[i].header));
        header->setTextAlignment(i, columns[i].alignment | Qt::AlignVCenter);
        list->setColumnWidth(i, columns[i].width);
    }
    // A sort order given while the list had no columns does not hold.
    if (list->isSortingEnabled())
        list->sortByColumn(0, Qt::AscendingOrder);
}

} // namespace

bool CSchemaDlg::OnInitDialog()
{
    auto* about = new QAction(QStringLiteral("&About Velmora..."), this);
    connect(about, &QAction::triggered, this, &CSchemaDlg::ShowAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    setWindowIcon(m_hIcon);

    m_progress->hide();
    m_kindCombo->setEnabled(false);

    setWindowTitle(QStringLiteral("SQL数据库表及字段描述信息 (Ver: 23.16.10.23)"));
    const struct {
        int id;
        const char16_t* text;
    } texts[] = {
        {1010, u"服务器: "}, {1018, u"类型: "},     {1007, u"数据库: 0"}, {1008, u"表: 0"},
        {1009, u"字段: 0"},  {1023, u"表描述: "},   {1025, u"字段描述: "}, {1016, u"端口: "},
        {1011, u"用户: "},   {1012, u"密码: "},     {1015, u"连接(&C)"},  {1006, u"退出(&X)"},
        {1021, u"更新(&T)"}, {1020, u"更新(&S)"},   {1030, u"导出(&E)"},
    };
    for (const auto& entry : texts)
        Control(entry.id)->setProperty("text", QString::fromUtf16(entry.text));

    m_statusLabel->SetBackground(MakeColorRef(255, 255, 0), 0, false)
        .SetForeground(MakeColorRef(255, 0, 0))
        .SetPointSize(36);
    m_statusLabel->hide();

    setWindowFlag(Qt::WindowCloseButtonHint, false);

    m_imageList = {
        QIcon(QStringLiteral(":/icons/server.png")),
        QIcon(QStringLiteral(":/icons/database.png")),
        QIcon(QStringLiteral(":/icons/table.png")),
        QIcon(QStringLiteral(":/icons/column.png")),
    };

    InitWindowState();
    return true;
}

void CSchemaDlg::InitWindowState()
{
    m_server.clear();
    m_settingsPath = m_settingsPathAtStart;
    m_serverEdited = 0;
    m_tableRow = -1;
    m_columnRow = -1;

    m_connection.reset();
    m_connection = m_makeConnection();
    if (!m_connection) {
        MessageBox(QStringLiteral("初始化Connection Instance错误!"), QStringLiteral("错误"), kMbIconStop);
        return;
    }
    m_recordset.reset();
    m_recordset = m_makeRecordset();
    if (!m_recordset) {
        MessageBox(QStringLiteral("初始化Recordset Instance错误!"), QStringLiteral("错误"), kMbIconStop);
        return;
    }

    SetListStyles();

    const QSize iconSize(16, 16);
    m_serverCombo->setIconSize(iconSize);
    for (QTreeWidget* list : {m_databaseList, m_tableList, m_columnList})
        list->setIconSize(iconSize);

    m_serverCombo->clear();
    LoadServerHistory();
    InsertListColumns();
}

void CSchemaDlg::SetListStyles()
{
    const struct {
        QTreeWidget* list;
        const char* prefix;
    } lists[] = {{m_databaseList, "DB"}, {m_tableList, "TB"}, {m_columnList, "ST"}};
    for (const auto& entry : lists) {
        // Grid lines and row colours: the delegate installs itself on the list.
        new CRowColourDelegate(&m_settings, &m_settingsPath, QString::fromLatin1(entry.prefix), entry.list);
        entry.list->header()->setSectionsMovable(true);
        entry.list->setAllColumnsShowFocus(true);
    }
}

void CSchemaDlg::LoadServerHistory()
{
    for (int n = 1;; ++n) {
        const QString server = m_settings.Read(m_settingsPath, QStringLiteral("Database"),
                                               QStringLiteral("Server%1").arg(n), QString());
        if (server.isEmpty())
            break;
        m_serverCombo->insertItem(0, m_imageList.value(0), server);
    }
    // Filling the box selects nothing; the server field stays empty.
    m_serverCombo->setCurrentIndex(-1);
}

void CSchemaDlg::InsertListColumns()
{
    InsertColumns(m_databaseList, kDatabaseColumns);
    InsertColumns(m_tableList, kTableColumns);
    InsertColumns(m_columnList, kColumnColumns);
}
