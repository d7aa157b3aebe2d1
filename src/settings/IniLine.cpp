#include "settings/IniLine.h"

namespace IniLine {

std::optional<QStringView> SectionName(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(u'['))
        return std::nullopt;
    line = line.sliced(1);
    const qsizetype close = line.lastIndexOf(u']');
    if (close >= 0)
        line = line.first(close);
    return line.trimmed();
}

QString NormalName(QStringView name)
{
    QString text = name.toString();
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text.trimmed();
}

bool IsStorableKey(QStringView key)
{
    return !key.isEmpty() && !key.contains(u'=') && key.front() != u';' && key.front() != u'[';
}

std::optional<KeyValue> SplitKey(QStringView line)
{
    line = line.trimmed();
    if (line.isEmpty() || line.front() == u';' || line.front() == u'[')
        return std::nullopt;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return KeyValue{line.first(equals).trimmed(), line.sliced(equals + 1).trimmed()};
}

} // namespace IniLine
