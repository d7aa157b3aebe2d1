#pragma once

#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class CStatusLabel;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Server kind: 0 = SQL Server with sysproperties, 1 = SQL Server with
// sys.extended_properties, 2 = MySQL.
using DbKind = int;

// Message-box styles used by the window.
enum MessageStyle : unsigned {
    kMbIconStop = 0x10,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
    kMbYesNoQuestionDefaultNo = 0x124,
};
enum MessageAnswer : int { kIdOk = 1, kIdYes = 6, kIdNo = 7 };

// The main window. It holds the program's state and every handler; the
// handlers call into the subsystem libraries for the real work. Controls
// are addressed by their numeric ids through Control().
class CSchemaDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSchemaDlg(QWidget* parent = nullptr);
    ~CSchemaDlg() override;

    // The one way the window asks or tells the user something. Tests install
    // an answerer so that no modal box blocks them.
    using MessageAnswerer = std::function<int(const QString& text, const QString& caption, unsigned style)>;
    int MessageBox(const QString& text, const QString& caption, unsigned style);
    void SetMessageAnswerer(MessageAnswerer answerer);

    QWidget* Control(int id) const;

    // Start-up and closing.
    bool OnInitDialog();
    void InitWindowState();
    void LoadServerHistory();
    void OnExit();
    bool DestroyWindow();
    void ShowAbout();

    // Data exchange of the five bound texts: load copies the fields into the
    // members; store copies the members into the fields, touching a field only
    // when its text differs.
    void LoadFields();
    void StoreFields();

    // Server choice and connection controls.
    void EnableConnectionControls(bool enable);
    void ApplyServerChoice(bool typed);
    void OnServerSelected();
    void OnServerEndEdit();
    void OnKindSelected();
    void ApplyServerTypingRule(int key, Qt::KeyboardModifiers modifiers);

    // Key filter and focus.
    bool PreTranslateMessage(QObject* target, QEvent* event);
    void MoveListRow(QTreeWidget* list, int current, int next);
    void OnTableDescFocus();
    void OnColumnDescFocus();
    void OnTableListFocus();
    void OnColumnListFocus();

    // Handlers that talk to a server; filled in with the listings, the
    // description updates and the export.
    void OnConnect();
    void OnItemChangedDatabaseList();
    void OnItemChangedTableList();
    void OnColumnSelected();
    void OnUpdateTableDescription();
    void OnUpdateColumnDescription();
    void OnTableDescChange();
    void OnColumnDescChange();
    void OnExport();

    // Members, in the design's order.
    QIcon m_hIcon;
    CStatusLabel* m_statusLabel = nullptr;
    QList<QIcon> m_imageList;
    int m_kind = 1;
    QString m_exportFile;
    int m_serverEdited = 0;
    QProgressBar* m_progress = nullptr;
    QComboBox* m_kindCombo = nullptr;
    QComboBox* m_serverCombo = nullptr;
    QTreeWidget* m_columnList = nullptr;
    int m_columnRow = -1;
    QTreeWidget* m_tableList = nullptr;
    int m_tableRow = -1;
    QTreeWidget* m_databaseList = nullptr;
    QString m_port;
    QString m_user;
    QString m_password;
    QString m_tableDesc;
    QString m_columnDesc;
    CPasswordCodec m_codec;
    CSettingsFile m_settings;
    QString m_settingsPath;
    QString m_database;
    QString m_table;
    QString m_column;
    QString m_server;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    MessageAnswerer m_answerer;
};
