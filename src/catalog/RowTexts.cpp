#include "catalog/RowTexts.h"

#include <QStringDecoder>

void CRowTexts::Reserve(qsizetype values, qsizetype bytes)
{
    m_ends.reserve(size_t(values));
    MakeRoom(bytes); // UTF-8 never takes fewer bytes than UTF-16 takes units
}

void CRowTexts::MakeRoom(qsizetype chars)
{
    if (m_used + chars > m_text.size())
        m_text.resize(qMax(m_text.size() * 2, m_used + chars));
}

void CRowTexts::AppendUtf8(std::string_view value)
{
    // Each value is whole, so the decoder keeps nothing between them.
    thread_local QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    MakeRoom(qsizetype(value.size()));
    QChar* start = m_text.data();
    const QChar* end = decoder.appendToBuffer(start + m_used, QByteArrayView(value.data(), qsizetype(value.size())));
    m_used = end - start;
    m_ends.push_back(m_used);
}

void CRowTexts::Append(QStringView value)
{
    MakeRoom(value.size());
    std::copy(value.begin(), value.end(), m_text.data() + m_used);
    m_used += value.size();
    m_ends.push_back(m_used);
}

QStringView CRowTexts::View(qsizetype row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= m_columns)
        return {};
    const size_t at = size_t(row) * size_t(m_columns) + size_t(column);
    const qsizetype begin = at ? m_ends[at - 1] : 0;
    return QStringView(m_text).sliced(begin, m_ends[at] - begin);
}
