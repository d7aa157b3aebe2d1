#include "settings/IniLine.h"

namespace IniLine {

std::optional<QStringView> SectionName(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(u'['))
        return std::nullopt;
    line = line.sliced(1);
    const qsizetype close = line.indexOf(u']');
    if (close >= 0)
        line = line.first(close);
    return line.trimmed();
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
