#pragma once

// A SQL Server stand-in that the real client stack (unixODBC with FreeTDS's
// driver) talks to: TDS 7.4 on 127.0.0.1 without encryption, one thread per
// connection, answering the program's statements from a TdsCatalog.

#include "support/TdsCatalog.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Points unixODBC and FreeTDS at configuration files in `folder`, so the
// machine's stay untouched; before the first ODBC call of the process.
bool UsePrivateOdbc(const QString& folder);
// Registers FreeTDS's driver there under each name; with a trace file the
// driver manager logs every call, the connection string among them.
bool RegisterOdbcDrivers(const QString& folder, const QStringList& names, const QString& trace = {});

// One SQL batch as the peer received it.
struct TdsBatch {
    QString database; // the connection's database when it arrived
    QString text;
};

// One LOGIN7 as the peer received it, accepted or not.
struct TdsLoginRecord {
    QString user;
    QString database;
    uint32_t tdsVersion = 0; // 0x74000004 for TDS 7.4
    bool accepted = false;
};

class CTdsPeer
{
public:
    CTdsPeer(QString user, QString password);
    ~CTdsPeer(); // stops
    CTdsPeer(const CTdsPeer&) = delete;
    CTdsPeer& operator=(const CTdsPeer&) = delete;

    // Listens on a free port of 127.0.0.1; false when it cannot.
    bool Start();
    // Closes every connection and joins the threads.
    void Stop();
    quint16 Port() const { return m_port; }

    // The one login the server knows; the user name is case-insensitive.
    void SetCredentials(const QString& user, const QString& password);

    // Catalog set-up and inspection, safe while clients are connected.
    // ResetCatalog: back to the system databases alone, kind 1, the default
    // property templates.
    void ResetCatalog();
    void SetCatalogKind(int kind);
    void AddDatabase(const TdsDatabaseDef& database);
    void SetPropertyTemplates(const TdsStatements::PropertyTemplates& templates);
    std::optional<TdsTableDef> Table(const QString& database, const QString& table) const;
    void EditCatalog(const std::function<void(TdsCatalog&)>& edit);

    // What arrived since the start or the last clear, in order.
    std::vector<TdsBatch> Batches() const;
    std::vector<TdsLoginRecord> Logins() const;
    void ClearLog();
    // The connections open now.
    size_t Sessions() const
    {
        std::lock_guard lock(m_mutex);
        return m_sockets.size();
    }

    // A result of more than rows rows breaks off after that many: the
    // connection is closed in the middle of the reply. Negative: never.
    void SetDropAfterRows(int rows) { m_dropAfterRows = rows; }
    // The next batch is logged but not run, and its connection closes
    // without an answer, as when a server goes away mid-statement.
    void DropNextBatch() { m_dropNextBatch = true; }
    // Each reply to a login or a batch waits this long first.
    void SetReplyDelay(int milliseconds) { m_delayMs = milliseconds; }
    // Logins from now on are answered as SQL Server 2000 answers them: in
    // TDS 7.1, whatever version the client asked for.
    void SetTds71(bool on) { m_tds71 = on; }

private:
    struct Session;
    void AcceptLoop();
    void Serve(int socket);
    bool Login(Session& session, const QByteArray& payload);
    bool Batch(Session& session, const QByteArray& payload);
    void Delay() const;

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_dropAfterRows{-1};
    std::atomic<bool> m_dropNextBatch{false};
    std::atomic<int> m_delayMs{0};
    std::atomic<bool> m_tds71{false};

    mutable std::mutex m_mutex; // guards everything below
    QString m_user;
    QString m_password;
    TdsCatalog m_catalog;
    std::vector<TdsBatch> m_batches;
    std::vector<TdsLoginRecord> m_logins;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};
