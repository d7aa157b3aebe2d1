#include "catalog/RowTexts.h"

#include <algorithm>

void CRowTexts::Reserve(qsizetype values, qsizetype bytes)
{
    m_ends.reserve(size_t(values));
    if (size_t(bytes) > m_bytes.size())
        m_bytes.resize(size_t(bytes));
}

void CRowTexts::Grow(size_t bytes)
{
    m_bytes.resize(std::max(bytes, 2 * m_bytes.size()));
}

void CRowTexts::Append(QStringView value)
{
    const QByteArray bytes = value.toUtf8();
    AppendUtf8({bytes.constData(), size_t(bytes.size())});
}

std::string_view CRowTexts::View(qsizetype row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= m_columns)
        return {};
    const size_t at = size_t(row) * size_t(m_columns) + size_t(column);
    const size_t begin = at ? size_t(m_ends[at - 1]) : 0;
    return {m_bytes.data() + begin, size_t(m_ends[at]) - begin};
}
