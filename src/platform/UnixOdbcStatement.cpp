#include "platform/UnixOdbcStatement.h"

#include "platform/UnixOdbcCalls.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace platform::unixodbc {
namespace {

// Long values are read in pieces of this many bytes.
constexpr SQLLEN kPieceBytes = 16384;
// The text buffers of one parameter array stay below this; rows with long texts go in smaller arrays.
constexpr std::size_t kArrayTextBudgetBytes = std::size_t { 4 } << 20;
constexpr std::size_t kMaxArrayRows = 1000;
// Longer texts go as long text, as drivers want it for columns of unbounded text.
constexpr std::size_t kLongTextChars = 4000;
// "YYYY-MM-DD hh:mm:ss.fff": a timestamp to the millisecond.
constexpr SQLULEN kTimestampColumnSize = 23;
constexpr SQLSMALLINT kTimestampDigits = 3;

// "YYYY-MM-DD hh:mm:ss.fff" and its NUL.
constexpr std::size_t kTimestampTextUnits = kTimestampColumnSize + 1;

/// A timestamp in the ODBC form of its text, which drivers convert as they convert a
/// timestamp structure. Parameter arrays carry timestamps as text: a structure leaks in
/// the MariaDB driver (one allocation per row, Connector/ODBC 3.1.15).
void timestampText(const OdbcTimestamp& t, SQLWCHAR* out)
{
    char text[kTimestampTextUnits + 16];
    std::snprintf(text,
        sizeof text,
        "%04d-%02u-%02u %02u:%02u:%02u.%03u",
        t.year,
        t.month,
        t.day,
        t.hour,
        t.minute,
        t.second,
        t.fraction / 1'000'000u);
    for (std::size_t i = 0; i < kTimestampTextUnits; ++i)
        out[i] = static_cast<SQLWCHAR>(static_cast<unsigned char>(text[i]));
}

OdbcTimestamp fromStruct(const SQL_TIMESTAMP_STRUCT& s)
{
    return { s.year, s.month, s.day, s.hour, s.minute, s.second, static_cast<std::uint32_t>(s.fraction) };
}

std::size_t textLength(const OdbcValue& value)
{
    const auto* text = std::get_if<std::u16string>(&value);
    return text ? text->size() : 0;
}

/// The buffers of one parameter for an array of rows (column-wise binding).
struct ParameterArray {
    std::vector<SQLBIGINT> integers;
    std::vector<double> doubles;
    std::vector<SQLWCHAR> text;
    std::size_t textStride = 0; // units per row, with the NUL
    std::vector<SQLLEN> indicators;
};

class Statement final : public OdbcStatement {
public:
    Statement(SQLHSTMT stmt, std::vector<OdbcType> types)
        : m_stmt(stmt)
        , m_types(std::move(types))
        , m_arrays(m_types.size())
    {
    }
    ~Statement() override { SQLFreeHandle(SQL_HANDLE_STMT, m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool execute(const std::vector<std::vector<OdbcValue>>& rows) override
    {
        SQLFreeStmt(m_stmt, SQL_CLOSE);
        for (std::size_t at = 0; at < rows.size();) {
            const std::size_t count = m_takesArrays ? rowsInNextArray(rows, at) : 1;
            if (!executeArray(rows, at, count))
                return false;
            at += count;
        }
        return true;
    }

    OdbcFetch fetch() override
    {
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (SQL_SUCCEEDED(rc))
            return OdbcFetch::Row;
        if (rc == SQL_NO_DATA)
            return OdbcFetch::End;
        m_diagnostic = diagnosticOf(SQL_HANDLE_STMT, m_stmt);
        return OdbcFetch::Failed;
    }

    OdbcValue column(unsigned index, OdbcType type) override
    {
        const auto column = static_cast<SQLUSMALLINT>(index);
        SQLLEN indicator = 0;
        SQLRETURN rc = SQL_ERROR;
        OdbcValue value;
        switch (type) {
        case OdbcType::Integer: {
            SQLBIGINT number = 0;
            rc = SQLGetData(m_stmt, column, SQL_C_SBIGINT, &number, 0, &indicator);
            value = static_cast<std::int64_t>(number);
            break;
        }
        case OdbcType::Double: {
            double number = 0;
            rc = SQLGetData(m_stmt, column, SQL_C_DOUBLE, &number, 0, &indicator);
            value = number;
            break;
        }
        case OdbcType::Timestamp: {
            SQL_TIMESTAMP_STRUCT time {};
            rc = SQLGetData(m_stmt, column, SQL_C_TYPE_TIMESTAMP, &time, sizeof time, &indicator);
            value = fromStruct(time);
            break;
        }
        case OdbcType::Text: {
            std::u16string text;
            bool isNull = false;
            if (!readTextColumn(m_stmt, column, kPieceBytes, text, isNull)) {
                m_diagnostic = diagnosticOf(SQL_HANDLE_STMT, m_stmt);
                return {};
            }
            if (isNull)
                return {};
            return text;
        }
        }
        if (!SQL_SUCCEEDED(rc)) {
            m_diagnostic = diagnosticOf(SQL_HANDLE_STMT, m_stmt);
            return {};
        }
        if (indicator == SQL_NULL_DATA)
            return {};
        return value;
    }

    std::string lastDiagnostic() const override { return m_diagnostic; }

private:
    // As many rows from `at` as fit one array: the text buffers take the longest text of each
    // text parameter for every row.
    std::size_t rowsInNextArray(const std::vector<std::vector<OdbcValue>>& rows, std::size_t at) const
    {
        std::vector<std::size_t> longest(m_types.size(), 0);
        std::size_t count = 0;
        while (at + count < rows.size() && count < kMaxArrayRows) {
            const std::vector<OdbcValue>& row = rows[at + count];
            std::size_t rowBytes = 0;
            std::vector<std::size_t> widened = longest;
            for (std::size_t p = 0; p < m_types.size() && p < row.size(); ++p) {
                if (m_types[p] != OdbcType::Text)
                    continue;
                widened[p] = std::max(widened[p], textLength(row[p]));
                rowBytes += (widened[p] + 1) * sizeof(SQLWCHAR);
            }
            if (count > 0 && rowBytes * (count + 1) > kArrayTextBudgetBytes)
                break;
            longest = std::move(widened);
            ++count;
        }
        return std::max<std::size_t>(count, 1);
    }

    bool fail(std::string diagnostic)
    {
        m_diagnostic = std::move(diagnostic);
        return false;
    }

    bool executeArray(const std::vector<std::vector<OdbcValue>>& rows, std::size_t at, std::size_t count)
    {
        SQLFreeStmt(m_stmt, SQL_RESET_PARAMS);
        for (std::size_t p = 0; p < m_types.size(); ++p) {
            if (!bindParameter(p, rows, at, count))
                return false;
        }
        std::vector<SQLUSMALLINT> statuses(count, SQL_PARAM_UNUSED);
        SQLULEN processed = 0;
        if (count > 1 || m_arraySet) {
            const bool set = SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt,
                                 SQL_ATTR_PARAMSET_SIZE,
                                 reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(count)),
                                 0))
                && SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt, SQL_ATTR_PARAM_STATUS_PTR, statuses.data(), 0))
                && SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0));
            if (!set) {
                // A driver without parameter arrays takes the rows one by one.
                m_takesArrays = false;
                SQLSetStmtAttr(m_stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(std::uintptr_t { 1 }), 0);
                for (std::size_t r = 0; r < count; ++r) {
                    if (!executeArray(rows, at + r, 1))
                        return false;
                }
                return true;
            }
            m_arraySet = true;
        }
        const SQLRETURN rc = SQLExecute(m_stmt);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            return fail(diagnosticOf(SQL_HANDLE_STMT, m_stmt));
        if (m_arraySet) {
            const bool allDone
                = processed == count && std::all_of(statuses.begin(), statuses.end(), [](SQLUSMALLINT s) {
                      return s == SQL_PARAM_SUCCESS || s == SQL_PARAM_SUCCESS_WITH_INFO;
                  });
            // The arrays' addresses go with this call's buffers.
            SQLSetStmtAttr(m_stmt, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttr(m_stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
            if (!allDone)
                return fail(rc == SQL_SUCCESS ? std::string("not every row of the array was applied")
                                              : diagnosticOf(SQL_HANDLE_STMT, m_stmt));
        }
        return true;
    }

    bool
    bindParameter(std::size_t p, const std::vector<std::vector<OdbcValue>>& rows, std::size_t at, std::size_t count)
    {
        ParameterArray& array = m_arrays[p];
        const OdbcType type = m_types[p];
        array.indicators.assign(count, 0);
        const auto expected = static_cast<std::size_t>(type) + 1;
        std::size_t longest = 0;
        for (std::size_t r = 0; r < count; ++r) {
            const std::vector<OdbcValue>& row = rows[at + r];
            if (row.size() != m_types.size())
                return fail("a row holds " + std::to_string(row.size()) + " values for "
                    + std::to_string(m_types.size()) + " parameters");
            if (row[p].index() != 0 && row[p].index() != expected)
                return fail("parameter " + std::to_string(p + 1) + " has a value of another type");
            longest = std::max(longest, textLength(row[p]));
        }
        const auto number = static_cast<SQLUSMALLINT>(p + 1);
        SQLRETURN rc = SQL_ERROR;
        switch (type) {
        case OdbcType::Integer:
            fillNumbers(array, array.integers, rows, at, p);
            rc = bindInput(number, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, array.integers.data(), 0, array);
            break;
        case OdbcType::Double:
            fillNumbers(array, array.doubles, rows, at, p);
            rc = bindInput(number, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, array.doubles.data(), 0, array);
            break;
        case OdbcType::Timestamp:
            array.textStride = kTimestampTextUnits;
            array.text.assign(count * array.textStride, 0);
            for (std::size_t r = 0; r < count; ++r) {
                const auto* time = std::get_if<OdbcTimestamp>(&rows[at + r][p]);
                if (time) {
                    timestampText(*time, array.text.data() + r * array.textStride);
                    array.indicators[r] = static_cast<SQLLEN>(kTimestampColumnSize * sizeof(SQLWCHAR));
                } else {
                    array.indicators[r] = SQL_NULL_DATA;
                }
            }
            rc = bindText(number, SQL_TYPE_TIMESTAMP, kTimestampColumnSize, kTimestampDigits, array);
            break;
        case OdbcType::Text: {
            array.textStride = longest + 1;
            array.text.assign(count * array.textStride, 0);
            for (std::size_t r = 0; r < count; ++r) {
                const OdbcValue& value = rows[at + r][p];
                if (const auto* text = std::get_if<std::u16string>(&value)) {
                    std::copy(text->begin(),
                        text->end(),
                        array.text.begin() + static_cast<std::ptrdiff_t>(r * array.textStride));
                    array.indicators[r] = static_cast<SQLLEN>(text->size() * sizeof(SQLWCHAR));
                } else {
                    array.indicators[r] = SQL_NULL_DATA;
                }
            }
            const SQLSMALLINT sqlType = longest > kLongTextChars ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            rc = bindText(number, sqlType, std::max<std::size_t>(longest, 1), 0, array);
            break;
        }
        }
        if (!SQL_SUCCEEDED(rc))
            return fail(diagnosticOf(SQL_HANDLE_STMT, m_stmt));
        return true;
    }

    // Binds parameter `number` as an input array of `data`, `stride` bytes a row (0 for a
    // fixed-size C type), with the indicators of `array`.
    SQLRETURN bindInput(SQLUSMALLINT number,
        SQLSMALLINT cType,
        SQLSMALLINT sqlType,
        SQLULEN columnSize,
        SQLSMALLINT digits,
        SQLPOINTER data,
        SQLLEN stride,
        ParameterArray& array)
    {
        return SQLBindParameter(
            m_stmt, number, SQL_PARAM_INPUT, cType, sqlType, columnSize, digits, data, stride, array.indicators.data());
    }

    // Binds parameter `number` to the wide texts of `array`, sent as `sqlType`.
    SQLRETURN
    bindText(SQLUSMALLINT number, SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, ParameterArray& array)
    {
        const auto stride = static_cast<SQLLEN>(array.textStride * sizeof(SQLWCHAR));
        return bindInput(number, SQL_C_WCHAR, sqlType, columnSize, digits, array.text.data(), stride, array);
    }

    // One number of parameter `p` a row in `slots`, from the rows after `at` that the
    // indicators of `array` count.
    template <class Buffer>
    static void fillNumbers(ParameterArray& array,
        std::vector<Buffer>& slots,
        const std::vector<std::vector<OdbcValue>>& rows,
        std::size_t at,
        std::size_t p)
    {
        slots.assign(array.indicators.size(), 0);
        for (std::size_t r = 0; r < slots.size(); ++r)
            fill(array, r, rows[at + r][p], slots[r]);
    }

    template <class Buffer> static void fill(ParameterArray& array, std::size_t r, const OdbcValue& value, Buffer& slot)
    {
        if (value.index() == 0) {
            array.indicators[r] = SQL_NULL_DATA;
            return;
        }
        if constexpr (std::is_same_v<Buffer, double>)
            slot = std::get<double>(value);
        else
            slot = static_cast<SQLBIGINT>(std::get<std::int64_t>(value));
    }

    SQLHSTMT m_stmt;
    const std::vector<OdbcType> m_types;
    std::vector<ParameterArray> m_arrays;
    bool m_takesArrays = true;
    // Whether the statement's parameter set size is under this object's control.
    bool m_arraySet = false;
    std::string m_diagnostic;
};

} // namespace

std::unique_ptr<OdbcStatement> prepareStatement(SQLHDBC dbc,
    std::u16string_view statement,
    std::vector<OdbcType> parameterTypes,
    std::string& diagnostic)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
        diagnostic = diagnosticOf(SQL_HANDLE_DBC, dbc);
        return nullptr;
    }
    std::u16string text(statement);
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt, wide(text), SQL_NTS))) {
        diagnostic = diagnosticOf(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return nullptr;
    }
    return std::make_unique<Statement>(stmt, std::move(parameterTypes));
}

} // namespace platform::unixodbc
