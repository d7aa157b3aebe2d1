#include "catalog/RowTexts.h"

void CRowTexts::Reserve(qsizetype values, qsizetype bytes)
{
    m_ends.reserve(size_t(values));
    m_bytes.reserve(bytes);
}

void CRowTexts::AppendUtf8(std::string_view value)
{
    m_bytes.append(value.data(), qsizetype(value.size()));
    m_ends.push_back(m_bytes.size());
}

void CRowTexts::Append(QStringView value)
{
    m_bytes.append(value.toUtf8());
    m_ends.push_back(m_bytes.size());
}

QString CRowTexts::Text(qsizetype row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= m_columns)
        return {};
    const size_t at = size_t(row) * size_t(m_columns) + size_t(column);
    const qsizetype begin = at ? m_ends[at - 1] : 0;
    return QString::fromUtf8(m_bytes.constData() + begin, m_ends[at] - begin);
}
