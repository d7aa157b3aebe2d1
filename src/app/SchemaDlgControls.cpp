#include "app/SchemaDlg.h"

#include "app/DialogUnits.h"
#include "ui/StatusLabel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace {

// The closed height of a combo box: the same as an edit, so the top row
// lines up. The rest of the design's combo height is its drop-down list.
constexpr int kEditHeight = 14;

} // namespace

// Creates the controls of the window in tab order, each named by its id and
// placed by its dialog-unit rectangle; states are those at start.
void CSchemaDlg::CreateControls()
{
    const CDialogUnits du(font());
    QList<QWidget*> tabChain;

    auto place = [&](QWidget* control, int id, QRect rect, bool enabled) {
        control->setObjectName(QString::number(id));
        control->setGeometry(rect);
        control->setEnabled(enabled);
        if (control->focusPolicy() & Qt::TabFocus)
            tabChain.append(control);
    };
    auto comboBox = [&](int id, int x, int y, int w, int h, bool enabled) {
        auto* box = new QComboBox(this);
        box->setEditable(true);
        // The history only grows on a successful connect, and typing must
        // not be completed into another server's name.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        const int closed = du.Y(kEditHeight);
        box->setMaxVisibleItems(qMax(1, (du.Y(h) - closed) / qMax(fontMetrics().height(), 16)));
        place(box, id, QRect(du.X(x), du.Y(y), du.X(w), closed), enabled);
        return box;
    };
    auto edit = [&](int id, int x, int y, int w, int h) {
        auto* field = new QLineEdit(this);
        place(field, id, du.Rect(x, y, w, h), false);
        return field;
    };
    auto button = [&](int id, int x, int y, int w, int h, bool enabled) {
        auto* push = new QPushButton(this);
        push->setAutoDefault(false);
        place(push, id, du.Rect(x, y, w, h), enabled);
        return push;
    };
    auto list = [&](int id, int x, int y, int w, int h, bool sorted) {
        auto* view = new QTreeWidget(this);
        view->setColumnCount(0);
        view->setRootIsDecorated(false);
        view->setUniformRowHeights(true);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->header()->setStretchLastSection(false);
        // The lists are no tab stops; a click or the key filter focuses them.
        view->setFocusPolicy(Qt::ClickFocus);
        if (sorted) {
            // Kept sorted by name; the header does not re-sort on a click.
            view->setSortingEnabled(true);
            view->sortByColumn(0, Qt::AscendingOrder);
            view->header()->setSectionsClickable(false);
            view->header()->setSortIndicatorShown(false);
        }
        place(view, id, du.Rect(x, y, w, h), false);
        return view;
    };
    auto label = [&](int id, int x, int y, int w, int h, Qt::Alignment alignment) {
        auto* text = new QLabel(this);
        text->setAlignment(alignment | Qt::AlignVCenter);
        place(text, id, du.Rect(x, y, w, h), true);
        return text;
    };

    m_serverCombo = comboBox(1000, 37, 6, 88, 128, true);
    m_kindCombo = comboBox(1004, 155, 6, 60, 128, false);
    m_kindCombo->addItem(QStringLiteral("SQLServer"));
    m_kindCombo->addItem(QStringLiteral("MySQL"));
    m_kindCombo->setCurrentIndex(-1);
    edit(1017, 246, 6, 33, 14);
    edit(1013, 309, 6, 47, 14);
    edit(1014, 384, 6, 79, 14)->setEchoMode(QLineEdit::Password);
    button(1015, 489, 6, 50, 14, false)->setDefault(true);
    m_databaseList = list(1001, 7, 38, 172, 192, true);
    m_tableList = list(1002, 184, 38, 418, 192, true);
    edit(1022, 329, 23, 210, 14);
    button(1021, 552, 23, 50, 14, false);
    m_columnList = list(1003, 7, 248, 595, 181, false);
    edit(1024, 227, 233, 312, 14);
    button(1020, 552, 233, 50, 14, false);
    button(1006, 552, 6, 50, 14, true);
    label(1007, 7, 24, 122, 8, Qt::AlignLeft);
    label(1008, 184, 24, 101, 8, Qt::AlignLeft);
    label(1009, 7, 235, 99, 8, Qt::AlignLeft);
    label(1011, 280, 9, 28, 8, Qt::AlignRight);
    label(1012, 356, 9, 26, 8, Qt::AlignRight);
    label(1023, 287, 26, 41, 8, Qt::AlignRight);
    label(1025, 168, 235, 57, 8, Qt::AlignRight);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    place(m_progress, 1027, du.Rect(7, 22, 284, 14), true);
    m_statusLabel = new CStatusLabel(this);
    // The label paints by its own style flags, not by QLabel's alignment.
    m_statusLabel->SetStyleFlags(CStatusLabel::kStyleCenter | CStatusLabel::kStyleCenterImage);
    place(m_statusLabel, 1029, du.Rect(67, 130, 475, 175), true);
    button(1030, 129, 22, 50, 14, false);
    label(1016, 217, 9, 28, 8, Qt::AlignRight);
    label(1018, 129, 9, 24, 8, Qt::AlignRight);
    label(1010, 7, 9, 30, 8, Qt::AlignLeft);

    // The progress bar covers the counts and Export while a list fills; the
    // status label covers everything while work runs.
    m_progress->raise();
    m_statusLabel->raise();

    for (qsizetype i = 0; i + 1 < tabChain.size(); ++i)
        setTabOrder(tabChain[i], tabChain[i + 1]);

    setFixedSize(du.X(609), du.Y(436));
}
