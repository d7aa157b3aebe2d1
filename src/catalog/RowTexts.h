#pragma once

#include <QString>
#include <QStringView>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The values of a listing packed as UTF-8 into one buffer, row after row.
// Reading a result makes no string per value; a value becomes a string of
// its own only when it is shown or asked for.
class CRowTexts
{
public:
    explicit CRowTexts(int columns = 0) : m_columns(columns) {}

    // Room for this many values holding this many bytes in all.
    void Reserve(qsizetype values, qsizetype bytes);
    // Inline: a listing appends thousands of values in one go.
    void AppendUtf8(std::string_view value)
    {
        const size_t end = m_used + value.size();
        if (end > m_bytes.size())
            Grow(end);
        if (!value.empty())
            std::memcpy(m_bytes.data() + m_used, value.data(), value.size());
        m_used = end;
        m_ends.push_back(qsizetype(end));
    }
    void Append(QStringView value);

    int Columns() const { return m_columns; }
    qsizetype Rows() const { return m_columns ? qsizetype(m_ends.size()) / m_columns : 0; }
    // Empty for a row or column out of range.
    QString Text(qsizetype row, int column) const
    {
        const std::string_view bytes = View(row, column);
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    // The same bytes in place.
    std::string_view View(qsizetype row, int column) const;

private:
    void Grow(size_t bytes);

    int m_columns;
    // Sized ahead and filled up to m_used, so an append is one copy.
    std::string m_bytes;
    size_t m_used = 0;
    std::vector<qsizetype> m_ends;
};
