#pragma once

// The bytes of TDS 7.4 as the peer writes and reads them: tokens of a reply
// stream, the stream cut into packets, and the client's LOGIN7 record.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace TdsWire {

enum PacketType : uint8_t { SqlBatch = 0x01, Reply = 0x04, Attention = 0x06, Login7 = 0x10, PreLogin = 0x12 };

// Types the peer puts in a result. VarChar is sent in the server's code page
// (GBK, a Chinese_PRC collation); Variant is sql_variant.
enum class ColumnType { Int4, IntN, NVarChar, VarChar, Variant };

struct Column {
    QString name;
    ColumnType type = ColumnType::NVarChar;
    int maxChars = 4000; // text types only
    bool nullable = true;
};

// One value of a row. In a Variant column, Text is an nvarchar value and
// AnsiText a varchar one (what isnull(value,'') yields for a missing value).
struct Cell {
    enum Kind { Null, Int, Text, AnsiText } kind = Null;
    int number = 0;
    QString text;

    static Cell Of(int value) { return {Int, value, {}}; }
    static Cell Of(const QString& value) { return {Text, 0, value}; }
    static Cell Ansi(const QString& value) { return {AnsiText, 0, value}; }
};

struct Message {
    int number = 0;
    int state = 1;
    int severity = 16;
    QString text;
    QString procedure;
    int line = 1;
};

// Tokens appended to one reply stream. TDS 7.1 (SQL Server 2000) has
// narrower user types, line numbers and row counts than 7.2 and later.
class StreamWriter
{
public:
    explicit StreamWriter(bool tds71 = false) : m_tds71(tds71) {}

    void EnvDatabase(const QString& newName, const QString& oldName);
    void EnvLanguage(const QString& language);
    void EnvPacketSize(int size);
    void EnvCollation();
    void Info(const Message& message);
    void Error(const Message& message);
    void LoginAck();
    void ColumnMetadata(const std::vector<Column>& columns);
    void Row(const std::vector<Column>& columns, const std::vector<Cell>& cells);
    void ReturnStatus(int status);
    enum DoneKind : uint8_t { Done = 0xFD, DoneProc = 0xFE };
    enum DoneStatus : uint16_t { Final = 0x00, More = 0x01, Failed = 0x02, Count = 0x10, Attended = 0x20 };
    void DoneToken(DoneKind kind, uint16_t status, uint16_t command, uint64_t rows);

    const QByteArray& Bytes() const { return m_bytes; }
    void Clear() { m_bytes.clear(); }

private:
    void Byte(uint8_t value) { m_bytes.append(static_cast<char>(value)); }
    void U16(uint16_t value);
    void U32(uint32_t value);
    void BVarChar(const QString& text);
    void UsVarChar(const QString& text);
    void Utf16(const QString& text);
    void Collation();
    void Message(uint8_t token, const TdsWire::Message& message);

    bool m_tds71;
    QByteArray m_bytes;
};

// The stream cut into packets of at most packetSize bytes; the last one is
// marked end-of-message unless the reply is to break off there.
QByteArray Packets(uint8_t type, const QByteArray& stream, int packetSize, bool endOfMessage = true);

// The server's answer to PRELOGIN: no encryption, no MARS.
QByteArray PreLoginReply(bool tds71);

struct Login {
    QString user;
    QString password;
    QString database;
    QString application;
    uint32_t tdsVersion = 0;
    int packetSize = 4096;
};

// Reads a LOGIN7 payload; nullopt when it is malformed.
std::optional<Login> ParseLogin(const QByteArray& payload);

// The UTF-16 text of a SQL batch payload, after its ALL_HEADERS block
// (which TDS 7.1 does not have).
std::optional<QString> ParseBatch(const QByteArray& payload, bool tds71);

// The bytes a GBK server holds for text made of ASCII and the few symbols the
// peer's varchar columns carry; other characters become '?', as a server's
// conversion to a code page does.
QByteArray ToGbk(const QString& text);

} // namespace TdsWire
