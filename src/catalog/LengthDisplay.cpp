#include "catalog/LengthDisplay.h"

namespace {

struct FixedLength {
    std::string_view type; // ASCII
    const char16_t* shown;
};

constexpr FixedLength kSqlServer[] = {{"text", u"2G"}, {"image", u"2G"}, {"ntext", u"1G"}};
constexpr FixedLength kMySql[] = {
    {"blob", u"64K"},     {"text", u"64K"},     {"mediumblob", u"16M"},
    {"mediumtext", u"16M"}, {"longblob", u"4G"}, {"longtext", u"4G"},
};

template <typename Text, size_t N>
const char16_t* Lookup(const FixedLength (&table)[N], const Text& type)
{
    for (const FixedLength& entry : table) {
        if (type == entry.type)
            return entry.shown;
    }
    return nullptr;
}

template <typename Text>
const char16_t* Fixed(const Text& type, DbKind kind)
{
    return kind == 2 ? Lookup(kMySql, type) : Lookup(kSqlServer, type);
}

} // namespace

QString DisplayLength(const QString& type, const QString& length, DbKind kind)
{
    struct Latin1 {
        const QString& text;
        bool operator==(std::string_view ascii) const
        {
            return text == QLatin1StringView(ascii.data(), qsizetype(ascii.size()));
        }
    };
    if (const char16_t* fixed = Fixed(Latin1{type}, kind))
        return QString::fromUtf16(fixed);
    if (length == u"-1")
        return QStringLiteral("MAX");
    return length;
}

std::optional<QString> ChangedLength(std::string_view type, std::string_view length, DbKind kind)
{
    if (Fixed(type, kind) == nullptr && length != "-1")
        return std::nullopt;
    const QString read = QString::fromUtf8(length.data(), qsizetype(length.size()));
    QString shown = DisplayLength(QString::fromUtf8(type.data(), qsizetype(type.size())), read, kind);
    if (shown == read)
        return std::nullopt;
    return shown;
}
