// Server choice and connection controls of the main window.

#include "common/DebugTrace.h"
#include "app/SchemaDlg.h"
#include "app/TypingKey.h"
#include "settings/StoredServer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

constexpr int kConnectionControlIds[] = {1000, 1004, 1017, 1013, 1014, 1015};

// Tells the "item chosen" signal of an editable combo box apart from Qt's own
// activation when typed text happens to match an item (on Enter or focus
// loss). The platform the window comes from only reports list choices, and
// a typed server must stay a typed server. It also reports the opening of
// the drop-down list, which ends the editing of the box's text.
class ComboWatcher : public QObject
{
public:
    ComboWatcher(QComboBox* combo, std::function<void()> onPopupShown)
        : QObject(combo), m_view(combo->view()), m_viewport(combo->view()->viewport()),
          m_onPopupShown(std::move(onPopupShown))
    {
        combo->installEventFilter(this);
        if (QLineEdit* edit = combo->lineEdit())
            edit->installEventFilter(this);
        m_view->installEventFilter(this);
        m_viewport->installEventFilter(this);
    }

    // True while an event that makes the text editing finish is processed.
    bool Finishing() const { return m_finishing; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The box may be half destroyed here (its children still send
        // events), so only the pointers taken at the start are used.
        if (watched == m_view || watched == m_viewport) {
            // Whatever happens in the open list is a choice, not typing.
            const QEvent::Type type = event->type();
            if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride
                || type == QEvent::MouseButtonRelease)
                m_finishing = false;
            if (type == QEvent::Show && watched == m_view) {
                m_finishing = false;
                if (m_onPopupShown)
                    m_onPopupShown();
            }
            return false;
        }
        bool ends = event->type() == QEvent::FocusOut;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            ends = key == Qt::Key_Return || key == Qt::Key_Enter;
        }
        if (ends && !m_finishing) {
            // Qt reacts within this event; a zero timer runs once it is done.
            m_finishing = true;
            QPointer<ComboWatcher> self(this);
            QTimer::singleShot(0, this, [self] {
                if (self)
                    self->m_finishing = false;
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_viewport;
    std::function<void()> m_onPopupShown;
    bool m_finishing = false;
};

void SetEnabled(QWidget* widget, bool enable)
{
    if (widget)
        widget->setEnabled(enable);
}

} // namespace

void CSchemaDlg::WireServerChoice()
{
    QObject* scope = &m_serverChoiceScope;
    QPointer<QObject> alive(scope);
    ComboWatcher* serverWatcher = new ComboWatcher(m_serverCombo, [this, alive] {
        if (alive)
            OnServerEndEdit();
    });
    connect(m_serverCombo, &QComboBox::activated, scope, [this, serverWatcher](int) {
        if (!serverWatcher->Finishing())
            OnServerSelected();
    });
    if (QLineEdit* edit = m_serverCombo->lineEdit())
        connect(edit, &QLineEdit::editingFinished, scope, [this] { OnServerEndEdit(); });

    ComboWatcher* kindWatcher = new ComboWatcher(m_kindCombo, nullptr);
    connect(m_kindCombo, &QComboBox::activated, scope, [this, kindWatcher](int) {
        if (!kindWatcher->Finishing())
            OnKindSelected();
    });
}

void CSchemaDlg::EnableConnectionControls(bool enable)
{
    for (int id : kConnectionControlIds)
        SetEnabled(Control(id), enable);
}

void CSchemaDlg::ApplyServerChoice(bool typed)
{
    if (typed) {
        // The kind box keeps what it shows; a typed server is SQL Server.
        m_port.clear();
        m_user.clear();
        m_password.clear();
        m_kind = 1;
    } else {
        const StoredServer stored = ReadStoredServer(m_settings, m_settingsPath, m_server, true);
        const QString& kindText = stored.kindText;
        m_port = stored.port;
        m_user = stored.user;
        m_password = stored.password;

        // Point the box at the matching item too, so that leaving it later
        // does not count as choosing that kind (and reset the port).
        const int index = m_kindCombo->findText(kindText, Qt::MatchFixedString);
        if (index >= 0)
            m_kindCombo->setCurrentIndex(index);
        m_kindCombo->setEditText(kindText);
        m_kind = stored.IsMySql() ? 2 : 1;
    }
    StoreFields();

    m_database.clear();
    m_table.clear();
    m_column.clear();

    m_databaseList->clear();
    m_tableList->clear();
    m_columnList->clear();

    m_databaseList->setEnabled(false);
    m_tableList->setEnabled(false);
    m_columnList->setEnabled(false);
    SetEnabled(Control(1030), false);

    SetLabelText(1007, QStringLiteral("数据库: 0"));
    SetLabelText(1008, QStringLiteral("表: 0"));
    SetLabelText(1023, QStringLiteral("表描述: "));
    SetLabelText(1009, QStringLiteral("字段: 0"));
    SetLabelText(1025, QStringLiteral("字段描述: "));

    m_tableDesc.clear();
    m_columnDesc.clear();
    StoreFields();

    EnableConnectionControls(true);
    SetEnabled(Control(1022), false);
    SetEnabled(Control(1024), false);
}

void CSchemaDlg::OnServerSelected()
{
    const int index = m_serverCombo->currentIndex();
    m_server = index >= 0 ? m_serverCombo->itemText(index) : QString();
    if (m_server.isEmpty())
        return;
    DebugTrace(u"选择服务器: %s", {m_server});
    ApplyServerChoice(false);
}

void CSchemaDlg::OnServerEndEdit()
{
    if (m_serverEdited != 1)
        return;
    LoadFields();
    m_server = m_serverCombo->currentText();
    if (m_server.isEmpty())
        return;
    DebugTrace(u"输入服务器: %s", {m_server});
    ApplyServerChoice(true);
    m_serverEdited = 0;
}

void CSchemaDlg::OnKindSelected()
{
    const int index = m_kindCombo->currentIndex();
    const QString kindText = index >= 0 ? m_kindCombo->itemText(index) : QString();
    if (kindText.isEmpty())
        return;
    auto* port = qobject_cast<QLineEdit*>(Control(1017));
    if (kindText.compare(u"SQLServer", Qt::CaseInsensitive) == 0) {
        if (port)
            port->setText(QStringLiteral("1433"));
        m_kind = 1;
    } else if (kindText.compare(u"MySQL", Qt::CaseInsensitive) == 0) {
        if (port)
            port->setText(QStringLiteral("3306"));
        m_kind = 2;
    }
}

void CSchemaDlg::ApplyServerTypingRule(const QKeyEvent& key)
{
    if (!IsServerTypingKey(key, PlatformKeycodesByPlace()))
        return;
    m_serverEdited = 1;
    EnableConnectionControls(true);
    SetEnabled(Control(1022), false);
    SetEnabled(Control(1024), false);
}
