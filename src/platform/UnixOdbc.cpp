#include "platform/UnixOdbc.h"

#include "platform/UnixOdbcCalls.h"
#include "platform/UnixOdbcStatement.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace unixodbc {

std::size_t terminatedLength(const SQLWCHAR* text, std::size_t capacity)
{
    return static_cast<std::size_t>(std::find(text, text + capacity, SQLWCHAR { 0 }) - text);
}

std::string diagnosticOf(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, 1, state, &native, message, 512, &length);
    if (!SQL_SUCCEEDED(rc))
        return "no diagnostic";
    const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), 511);
    // Appended piece by piece: GCC 12 misreads "[" + string as overlapping copies (-Wrestrict).
    std::string text = "[";
    text += support::utf16ToUtf8(fromWide(state, terminatedLength(state, 6)));
    text += "] ";
    text += support::utf16ToUtf8(fromWide(message, terminatedLength(message, size)));
    return text;
}

bool readTextColumn(SQLHSTMT stmt, SQLUSMALLINT column, SQLLEN pieceBytes, std::u16string& text, bool& isNull)
{
    text.clear();
    isNull = false;
    std::u16string piece(static_cast<std::size_t>(pieceBytes) / sizeof(SQLWCHAR), u'\0');
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, wide(piece), pieceBytes, &indicator);
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc))
            return false;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        text += std::u16string_view(piece).substr(0, terminatedLength(wide(piece), piece.size()));
        if (rc == SQL_SUCCESS)
            return true;
    }
}

} // namespace unixodbc

namespace {

using namespace unixodbc;

constexpr SQLSMALLINT kBrowseOutChars = 1024;
// A driver description as long as the longest name the system's driver list could hold.
constexpr SQLSMALLINT kDriverNameChars = 16383;
constexpr SQLSMALLINT kDriverAttributeChars = 1024;
// Column text arrives in pieces of this many bytes (31 characters and the NUL).
constexpr SQLLEN kColumnPieceBytes = 64;

SQLPOINTER integerAttribute(std::uintptr_t value) { return reinterpret_cast<SQLPOINTER>(value); }

class UnixOdbcConnection final : public OdbcConnection {
public:
    explicit UnixOdbcConnection(SQLHDBC dbc)
        : m_dbc(dbc)
    {
    }
    ~UnixOdbcConnection() override
    {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    }
    UnixOdbcConnection(const UnixOdbcConnection&) = delete;
    UnixOdbcConnection& operator=(const UnixOdbcConnection&) = delete;

    std::optional<std::vector<std::u16string>> firstColumn(std::u16string_view statement) override
    {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt))) {
            m_diagnostic = diagnosticOf(SQL_HANDLE_DBC, m_dbc);
            return std::nullopt;
        }
        std::u16string text(statement);
        std::optional<std::vector<std::u16string>> rows;
        if (SQL_SUCCEEDED(SQLExecDirectW(stmt, wide(text), SQL_NTS))) {
            rows.emplace();
            while (SQL_SUCCEEDED(SQLFetch(stmt)))
                rows->push_back(columnText(stmt));
        } else {
            m_diagnostic = diagnosticOf(SQL_HANDLE_STMT, stmt);
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return rows;
    }

    std::string lastDiagnostic() const override { return m_diagnostic; }

    bool execute(std::u16string_view statement) override
    {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt))) {
            m_diagnostic = diagnosticOf(SQL_HANDLE_DBC, m_dbc);
            return false;
        }
        std::u16string text(statement);
        const SQLRETURN rc = SQLExecDirectW(stmt, wide(text), SQL_NTS);
        const bool done = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
        if (!done)
            m_diagnostic = diagnosticOf(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return done;
    }

    std::unique_ptr<OdbcStatement> prepare(std::u16string_view statement, std::vector<OdbcType> parameterTypes) override
    {
        return prepareStatement(m_dbc, statement, std::move(parameterTypes), m_diagnostic);
    }

    bool setAutoCommit(bool on) override
    {
        const std::uintptr_t mode = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
        return succeeded(SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT, integerAttribute(mode), 0));
    }

    bool commit() override { return succeeded(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT)); }
    bool rollback() override { return succeeded(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK)); }

