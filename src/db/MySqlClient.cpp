#include "db/MySqlClient.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>

namespace {

constexpr unsigned int kErUnknownCharacterSet = 1115;

void InitLibraryOnce()
{
    // mysql_server_init is not thread-safe; a function-local static is.
    static const int result = mysql_server_init(0, nullptr, nullptr);
    (void)result;
}

// The library's socket wait carries no context, so the client that is
// waiting on this thread names its cancel signal here.
thread_local int t_cancelFd = -1;

int WaitForSocket(my_socket socket, my_bool reading, int timeoutMs)
{
    pollfd fds[2] = {{socket, short(reading ? POLLIN : POLLOUT), 0}, {t_cancelFd, POLLIN, 0}};
    int rc;
    do
        rc = poll(fds, t_cancelFd >= 0 ? 2 : 1, timeoutMs);
    while (rc < 0 && errno == EINTR);
    if (rc > 0 && fds[1].revents != 0) {
        errno = ECANCELED;
        return -1;
    }
    return rc;
}

class CancelScope
{
public:
    explicit CancelScope(int fd) : m_previous(std::exchange(t_cancelFd, fd)) {}
    ~CancelScope() { t_cancelFd = m_previous; }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    int m_previous;
};

} // namespace

CMySqlClient::CMySqlClient()
{
    InitLibraryOnce();
    m_cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    InitHandle();
}

CMySqlClient::~CMySqlClient()
{
    ReplaceResult(nullptr);
    mysql_close(&m_handle);
    if (m_cancelFd >= 0)
        close(m_cancelFd);
}

void CMySqlClient::Cancel()
{
    m_cancelled = true;
    const std::uint64_t one = 1;
    if (m_cancelFd >= 0 && write(m_cancelFd, &one, sizeof one) < 0)
        return; // only a full counter fails, and that is readable too
}

void CMySqlClient::ResetCancel()
{
    std::uint64_t count = 0;
    if (m_cancelFd >= 0 && read(m_cancelFd, &count, sizeof count) < 0)
        count = 0; // nothing was pending
    m_cancelled = false;
}

