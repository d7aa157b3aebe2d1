#pragma once

#include <QString>

// Why tables could not be read, as facts each side words in its own
// language. A table has at least one column, so a column statement that
// gives none means the table is gone (or out of the user's sight): the
// export says so instead of writing it empty.
struct ExportProblem {
    enum Kind { QueryFailed, NoColumns };
    Kind kind = QueryFailed;
    QString table;     // empty for a statement over a chunk of tables
    bool mysql = true;
    unsigned code = 0; // MySQL's error number
    QString text;      // the server's or the driver's words
};

// The window's message: "查询失败...\n%d : %s" on MySQL, the driver's text
// on SQL Server, or the table that has gone.
QString WindowMessage(const ExportProblem& problem);