private:
    bool succeeded(SQLRETURN rc)
    {
        if (SQL_SUCCEEDED(rc))
            return true;
        m_diagnostic = diagnosticOf(SQL_HANDLE_DBC, m_dbc);
        return false;
    }

    // Column 1 of the current row, whole: a long text is read piece by piece.
    static std::u16string columnText(SQLHSTMT stmt)
    {
        std::u16string text;
        bool isNull = false;
        readTextColumn(stmt, 1, kColumnPieceBytes, text, isNull);
        return text;
    }

    SQLHDBC m_dbc;
    std::string m_diagnostic;
};

class UnixOdbcEnvironment final : public OdbcEnvironment {
public:
    explicit UnixOdbcEnvironment(SQLHENV env)
        : m_env(env)
    {
    }
    ~UnixOdbcEnvironment() override { SQLFreeHandle(SQL_HANDLE_ENV, m_env); }
    UnixOdbcEnvironment(const UnixOdbcEnvironment&) = delete;
    UnixOdbcEnvironment& operator=(const UnixOdbcEnvironment&) = delete;

    OdbcBrowseReply browseConnect(std::u16string_view connectionString) override
    {
        OdbcBrowseReply reply;
        SQLHDBC dbc = SQL_NULL_HDBC;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &dbc))) {
            reply.diagnostic = diagnosticOf(SQL_HANDLE_ENV, m_env);
            return reply;
        }
        std::u16string in(connectionString);
        std::u16string out(kBrowseOutChars, u'\0');
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc = SQLBrowseConnectW(dbc, wide(in), SQL_NTS, wide(out), kBrowseOutChars, &outLength);
        if (rc == SQL_NEED_DATA)
            reply.status = OdbcBrowseStatus::NeedData;
        else if (SQL_SUCCEEDED(rc))
            reply.status = OdbcBrowseStatus::Connected;
        else
            reply.diagnostic = diagnosticOf(SQL_HANDLE_DBC, dbc);
        if (reply.status != OdbcBrowseStatus::Failed)
            reply.text = out.substr(0, terminatedLength(wide(out), kBrowseOutChars - 1));
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        return reply;
    }

    std::unique_ptr<OdbcConnection> driverConnect(std::u16string_view connectionString,
        OdbcCompletion completion,
        unsigned loginTimeoutSeconds,
        std::string& diagnostic) override
    {
        SQLHDBC dbc = SQL_NULL_HDBC;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &dbc))) {
            diagnostic = diagnosticOf(SQL_HANDLE_ENV, m_env);
            return nullptr;
        }
        if (loginTimeoutSeconds > 0) {
            // Also bounds each later request, so that a check of a lost server cannot hang.
            SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, integerAttribute(loginTimeoutSeconds), 0);
            SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, integerAttribute(loginTimeoutSeconds), 0);
        }
        std::u16string in(connectionString);
        const SQLUSMALLINT mode = completion == OdbcCompletion::Complete ? SQL_DRIVER_COMPLETE : SQL_DRIVER_NOPROMPT;
        const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, wide(in), SQL_NTS, nullptr, 0, nullptr, mode);
        if (!SQL_SUCCEEDED(rc)) {
            diagnostic = diagnosticOf(SQL_HANDLE_DBC, dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            return nullptr;
        }
        return std::make_unique<UnixOdbcConnection>(dbc);
    }

private:
    SQLHENV m_env;
};

SQLHENV allocateEnvironment()
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, integerAttribute(SQL_OV_ODBC3), 0))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return SQL_NULL_HENV;
    }
    return env;
}

} // namespace

std::vector<std::u16string> UnixOdbc::installedDrivers()
{
    std::vector<std::u16string> drivers;
    SQLHENV env = allocateEnvironment();
    if (env == SQL_NULL_HENV)
        return drivers;
    std::u16string name(kDriverNameChars + 1, u'\0');
    std::u16string attributes(kDriverAttributeChars, u'\0');
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(env,
            direction,
            wide(name),
            kDriverNameChars + 1,
            &nameLength,
            wide(attributes),
            kDriverAttributeChars,
            &attributesLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        drivers.push_back(name.substr(0, terminatedLength(wide(name), kDriverNameChars)));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return drivers;
}

std::unique_ptr<OdbcEnvironment> UnixOdbc::openEnvironment()
{
    SQLHENV env = allocateEnvironment();
    if (env == SQL_NULL_HENV)
        return nullptr;
    return std::make_unique<UnixOdbcEnvironment>(env);
}

} // namespace platform
