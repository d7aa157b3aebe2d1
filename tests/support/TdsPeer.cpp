#include "support/TdsPeer.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TdsWire;

namespace {

bool ReadExactly(int socket, char* buffer, size_t size)
{
    while (size > 0) {
        const ssize_t n = recv(socket, buffer, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAll(int socket, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = send(socket, data, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

struct Request {
    uint8_t type = 0;
    QByteArray payload;
};

// One client message, however many packets it spans.
std::optional<Request> ReadRequest(int socket)
{
    Request request;
    for (;;) {
        unsigned char header[8];
        if (!ReadExactly(socket, reinterpret_cast<char*>(header), sizeof header))
            return std::nullopt;
        const int length = header[2] << 8 | header[3];
        if (length < 8)
            return std::nullopt;
        QByteArray piece(length - 8, Qt::Uninitialized);
        if (!ReadExactly(socket, piece.data(), static_cast<size_t>(piece.size())))
            return std::nullopt;
        request.type = header[0];
        request.payload += piece;
        if (header[1] & 0x01)
            return request;
    }
}

Message LoginFailed(const QString& user)
{
    return {18456, 1, 14, QStringLiteral("Login failed for user '%1'.").arg(user), {}, 1};
}

} // namespace

struct CTdsPeer::Session {
    int socket = -1;
    QString database;
    int packetSize = 4096;
    bool tds71 = false;
};

CTdsPeer::CTdsPeer(QString user, QString password) : m_user(std::move(user)), m_password(std::move(password)) {}

void CTdsPeer::SetCredentials(const QString& user, const QString& password)
{
    std::lock_guard lock(m_mutex);
    m_user = user;
    m_password = password;
}

std::vector<TdsLoginRecord> CTdsPeer::Logins() const
{
    std::lock_guard lock(m_mutex);
    return m_logins;
}

CTdsPeer::~CTdsPeer()
{
    Stop();
}

bool CTdsPeer::Start()
{
    m_stopping = false;
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_listener, 16) != 0
        || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(m_listener);
        m_listener = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void CTdsPeer::Stop()
{
    if (m_listener < 0)
        return;
    m_stopping = true;
    shutdown(m_listener, SHUT_RDWR); // wakes accept()
    m_acceptor.join();
    close(m_listener);
    m_listener = -1;
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        for (int s : m_sockets)
            shutdown(s, SHUT_RDWR);
        threads.swap(m_threads);
    }
    for (std::thread& thread : threads)
        thread.join();
}

void CTdsPeer::AcceptLoop()
{
    while (!m_stopping) {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            close(client);
            return;
        }
        m_sockets.push_back(client);
        m_threads.emplace_back([this, client] { Serve(client); });
    }
}

void CTdsPeer::Serve(int socket)
{
    Session session;
    session.socket = socket;
    session.tds71 = m_tds71;
    for (bool open = true; open;) {
        const std::optional<Request> request = ReadRequest(socket);
        if (!request)
            break;
        switch (request->type) {
        case PreLogin:
            open = SendAll(socket, Packets(Reply, PreLoginReply(session.tds71), session.packetSize));
            break;
        case Login7:
            open = Login(session, request->payload);
            break;
        case SqlBatch:
            open = !session.database.isEmpty() && Batch(session, request->payload);
            break;
        case Attention: {
            StreamWriter done(session.tds71);
            done.DoneToken(StreamWriter::Done, StreamWriter::Attended, 0, 0);
            open = SendAll(socket, Packets(Reply, done.Bytes(), session.packetSize));
            break;
        }
        default: // RPC and the rest: nothing the program sends
            open = false;
        }
    }
    // Closed under the lock so Stop never shuts down a number reused since.
    std::lock_guard lock(m_mutex);
    std::erase(m_sockets, socket);
    close(socket);
}

void CTdsPeer::Delay() const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_delayMs.load());
    while (!m_stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool CTdsPeer::Login(Session& session, const QByteArray& payload)
{
    const std::optional<TdsWire::Login> login = ParseLogin(payload);
    if (!login)
        return false;
    Delay();
    session.packetSize = qBound(512, login->packetSize, 32767);
    const QString wanted = login->database.isEmpty() ? QStringLiteral("master") : login->database;
    bool known = false, accepted = false;
    QString database;
    {
        std::lock_guard lock(m_mutex);
        known = m_catalog.HasDatabase(wanted);
        database = m_catalog.DatabaseName(wanted);
        accepted = login->user.compare(m_user, Qt::CaseInsensitive) == 0 && login->password == m_password;
        m_logins.push_back({login->user, login->database, login->tdsVersion, accepted && known});
    }
    StreamWriter reply(session.tds71);
    if (!accepted || !known) {
        if (accepted) {
            reply.Error({4060, 1, 11,
                         QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                             .arg(wanted),
                         {}, 1});
        }
        reply.Error(LoginFailed(login->user));
        reply.DoneToken(StreamWriter::Done, StreamWriter::Failed, 0, 0);
        SendAll(session.socket, Packets(Reply, reply.Bytes(), session.packetSize));
        return false;
    }
    session.database = database;
    reply.EnvDatabase(database, QStringLiteral("master"));
    reply.Info({5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(database), {}, 1});
    reply.EnvCollation();
    reply.EnvLanguage(QStringLiteral("us_english"));
    reply.Info({5703, 1, 0, QStringLiteral("Changed language setting to us_english."), {}, 1});
    reply.LoginAck();
    reply.EnvPacketSize(session.packetSize);
    reply.DoneToken(StreamWriter::Done, StreamWriter::Final, 0, 0);
    return SendAll(session.socket, Packets(Reply, reply.Bytes(), session.packetSize));
}

bool CTdsPeer::Batch(Session& session, const QByteArray& payload)
{
    const std::optional<QString> text = ParseBatch(payload, session.tds71);
    if (!text)
        return false;
    TdsReply answer;
    {
        std::lock_guard lock(m_mutex);
        m_batches.push_back({session.database, *text});
        if (m_dropNextBatch.exchange(false))
            return false;
        answer = m_catalog.Answer(session.database, *text);
    }
    Delay();
    StreamWriter reply(session.tds71);
    if (!answer.procedure.isEmpty()) {
        if (answer.error)
            reply.Error(*answer.error);
        reply.ReturnStatus(answer.error ? 1 : 0);
        reply.DoneToken(StreamWriter::DoneProc, answer.error ? StreamWriter::Failed : StreamWriter::Final, 0xE0, 0);
    } else if (answer.error) {
        reply.Error(*answer.error);
        reply.DoneToken(StreamWriter::Done, StreamWriter::Failed, 0, 0);
    } else {
        reply.ColumnMetadata(answer.columns);
        const int drop = m_dropAfterRows;
        for (size_t i = 0; i < answer.rows.size(); ++i) {
            if (drop >= 0 && i == static_cast<size_t>(drop)) {
                // Break off mid-reply: what was built goes out without its end.
                SendAll(session.socket, Packets(Reply, reply.Bytes(), session.packetSize, false));
                return false;
            }
            reply.Row(answer.columns, answer.rows[i]);
        }
        reply.DoneToken(StreamWriter::Done, StreamWriter::Count, 0xC1, answer.rows.size());
    }
    return SendAll(session.socket, Packets(Reply, reply.Bytes(), session.packetSize));
}

void CTdsPeer::ResetCatalog()
{
    std::lock_guard lock(m_mutex);
    m_catalog = TdsCatalog();
}

void CTdsPeer::SetCatalogKind(int kind)
{
    std::lock_guard lock(m_mutex);
    m_catalog.kind = kind;
}

void CTdsPeer::AddDatabase(const TdsDatabaseDef& database)
{
    std::lock_guard lock(m_mutex);
    m_catalog.AddDatabase(database);
}

void CTdsPeer::SetPropertyTemplates(const TdsStatements::PropertyTemplates& templates)
{
    std::lock_guard lock(m_mutex);
    m_catalog.propertyTemplates = templates;
}

std::optional<TdsTableDef> CTdsPeer::Table(const QString& database, const QString& table) const
{
    std::lock_guard lock(m_mutex);
    const TdsTableDef* found = m_catalog.Table(database, table);
    return found ? std::optional<TdsTableDef>(*found) : std::nullopt;
}

void CTdsPeer::EditCatalog(const std::function<void(TdsCatalog&)>& edit)
{
    std::lock_guard lock(m_mutex);
    edit(m_catalog);
}

std::vector<TdsBatch> CTdsPeer::Batches() const
{
    std::lock_guard lock(m_mutex);
    return m_batches;
}

void CTdsPeer::ClearLog()
{
    std::lock_guard lock(m_mutex);
    m_batches.clear();
    m_logins.clear();
}

bool UsePrivateOdbc(const QString& folder)
{
    const QDir dir(folder);
    qputenv("ODBCSYSINI", folder.toLocal8Bit());
    qputenv("ODBCINSTINI", "odbcinst.ini");
    qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toLocal8Bit());
    QFile freetds(dir.filePath(QStringLiteral("freetds.conf")));
    qputenv("FREETDSCONF", freetds.fileName().toLocal8Bit());
    return freetds.open(QIODevice::WriteOnly) && freetds.write("[global]\n") > 0;
}

bool RegisterOdbcDrivers(const QString& folder, const QStringList& names, const QString& trace)
{
    QByteArray text;
    if (!trace.isEmpty())
        text += "[ODBC]\nTrace=Yes\nTraceFile=" + trace.toUtf8() + "\n\n";
    for (const QString& name : names)
        text += "[" + name.toUtf8() + "]\nDescription=test\nDriver=libtdsodbc.so\n\n";
    QFile file(QDir(folder).filePath(QStringLiteral("odbcinst.ini")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}