void CMySqlClient::InitHandle()
{
    mysql_init(&m_handle);
    // Names, user and password travel as UTF-8 from the handshake on; "set
    // names" still precedes each statement.
    mysql_options(&m_handle, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // Every wait of the library goes through this, which Cancel interrupts.
    mysql_optionsv(&m_handle, MARIADB_OPT_IO_WAIT, WaitForSocket);
    m_setNames = "set names utf8mb4";
    m_handleUsed = false;
    m_connected = false;
    m_namesJustSet = false;
}

void CMySqlClient::SetConnectParams(const std::string& host, const std::string& user, const std::string& password,
                                    const std::string& database, std::uint32_t port)
{
    m_connectHost = host;
    m_connectUser = user;
    m_connectPasswd = password;
    m_connectDb = database;
    m_connectPort = port;
}

bool CMySqlClient::Connect()
{
    const CancelScope scope(m_cancelFd);
    if (m_handleUsed) {
        mysql_close(&m_handle);
        InitHandle();
    }
    m_handleUsed = true;
    // Without a timeout the library blocks in the socket call, past the wait
    // that Cancel interrupts.
    mysql_options(&m_handle, MYSQL_OPT_CONNECT_TIMEOUT, &m_timeouts.connect);
    mysql_options(&m_handle, MYSQL_OPT_READ_TIMEOUT, &m_timeouts.statement);
    mysql_options(&m_handle, MYSQL_OPT_WRITE_TIMEOUT, &m_timeouts.statement);
    const char* database = m_connectDb.empty() ? nullptr : m_connectDb.c_str();
    if (!mysql_real_connect(&m_handle, m_connectHost.c_str(), m_connectUser.c_str(), m_connectPasswd.c_str(),
                            database, m_connectPort, nullptr, 0)) {
        CaptureError();
        return false;
    }
    // A server older than utf8mb4 knows only the three-byte utf8. A link
    // whose character set cannot be set would read and write other text.
    bool named = mysql_real_query(&m_handle, m_setNames.data(), m_setNames.size()) == 0;
    if (!named && mysql_errno(&m_handle) == kErUnknownCharacterSet) {
        m_setNames = "set names utf8";
        named = mysql_real_query(&m_handle, m_setNames.data(), m_setNames.size()) == 0;
    }
    if (!named) {
        CaptureError();
        mysql_close(&m_handle);
        InitHandle();
        return false;
    }
    m_connected = true;
    m_namesJustSet = true;
    return true;
}

void CMySqlClient::Close()
{
    // The result is client memory and stays readable after the close.
    const CancelScope scope(m_cancelFd);
    mysql_close(&m_handle);
    InitHandle();
}

bool CMySqlClient::Query(const std::string& statement)
{
    return Send(statement) && Receive();
}

bool CMySqlClient::Send(const std::string& statement)
{
    const CancelScope scope(m_cancelFd);
    // The first statement after Connect follows its "set names" directly.
    if (!std::exchange(m_namesJustSet, false))
        mysql_real_query(&m_handle, m_setNames.data(), m_setNames.size());

    if (mysql_send_query(&m_handle, statement.data(), statement.size()) != 0) {
        CaptureError();
        return false;
    }
    return true;
}

bool CMySqlClient::Receive()
{
    const CancelScope scope(m_cancelFd);
    if (mysql_read_query_result(&m_handle) != 0) {
        CaptureError();
        return false;
    }
    MYSQL_RES* result = mysql_store_result(&m_handle);
    // A statement without a result set yields null with no error. A link
    // lost while the rows arrive also yields null, and libmariadb may have
    // cleared the field count by then: the error number tells.
    if (!result && (mysql_field_count(&m_handle) != 0 || mysql_errno(&m_handle) != 0)) {
        CaptureError();
        return false;
    }
    ReplaceResult(result);
    return true;
}

void CMySqlClient::ReplaceResult(MYSQL_RES* result)
{
    if (m_result)
        mysql_free_result(m_result);
    m_result = result;
    m_rows.clear();
    m_lengths.clear();
    m_columns = 0;
    if (!m_result)
        return;

    m_columns = mysql_num_fields(m_result);
    const auto count = static_cast<std::size_t>(mysql_num_rows(m_result));
    m_rows.reserve(count);
    m_lengths.reserve(count * m_columns);
    // The rows of a stored result live until mysql_free_result; the lengths
    // array is reused by each fetch, so it is copied.
    while (MYSQL_ROW row = mysql_fetch_row(m_result)) {
        m_rows.push_back(row);
        const unsigned long* lengths = mysql_fetch_lengths(m_result);
        m_lengths.insert(m_lengths.end(), lengths, lengths + m_columns);
    }
}

int CMySqlClient::RowCount() const
{
    return static_cast<int>(m_rows.size());
}

std::string CMySqlClient::GetValue(int row, int column) const
{
    if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= m_rows.size()
        || static_cast<unsigned int>(column) >= m_columns)
        return {};
    const char* field = m_rows[static_cast<std::size_t>(row)][column];
    if (!field)
        return {};
    return {field, m_lengths[static_cast<std::size_t>(row) * m_columns + static_cast<std::size_t>(column)]};
}

std::size_t CMySqlClient::ValueBytes() const
{
    return std::accumulate(m_lengths.begin(), m_lengths.end(), std::size_t{0});
}

bool CMySqlClient::NoBackslashEscapes() const
{
    if (!m_connected)
        return false;
    unsigned int status = 0;
    if (mariadb_get_infov(const_cast<MYSQL*>(&m_handle), MARIADB_CONNECTION_SERVER_STATUS, &status) != 0)
        return false;
    return (status & SERVER_STATUS_NO_BACKSLASH_ESCAPES) != 0;
}

bool CMySqlClient::IsMariaDb() const
{
    const char* info = m_connected ? mysql_get_server_info(const_cast<MYSQL*>(&m_handle)) : nullptr;
    return info && std::strstr(info, "MariaDB");
}

unsigned long CMySqlClient::ServerVersion() const
{
    return m_connected ? mysql_get_server_version(const_cast<MYSQL*>(&m_handle)) : 0;
}

void CMySqlClient::CaptureError()
{
    m_errorCode = mysql_errno(&m_handle);
    m_errorText = mysql_error(&m_handle);
}
