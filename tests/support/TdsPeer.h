#pragma once

// A SQL Server stand-in for unixODBC with FreeTDS: TDS 7.4 on 127.0.0.1, no
// encryption, a thread per connection; the test's route answers each batch.

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Points unixODBC and FreeTDS at configuration files in `folder`, so the
// machine's stay untouched; before the first ODBC call of the process.
bool UsePrivateOdbc(const QString& folder);
// Registers FreeTDS's driver there under each name; with a trace file the
// driver manager logs every call, the connection string among them.
bool RegisterOdbcDrivers(const QString& folder, const QStringList& names, const QString& trace = {});

// The answer to one batch. Every column is nvarchar: the program reads each
// field as wide text whatever its type.
struct TdsReply {
    TdsReply(QStringList names = {}, std::vector<QStringList> values = {})
        : columns(std::move(names)), rows(std::move(values)) {}
    static TdsReply Refusal(const QString& text)
    {
        TdsReply reply;
        reply.error = text;
        return reply;
    }

    QStringList columns;           // none: no result set
    std::vector<QStringList> rows; // a null QString is NULL
    QString error;                 // not empty: refused with this text
    int cutAfter = -1;             // 0 or more: the link closes after that many rows
    bool hangUp = false;           // the link closes with no answer at all
};

struct TdsBatch {
    QString database; // the one the session logged in to
    QString text;
};

using TdsRoute = std::function<TdsReply(const QString& statement, const QString& database)>;

class CTdsPeer
{
public:
    CTdsPeer(QString user, QString password) : m_user(std::move(user)), m_password(std::move(password)) {}
    ~CTdsPeer() { Stop(); }

    // Listens on a free port of 127.0.0.1.
    bool Start();
    // Closes every connection and joins the threads.
    void Stop();
    quint16 Port() const { return m_port; }

    // Safe while clients are connected; a batch in flight keeps the old route.
    void SetRoute(TdsRoute route) { Locked([&] { m_route = std::move(route); }); }
    // The batches since the start or the last clear, in order.
    std::vector<TdsBatch> Batches() const { return Locked([this] { return m_batches; }); }
    void ClearLog() { Locked([this] { m_batches.clear(); }); }
    // The connections open now.
    size_t Sessions() const { return Locked([this] { return m_sockets.size(); }); }

private:
    void Serve(int socket);
    template <typename F> auto Locked(F f) const -> decltype(f())
    {
        std::lock_guard lock(m_mutex);
        return f();
    }

    const QString m_user;
    const QString m_password;
    int m_listener = -1;
    quint16 m_port = 0;
    mutable std::mutex m_mutex; // guards everything below
    TdsRoute m_route;
    std::vector<TdsBatch> m_batches;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};
