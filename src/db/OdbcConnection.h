#pragma once

#include "db/DbTimeouts.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

// A failing ODBC call. The description is what the driver and the server
// said, every diagnostic record's text unchanged, one per line; empty when
// the call left no diagnostics. The window shows it alone.
class COdbcError : public std::exception
{
public:
    explicit COdbcError(QString description);

    // Collects the diagnostic records of an ODBC handle (handleType is one of
    // the SQL_HANDLE_* values).
    static COdbcError FromDiagnostics(short handleType, void* handle);

    const QString& Description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

// One ODBC connection (the part of an ADO connection the tool uses). Opened
// for one operation and closed again; used by one thread at a time, but
// Cancel may come from another.
class COdbcConnection
{
public:
    // Null when the ODBC environment cannot be allocated.
    static std::unique_ptr<COdbcConnection> Create();
    ~COdbcConnection();
    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    // Connects without prompting. Throws COdbcError.
    void Open(const QString& connectionString);
    // Runs a statement and discards whatever it returns. Throws COdbcError.
    void Execute(const QString& statement);
    // 0 closed, 1 open, as ADO's adStateClosed and adStateOpen.
    int State() const { return m_dbc ? 1 : 0; }
    // Does nothing when already closed.
    void Close();
    // True once the driver knows the link to the server is gone, so that
    // every further statement would fail the same way.
    bool LinkLost() const;

    // The SQLHDBC while open, otherwise null.
    void* NativeHandle() const { return m_dbc; }

    // Cancels the statement under way and fails every later one, from any
    // thread; a login under way runs on to its timeout. ResetCancel undoes it.
    void Cancel();
    void ResetCancel() { m_cancelled = false; }
    bool Cancelled() const { return m_cancelled; }
    // The statement being run, for Cancel; null when none. Throws COdbcError
    // when cancelled.
    void SetRunning(void* statement);

    // Read at each Open and each statement.
    DbTimeouts m_timeouts;

private:
    explicit COdbcConnection(void* environment) : m_env(environment) {}

    void* m_env;
    void* m_dbc = nullptr;
    std::mutex m_runningMutex;
    void* m_running = nullptr;
    std::atomic_bool m_cancelled{false};
};

namespace OdbcMessages {
// ADO's texts for calls on an object in the wrong state.
QString ObjectOpen();
QString ObjectClosed();
QString NoCurrentRecord();
} // namespace OdbcMessages
