#include "support/TdsPeer.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

enum : uint8_t { SqlBatch = 0x01, Reply = 0x04, Login7 = 0x10, PreLogin = 0x12 };

// Version 15.0.2000, encryption not supported.
const QByteArray kPreLoginReply("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF\x0F\x00\x07\xD0\x00\x00\x02", 18);

// A reply stream, little-endian.
struct Stream {
    QByteArray bytes;
    Stream& U8(unsigned v)
    {
        bytes.append(char(v & 0xFF));
        return *this;
    }
    Stream& U16(unsigned v) { return U8(v).U8(v >> 8); }
    Stream& U32(unsigned v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Stream& Text(const QString& text)
    {
        bytes.append(reinterpret_cast<const char*>(text.utf16()), 2 * text.size()); // x86 holds UTF-16 little-endian already
        return *this;
    }
    Stream& BText(const QString& text) { return U8(unsigned(text.size())).Text(text); }
    // A token whose body follows its length.
    Stream& Token(unsigned token, const Stream& body)
    {
        U8(token).U16(unsigned(body.bytes.size())).bytes += body.bytes;
        return *this;
    }
    Stream& Done(unsigned status, unsigned rows = 0) { return U8(0xFD).U16(status).U16(0xC1).U32(rows).U32(0); }
    Stream& Error(unsigned number, const QString& text)
    {
        Stream body;
        body.U32(number).U8(1).U8(16).U16(unsigned(text.size())).Text(text).BText(QStringLiteral("PEER")).U8(0).U32(1);
        return Token(0xAA, body);
    }
};

// In packets of 4 KiB; the last ends the message unless the reply breaks off there.
bool Send(int socket, const Stream& stream, bool whole)
{
    const QByteArray& bytes = stream.bytes;
    QByteArray out;
    for (qsizetype at = 0, id = 1; at < bytes.size(); at += 4088, ++id) {
        const auto size = unsigned(qMin<qsizetype>(4088, bytes.size() - at) + 8);
        const bool last = whole && at + 4088 >= bytes.size();
        // Type, status, length and SPID (52) big-endian, packet number, window.
        out += Stream().U8(Reply).U8(last).U8(size >> 8).U8(size).U8(0).U8(52).U8(unsigned(id)).U8(0).bytes;
        out += bytes.mid(at, 4088);
    }
    return send(socket, out.constData(), size_t(out.size()), MSG_NOSIGNAL) == out.size();
}

// One client message, however many packets it spans; type 0 when the client has gone.
QByteArray Receive(int socket, uint8_t& type)
{
    QByteArray message;
    type = 0;
    for (char header[8]; recv(socket, header, 8, MSG_WAITALL) == 8;) {
        const int length = (uint8_t(header[2]) << 8 | uint8_t(header[3])) - 8;
        QByteArray piece(qMax(length, 0), Qt::Uninitialized);
        if (length < 0 || recv(socket, piece.data(), size_t(length), MSG_WAITALL) != length)
            break;
        message += piece;
        if (header[1] & 0x01) {
            type = uint8_t(header[0]);
            break;
        }
    }
    return message;
}

QString Utf16(const QByteArray& bytes)
{
    return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
}

unsigned U16(const QByteArray& bytes, qsizetype at)
{
    return bytes.size() < at + 2 ? 0 : unsigned(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

// A LOGIN7 field, whose offset and length in characters are at `at`.
QString LoginField(const QByteArray& payload, qsizetype at)
{
    QByteArray bytes = payload.mid(U16(payload, at), 2 * U16(payload, at + 2));
    for (char& b : bytes) { // the password's bytes had their nibbles swapped, then were XORed with 0xA5
        if (const auto x = uint8_t(uint8_t(b) ^ 0xA5); at == 44)
            b = char(uint8_t(x << 4 | x >> 4));
    }
    return Utf16(bytes);
}

// False when the link is to close after what was written.
bool Encode(const TdsReply& reply, Stream& out)
{
    if (reply.hangUp)
        return false;
    if (!reply.error.isEmpty() || reply.columns.isEmpty()) {
        if (!reply.error.isEmpty())
            out.Error(50000, reply.error);
        out.Done(reply.error.isEmpty() ? 0 : 2);
        return true;
    }
    out.U8(0x81).U16(unsigned(reply.columns.size()));
    for (const QString& name : reply.columns) // nullable nvarchar(4000), Latin1_General_CI_AS
        out.U32(0).U16(1).U8(0xE7).U16(8000).U32(0x00D00409).U8(0x34).BText(name);
    for (size_t i = 0; i < reply.rows.size(); ++i) {
        if (int(i) == reply.cutAfter)
            return false;
        out.U8(0xD1);
        for (const QString& value : reply.rows[i])
            value.isNull() ? out.U16(0xFFFF) : out.U16(unsigned(2 * value.size())).Text(value);
    }
    out.Done(0x10, unsigned(reply.rows.size()));
    return true;
}

} // namespace

bool CTdsPeer::Start()
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0
        || listen(m_listener, 16) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] {
        for (int client; (client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            Locked([&] {
                m_sockets.push_back(client);
                m_threads.emplace_back([this, client] { Serve(client); });
            });
        }
    });
    return true;
}

void CTdsPeer::Stop()
{
    if (!m_acceptor.joinable())
        return;
    shutdown(m_listener, SHUT_RDWR); // wakes accept()
    m_acceptor.join();
    close(m_listener);
    Locked([this] {
        for (int s : m_sockets)
            shutdown(s, SHUT_RDWR);
    });
    for (std::thread& thread : m_threads) // no longer added to
        thread.join();
}

void CTdsPeer::Serve(int socket)
{
    QString database; // set by the login
    uint8_t type = 0;
    for (QByteArray in = Receive(socket, type); type != 0; in = Receive(socket, type)) {
        Stream out;
        bool open = true;
        if (type == PreLogin) {
            out.bytes = kPreLoginReply;
        } else if (type == Login7 && LoginField(in, 40) == m_user && LoginField(in, 44) == m_password) {
            database = LoginField(in, 68);
            Stream ack; // TDS 7.4, SQL Server 15.0.2000
            ack.U8(1).U32(0x04000074).BText(QStringLiteral("Microsoft SQL Server")).U32(0xD007000F);
            out.Token(0xAD, ack).Done(0);
        } else if (type == Login7) {
            out.Error(18456, QStringLiteral("Login failed for user '%1'.").arg(LoginField(in, 40))).Done(2);
            Send(socket, out, true);
            break;
        } else if (type == SqlBatch && !database.isEmpty()) {
            const QString statement = Utf16(in.mid(U16(in, 0) | U16(in, 2) << 16)); // after ALL_HEADERS
            TdsRoute route;
            Locked([&] {
                m_batches.push_back({database, statement});
                route = m_route;
            });
            open = Encode(route ? route(statement, database) : TdsReply::Refusal(QStringLiteral("No route")), out);
        } else {
            break;
        }
        if (!Send(socket, out, open) || !open)
            break;
    }
    // Closed under the lock so Stop never shuts down a number reused since.
    Locked([&] {
        std::erase(m_sockets, socket);
        close(socket);
    });
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
