#include "catalog/LengthDisplay.h"

namespace {

struct FixedLength {
    const char16_t* type;
    const char16_t* shown;
};

constexpr FixedLength kSqlServer[] = {{u"text", u"2G"}, {u"image", u"2G"}, {u"ntext", u"1G"}};
constexpr FixedLength kMySql[] = {
    {u"blob", u"64K"},     {u"text", u"64K"},     {u"mediumblob", u"16M"},
    {u"mediumtext", u"16M"}, {u"longblob", u"4G"}, {u"longtext", u"4G"},
};

template <size_t N>
const char16_t* Lookup(const FixedLength (&table)[N], const QString& type)
{
    for (const FixedLength& entry : table) {
        if (type == QStringView(entry.type))
            return entry.shown;
    }
    return nullptr;
}

} // namespace

QString DisplayLength(const QString& type, const QString& length, DbKind kind)
{
    const char16_t* fixed = kind == 2 ? Lookup(kMySql, type) : Lookup(kSqlServer, type);
    if (fixed)
        return QString::fromUtf16(fixed);
    if (length == u"-1")
        return QStringLiteral("MAX");
    return length;
}
