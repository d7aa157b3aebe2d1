#pragma once

#include "common/DbKind.h"
#include "db/MySqlClient.h"
#include "export/TableKeys.h"
#include "settings/PasswordCodec.h"
#include "settings/SettingsFile.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct CatalogRows;
struct SqlServerTable;
struct UpdateResult;
class COdbcConnection;
class COdbcRecordset;
class CStatusLabel;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

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
    // Sets the text of the label with this id; no label, no change.
    void SetLabelText(int id, const QString& text) const;

    // The settings file the start-up puts into m_settingsPath; set before the
    // window is first shown.
    void SetSettingsPathAtStart(const QString& path) { m_settingsPathAtStart = path; }

    // Make the SQL Server connection objects at start-up; null means the
    // object could not be created. Tests replace them before the first show.
    using ConnectionFactory = std::function<std::unique_ptr<COdbcConnection>()>;
    using RecordsetFactory = std::function<std::unique_ptr<COdbcRecordset>()>;
    void SetStartupFactories(ConnectionFactory connection, RecordsetFactory recordset);

    // Start-up and closing. OnInitDialog runs when the window is first shown.
    bool OnInitDialog();
    void InitWindowState();
    void LoadServerHistory();
    // Closes within kExitWaitMs whatever a worker waits for: its wait is
    // cut, and a worker still not back (a name lookup, an ODBC login) is
    // left to the end of the process.
    void OnExit();
    static constexpr int kExitWaitMs = 1500;
    bool DestroyWindow();
    void ShowAbout();

    // Data exchange of the five bound texts: load copies the fields into the
    // members; store copies the members into the fields, touching a field only
    // when its text differs.
    void LoadFields();
    void StoreFields();

    // Server choice and connection controls. WireServerChoice connects the
    // server and kind boxes to their handlers; the constructor calls it once
    // the controls exist.
    void WireServerChoice();
    void EnableConnectionControls(bool enable);
    void ApplyServerChoice(bool typed);
    void OnServerSelected();
    void OnServerEndEdit();
    void OnKindSelected();
    void ApplyServerTypingRule(const QKeyEvent& key);

    // Key filter and focus.
    bool PreTranslateMessage(QObject* target, QEvent* event);
    void MoveListRow(QTreeWidget* list, int current, int next);
    void OnTableDescFocus();
    void OnColumnDescFocus();
    void OnTableListFocus();
    void OnColumnListFocus();

    // Opens the connection of the current kind; on failure hides the label,
    // tells the user why and returns 0. Runs on the window's thread or on a
    // worker; its window changes always run on the window's thread.
    int OpenConnection(const QString& server, const QString& port, const QString& database, const QString& user,
                       const QString& password);

    // Connecting: OnConnect turns the connection controls off and starts
    // ConnectWorker on a thread of its own.
    void OnConnect();
    void ConnectWorker();
    bool DetectCatalogVersion();
    // True while a worker uses the connection objects; nothing else that
    // talks to a server may start then.
    bool WorkerRunning() const { return m_workerRunning; }

    // Handlers that talk to a server. The list handlers get the row that
    // has just become selected; losing a selection calls nothing.
    void OnItemChangedDatabaseList(int row);
    void OnItemChangedTableList(int row);
    void OnColumnSelected(int row);
    void OnUpdateTableDescription();
    void OnUpdateColumnDescription();
    void OnTableDescChange();
    void OnColumnDescChange();
    void OnExport();

    // Export: OnExport asks, turns the controls off and starts ExportWorker
    // on a thread of its own. The file keeps every table that could be
    // read; one that could hold none leaves the old file as it was.
    struct ExportJob;
    void ExportWorker(const ExportJob& job);
    // The indexes and foreign keys for a workbook or a document, on the
    // export's connection; a failure is shown once.
    KeyCatalog ReadExportKeys(const ExportJob& job);
    // The save dialog for the export; an empty text means cancelled. Tests
    // install an answerer so that no dialog blocks them.
    using SaveFileAnswerer = std::function<QString(const QString& defaultName)>;
    QString SaveFileDialog(const QString& defaultName);
    void SetSaveFileAnswerer(SaveFileAnswerer answerer);
    // Tables per column statement of a MySQL export; 0 sends the per-table
    // statement for each table.
    int m_exportChunk = 250;

    // Members, in the design's order.
    QIcon m_hIcon;
    CStatusLabel* m_statusLabel = nullptr;
    QList<QIcon> m_imageList;
    std::unique_ptr<COdbcConnection> m_connection;
    std::unique_ptr<COdbcRecordset> m_recordset;
    CMySqlClient m_mysql;
    DbKind m_kind = 1;
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
    QString m_settingsPath = QStringLiteral("Pell.ini");
    QString m_database;
    QString m_table;
    QString m_column;
    QString m_server;

