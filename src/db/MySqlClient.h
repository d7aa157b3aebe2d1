#pragma once

#include "db/DbTimeouts.h"

#include <mysql.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The one MySQL connection of the program: a libmariadb handle plus the
// buffered result of the last successful statement. Text goes in and out as
// bytes in the connection's character set; every statement is preceded by
// "set names utf8mb4" ("utf8" on a server without it), so those bytes are
// UTF-8 (see db/MySqlText.h).
//
// Used by one thread at a time; only Cancel may come from another.
class CMySqlClient
{
public:
    CMySqlClient();
    virtual ~CMySqlClient();

    CMySqlClient(const CMySqlClient&) = delete;
    CMySqlClient& operator=(const CMySqlClient&) = delete;

    // Copies the texts, so callers need not keep theirs alive. An empty
    // database selects none; port 0 lets the library pick its default.
    void SetConnectParams(const std::string& host, const std::string& user, const std::string& password,
                          const std::string& database, std::uint32_t port);
    bool Connect();
    void Close();

    // False on failure, with the error members set to this statement's error
    // and the previous result left current.
    bool Query(const std::string& statement);
    // Query in two halves, so that the current result can be read while the
    // server runs the next statement: Send leaves the statement running,
    // Receive makes its result current. Nothing else may use the connection
    // in between.
    bool Send(const std::string& statement);
    bool Receive();

    int RowCount() const;
    // The field's bytes; "" for NULL and for a row or column out of range.
    std::string GetValue(int row, int column) const;
    // Every value in place (valid until the next statement or Close), row by
    // row, `columns` a row ("" past the result's own): a listing reads
    // thousands, and a call for each would show.
    template <typename Take>
    void ReadValues(unsigned int columns, Take&& take) const
    {
        for (std::size_t row = 0; row < m_rows.size(); ++row) {
            const unsigned long* lengths = m_lengths.data() + row * m_columns;
            for (unsigned int column = 0; column < columns; ++column) {
                const char* field = column < m_columns ? m_rows[row][column] : nullptr;
                take(field ? std::string_view(field, lengths[column]) : std::string_view());
            }
        }
    }
    // The bytes of all values together.
    std::size_t ValueBytes() const;

    // Whether the open connection's sql_mode holds NO_BACKSLASH_ESCAPES, as
    // the server reported it with its last reply; false when not connected.
    bool NoBackslashEscapes() const;
    // The server of the open connection: MariaDB or MySQL, and its version
    // as major * 10000 + minor * 100 + patch.
    bool IsMariaDb() const;
    unsigned long ServerVersion() const;

    void CaptureError();

    // Makes the wait under way, and every later one, fail at once, from any
    // thread; the failure reads as a lost link. ResetCancel undoes it.
    void Cancel();
    void ResetCancel();
    bool Cancelled() const { return m_cancelled; }

    // Read at each Connect.
    DbTimeouts m_timeouts;

    // Last failure of Connect or Query; a success leaves them as they were.
    std::uint32_t m_errorCode = 0;
    std::string m_errorText = "ok";

    std::string m_connectHost;
    std::string m_connectUser;
    std::string m_connectPasswd;
    std::string m_connectDb;
    std::uint32_t m_connectPort = 0;

    MYSQL m_handle;
    MYSQL_RES* m_result = nullptr;

private:
    // libmariadb leaves a handle unusable after mysql_close and holds
    // allocations after any connect attempt, so the handle is closed and
    // initialised afresh before a connect that follows another attempt.
    void InitHandle();
    std::string m_setNames;
    void ReplaceResult(MYSQL_RES* result);

    int m_cancelFd = -1; // an eventfd, readable once cancelled
    std::atomic_bool m_cancelled{false};
    bool m_handleUsed = false;
    bool m_connected = false;
    bool m_namesJustSet = false; // Connect's "set names" went through; no statement since
    // Rows and field lengths of m_result, kept so a value costs O(1).
    std::vector<MYSQL_ROW> m_rows;
    std::vector<unsigned long> m_lengths;
    unsigned int m_columns = 0;
};
