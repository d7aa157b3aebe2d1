#pragma once

#include "db/OdbcConnection.h"

#include <QString>
#include <QStringList>

#include <vector>

// The rows of one statement, all fetched on Open, so the count is exact and
// the connection may close while they are read (ADO's static cursor). Every
// value is kept as the text the driver renders; numbers arrive as decimal text.
class COdbcRecordset
{
public:
    // Runs the statement and reads every row, positioned on the first.
    // Throws COdbcError, also when the recordset is already open.
    void Open(const QString& statement, COdbcConnection& connection);
    // Does nothing when already closed.
    void Close();

    // These throw COdbcError when the recordset is closed.
    qsizetype RecordCount() const;
    // True after the last row; at once for an empty result.
    bool IsEOF() const;
    // Throws at the end as well.
    void MoveNext();
    // The named field of the current row, names matched without regard to
    // case. NULL reads as empty text. Throws for an unknown name or at the end.
    QString Collect(const QString& fieldName) const;

private:
    void RequireOpen() const;

    bool m_open = false;
    QStringList m_fields;
    std::vector<QStringList> m_rows;
    size_t m_position = 0;
};