public:
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // Runs a window change on the window's thread; a worker waits for it.
    // Only workers block here, and the window's thread never waits for a
    // worker without processing events, so neither can stall the other.
    template <typename F>
    auto OnWindow(F&& change);
    void StartWorker(std::function<void()> work);
    void WorkerLoop();
    // Runs `work` on a worker while the window goes on answering, though to
    // Exit alone; `waitText` shows once the wait is long enough to be seen.
    // Empty when Exit ended the window meanwhile: the window is gone.
    template <typename R>
    std::optional<R> OffWindow(std::function<R()> work, const QString& waitText = {});
    bool WaitOffWindow(std::function<void()> work, const QString& waitText);
    bool HoldsInput(QObject* target, QEvent* event) const;
    static constexpr int kWaitLabelDelayMs = 300;
    static constexpr int kStillWaitMs = 16;
    // False when the worker still runs after limitMs.
    bool WaitForWorker(int limitMs = -1);
    bool WorkerCancelled() const;
    void EnableExportControls(bool enable, bool single);
    void ConnectMySql();
    void ConnectSqlServer();
    void FinishConnect(const QStringList& databases, const QString& kindName);
    void AddServerToHistory();
    void WireLists();
    void ResetDescriptionArea(bool tableDescEnabled);
    void ShowWarning(const QString& text);
    CatalogRows QueryCatalog(int queryKind, const QString& table, int columns, const SqlServerTable& source);
    // A listing's connection and statement off the window's thread; empty
    // when the connection could not be opened (the user was told) or Exit
    // ended the window.
    std::optional<CatalogRows> ListOffWindow(int queryKind, const QString& table, int columns,
                                             const QString& waitText);
    void ShowProgress(qsizetype rows);
    void CloseSqlServer();
    void CloseConnection();
    // The SQL Server table of a table list row: its schema and bare name.
    SqlServerTable TableAt(int row) const;
    // One step of the bar for each written table, the table's rows.
    void ShowTableProgress(const std::vector<qsizetype>& tableRows);
    bool BeginDescriptionUpdate(const QString& waitText);
    bool DescriptionFitsServer(const QString& description, QWidget* field, bool table);
    bool EndDescriptionUpdate(const UpdateResult& result, QWidget* field, const QString& notFound);
    void ShowStoredDescription(const UpdateResult& result, QTreeWidget* list, int row, int column);

    void CreateControls();
    void SetListStyles();
    void InsertListColumns();

    MessageAnswerer m_answerer;
    SaveFileAnswerer m_saveFileAnswerer;
    ConnectionFactory m_makeConnection;
    RecordsetFactory m_makeRecordset;
    QString m_settingsPathAtStart = QStringLiteral("Pell.ini");
    bool m_initDone = false;
    bool m_exitRequested = false;
    bool m_closing = false; // Exit was pressed: nothing more is asked or told
    bool m_holdingInput = false; // a handler waits for its worker
    // One thread for the window's life: a listing must not pay for a new
    // thread, nor the new thread's first round trip to the server.
    std::thread m_worker;
    std::function<void()> m_job;
    bool m_workerQuit = false;
    std::atomic_bool m_workerRunning{false};
    std::mutex m_workerEndMutex;
    std::condition_variable m_workerEnded;
    std::condition_variable m_jobPosted;

    // Server choice: context of its signal connections. It goes with the
    // members, before the dialog's destructor hides the window, which ends
    // the server box's editing once more.
    QObject m_serverChoiceScope;
};
