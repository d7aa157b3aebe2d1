#include "support/TdsWire.h"

namespace TdsWire {

namespace {

// Chinese_PRC_CI_AS: LCID 0x0804, case, kana and width insensitive.
constexpr uint8_t ServerCollation[5] = {0x04, 0x08, 0xD0, 0x00, 0x00};
constexpr uint8_t Token_EnvChange = 0xE3, Token_Error = 0xAA, Token_Info = 0xAB, Token_LoginAck = 0xAD,
                  Token_ColMetadata = 0x81, Token_Row = 0xD1, Token_ReturnStatus = 0x79;
constexpr uint8_t Type_Int4 = 0x38, Type_IntN = 0x26, Type_NVarChar = 0xE7, Type_BigVarChar = 0xA7,
                  Type_Variant = 0x62;
constexpr uint32_t VariantMaxBytes = 8009;

uint16_t ReadU16(const QByteArray& bytes, qsizetype at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t ReadU32(const QByteArray& bytes, qsizetype at)
{
    return static_cast<uint32_t>(ReadU16(bytes, at)) | static_cast<uint32_t>(ReadU16(bytes, at + 2)) << 16;
}

QString ReadUtf16(const QByteArray& bytes, qsizetype at, qsizetype units)
{
    QString text(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        text[i] = QChar(ReadU16(bytes, at + 2 * i));
    return text;
}

QByteArray Utf16Bytes(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

void StreamWriter::U16(uint16_t value)
{
    Byte(static_cast<uint8_t>(value));
    Byte(static_cast<uint8_t>(value >> 8));
}

void StreamWriter::U32(uint32_t value)
{
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
}

void StreamWriter::Utf16(const QString& text)
{
    m_bytes += Utf16Bytes(text);
}

void StreamWriter::BVarChar(const QString& text)
{
    Byte(static_cast<uint8_t>(text.size()));
    Utf16(text);
}

void StreamWriter::UsVarChar(const QString& text)
{
    U16(static_cast<uint16_t>(text.size()));
    Utf16(text);
}

void StreamWriter::Collation()
{
    for (uint8_t b : ServerCollation)
        Byte(b);
}

void StreamWriter::EnvDatabase(const QString& newName, const QString& oldName)
{
    Byte(Token_EnvChange);
    U16(static_cast<uint16_t>(3 + 2 * (newName.size() + oldName.size())));
    Byte(1);
    BVarChar(newName);
    BVarChar(oldName);
}

void StreamWriter::EnvLanguage(const QString& language)
{
    Byte(Token_EnvChange);
    U16(static_cast<uint16_t>(3 + 2 * language.size()));
    Byte(2);
    BVarChar(language);
    BVarChar({});
}

void StreamWriter::EnvPacketSize(int size)
{
    const QString text = QString::number(size);
    Byte(Token_EnvChange);
    U16(static_cast<uint16_t>(3 + 4 * text.size()));
    Byte(4);
    BVarChar(text);
    BVarChar(text);
}

void StreamWriter::EnvCollation()
{
    Byte(Token_EnvChange);
    U16(1 + 1 + 5 + 1);
    Byte(7);
    Byte(5);
    Collation();
    Byte(0);
}

void StreamWriter::Message(uint8_t token, const TdsWire::Message& message)
{
    const QString server = QStringLiteral("VELMORA-PEER");
    Byte(token);
    U16(static_cast<uint16_t>(4 + 1 + 1 + 2 + 2 * message.text.size() + 1 + 2 * server.size() + 1
                              + 2 * message.procedure.size() + (m_tds71 ? 2 : 4)));
    U32(static_cast<uint32_t>(message.number));
    Byte(static_cast<uint8_t>(message.state));
    Byte(static_cast<uint8_t>(message.severity));
    UsVarChar(message.text);
    BVarChar(server);
    BVarChar(message.procedure);
    if (m_tds71)
        U16(static_cast<uint16_t>(message.line));
    else
        U32(static_cast<uint32_t>(message.line));
}

void StreamWriter::Info(const TdsWire::Message& message)
{
    Message(Token_Info, message);
}

void StreamWriter::Error(const TdsWire::Message& message)
{
    Message(Token_Error, message);
}

void StreamWriter::LoginAck()
{
    const QString program = QStringLiteral("Microsoft SQL Server");
    Byte(Token_LoginAck);
    U16(static_cast<uint16_t>(1 + 4 + 1 + 2 * program.size() + 4));
    Byte(1); // T-SQL
    U32(m_tds71 ? 0x01000071 : 0x04000074); // sent as 71 00 00 01 or 74 00 00 04
    BVarChar(program);
    U32(m_tds71 ? 0xF7070008 : 0xD007000F); // 8.0.2039 (2000 SP4) or 15.0.2000 (2019)
}

void StreamWriter::ColumnMetadata(const std::vector<Column>& columns)
{
    Byte(Token_ColMetadata);
    U16(static_cast<uint16_t>(columns.size()));
    for (const Column& column : columns) {
        if (m_tds71)
            U16(0); // user type
        else
            U32(0);
        U16(column.nullable ? 0x0001 : 0x0000);
        switch (column.type) {
        case ColumnType::Int4:
            Byte(Type_Int4);
            break;
        case ColumnType::IntN:
            Byte(Type_IntN);
            Byte(4);
            break;
        case ColumnType::NVarChar:
            Byte(Type_NVarChar);
            U16(static_cast<uint16_t>(2 * column.maxChars));
            Collation();
            break;
        case ColumnType::VarChar:
            Byte(Type_BigVarChar);
            U16(static_cast<uint16_t>(column.maxChars));
            Collation();
            break;
        case ColumnType::Variant:
            Byte(Type_Variant);
            U32(VariantMaxBytes);
            break;
        }
        BVarChar(column.name);
    }
}

void StreamWriter::Row(const std::vector<Column>& columns, const std::vector<Cell>& cells)
{
    Byte(Token_Row);
    for (size_t i = 0; i < columns.size(); ++i) {
        const Cell& cell = cells.at(i);
        const bool null = cell.kind == Cell::Null;
        switch (columns[i].type) {
        case ColumnType::Int4:
            U32(static_cast<uint32_t>(cell.number));
            break;
        case ColumnType::IntN:
            Byte(null ? 0 : 4);
            if (!null)
                U32(static_cast<uint32_t>(cell.number));
            break;
        case ColumnType::NVarChar:
        case ColumnType::VarChar: {
            if (null) {
                U16(0xFFFF);
                break;
            }
            const QByteArray data =
                columns[i].type == ColumnType::NVarChar ? Utf16Bytes(cell.text) : ToGbk(cell.text);
            U16(static_cast<uint16_t>(data.size()));
            m_bytes += data;
            break;
        }
        case ColumnType::Variant: {
            if (null) {
                U32(0);
                break;
            }
            // Base type, its properties (max length, collation), then the data.
            const bool ansi = cell.kind == Cell::AnsiText;
            const QByteArray data = ansi ? ToGbk(cell.text) : Utf16Bytes(cell.text);
            U32(static_cast<uint32_t>(2 + 7 + data.size()));
            Byte(ansi ? Type_BigVarChar : Type_NVarChar);
            Byte(7);
            U16(8000);
            Collation();
            m_bytes += data;
            break;
        }
        }
    }
}

void StreamWriter::ReturnStatus(int status)
{
    Byte(Token_ReturnStatus);
    U32(static_cast<uint32_t>(status));
}

void StreamWriter::DoneToken(DoneKind kind, uint16_t status, uint16_t command, uint64_t rows)
{
    Byte(kind);
    U16(status);
    U16(command);
    U32(static_cast<uint32_t>(rows));
    if (!m_tds71)
        U32(static_cast<uint32_t>(rows >> 32));
}

QByteArray Packets(uint8_t type, const QByteArray& stream, int packetSize, bool endOfMessage)
{
    constexpr int Header = 8;
    const qsizetype room = packetSize - Header;
    QByteArray out;
    uint8_t packetId = 1;
    qsizetype at = 0;
    do {
        const qsizetype piece = qMin(room, stream.size() - at);
        const bool last = at + piece >= stream.size();
        const auto length = static_cast<uint16_t>(Header + piece);
        const char header[Header] = {static_cast<char>(type), static_cast<char>(last && endOfMessage ? 0x01 : 0x00),
                                     static_cast<char>(length >> 8), static_cast<char>(length & 0xFF),
                                     0x00, 0x34, // SPID 52
                                     static_cast<char>(packetId++), 0x00};
        out.append(header, Header);
        out.append(stream.constData() + at, piece);
        at += piece;
    } while (at < stream.size());
    return out;
}

QByteArray PreLoginReply(bool tds71)
{
    // Option table (token, offset, length; big-endian), then the values.
    const uint8_t version2019[] = {15, 0, 0x07, 0xD0, 0, 0}, version2000[] = {8, 0, 0x07, 0xF7, 0, 0};
    const uint8_t* version = tds71 ? version2000 : version2019;
    const uint8_t encryptNotSupported = 0x02, instanceMatches = 0x00, marsOff = 0x00;
    QByteArray table, data;
    const qsizetype tableSize = 5 * 5 + 1;
    auto option = [&](uint8_t token, const uint8_t* value, qsizetype size) {
        const auto offset = static_cast<uint16_t>(tableSize + data.size());
        const char entry[5] = {static_cast<char>(token), static_cast<char>(offset >> 8),
                               static_cast<char>(offset & 0xFF), 0, static_cast<char>(size)};
        table.append(entry, 5);
        data.append(reinterpret_cast<const char*>(value), size);
    };
    option(0x00, version, 6);
    option(0x01, &encryptNotSupported, 1);
    option(0x02, &instanceMatches, 1);
    option(0x03, nullptr, 0);
    option(0x04, &marsOff, 1);
    table.append(static_cast<char>(0xFF));
    return table + data;
}

std::optional<Login> ParseLogin(const QByteArray& payload)
{
    constexpr qsizetype FixedPart = 94;
    if (payload.size() < FixedPart || ReadU32(payload, 0) > static_cast<uint32_t>(payload.size()))
        return std::nullopt;
    auto field = [&](qsizetype at, QString& out) {
        const qsizetype offset = ReadU16(payload, at), units = ReadU16(payload, at + 2);
        if (offset + 2 * units > payload.size())
            return false;
        out = ReadUtf16(payload, offset, units);
        return true;
    };
    Login login;
    login.tdsVersion = ReadU32(payload, 4);
    login.packetSize = static_cast<int>(ReadU32(payload, 8));
    QString host, obfuscated, server, library, language;
    if (!field(36, host) || !field(40, login.user) || !field(44, obfuscated) || !field(48, login.application)
        || !field(52, server) || !field(60, library) || !field(64, language) || !field(68, login.database))
        return std::nullopt;
    // Each byte of the password had its nibbles swapped and was then XORed
    // with 0xA5; undo it in the reverse order.
    QByteArray bytes = Utf16Bytes(obfuscated);
    for (char& b : bytes) {
        const auto x = static_cast<uint8_t>(static_cast<uint8_t>(b) ^ 0xA5);
        b = static_cast<char>(static_cast<uint8_t>(x << 4 | x >> 4));
    }
    login.password = ReadUtf16(bytes, 0, bytes.size() / 2);
    return login;
}

std::optional<QString> ParseBatch(const QByteArray& payload, bool tds71)
{
    if (tds71)
        return payload.size() % 2 == 0 ? std::optional<QString>(ReadUtf16(payload, 0, payload.size() / 2))
                                        : std::nullopt;
    if (payload.size() < 4)
        return std::nullopt;
    const uint32_t headers = ReadU32(payload, 0);
    if (headers < 4 || headers > static_cast<uint32_t>(payload.size()) || (payload.size() - headers) % 2 != 0)
        return std::nullopt;
    return ReadUtf16(payload, headers, (payload.size() - headers) / 2);
}

QByteArray ToGbk(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            bytes.append(static_cast<char>(c.unicode()));
        else if (c == QChar(0x221A)) // √
            bytes.append("\xA1\xCC", 2);
        else
            bytes.append('?');
    }
    return bytes;
}

} // namespace TdsWire
