#pragma once

#include <QString>

class CMySqlClient;
class COdbcConnection;
class COdbcRecordset;

// What became of one description update; `error` is the text to show when
// it failed, the server's or driver's own words included. Mismatch: the
// statement ran, but what the server holds now (`stored`) is not exactly
// what was typed, or the column's definition changed. Refused: nothing was
// sent that could change anything; `reason` says why in English.
struct UpdateResult {
    enum Outcome { Done, NoSuchColumn, Failed, Mismatch, Refused };
    Outcome outcome = Done;
    QString error;
    QString stored;
    QString reason;
};

// Why the server cannot store `description` exactly, as the warning to show;
// empty when it can. MySQL keeps comments in three-byte UTF-8 (MariaDB
// stores a character outside the BMP as '?', silently) and cuts them at
// 1,024 characters for a column and 2,048 for a table; SQL Server keeps an
// extended property's value in at most 7,500 bytes.
QString DescriptionRefusal(const QString& description, bool mysql, bool table);

// The same rule as facts: the first character the server cannot keep (0
// when none) and the length against the server's limit.
struct DescriptionLimit {
    char32_t character = 0;
    qsizetype length = 0;
    qsizetype limit = 0;
    bool Fits() const { return character == 0 && length <= limit; }
};
DescriptionLimit CheckDescriptionLimit(const QString& description, bool mysql, bool table);

// Each runs on an open connection and leaves it open, in a strict session
// of its own (see MySqlWriteSession), holding the table while it writes; a
// view is refused. MariaDB rounds every FLOAT default of a table on any
// ALTER, so those are restated exactly in the same statement.
UpdateResult UpdateMySqlTableComment(CMySqlClient& client, const QString& table, const QString& description);
// Restates the column as the server defines it, so that only its comment
// changes: what SHOW CREATE TABLE prints inexactly is carried over from
// where the server keeps it, or the write refused; the table is held from
// the reading to the check, and the check compares the catalog's facts of
// the column before and after. A table or column the server no longer has
// gives NoSuchColumn.
UpdateResult UpdateMySqlColumnComment(CMySqlClient& client, const QString& table, const QString& column,
                                      const QString& description);

// The procedure that writes MS_Description, asked of the open connection:
// the update where `listed` (the description the listing showed) is not
// empty, or where `count` (SqlServerDescriptionCount) finds the property,
// which a listing shows as none when it is empty; else the add.
QString SqlServerPropertyProcedure(COdbcConnection& connection, COdbcRecordset& recordset, const QString& listed,
                                   const QString& count);

// Runs the update on the open connection, reads the description back with
// `readBack` (one row, one column).
UpdateResult UpdateSqlServerDescription(COdbcConnection& connection, COdbcRecordset& recordset,
                                        const QString& statement, const QString& readBack,
                                        const QString& description);
