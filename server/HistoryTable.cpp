#include "HistoryTable.h"

#include "platform/Odbc.h"
#include "support/TextCodec.h"
#include "uatypes/UaDateTime.h"

namespace tavoxserver {
namespace {

using platform::OdbcType;
using platform::OdbcValue;

constexpr const char* kMySqlTable = R"sql(CREATE TABLE IF NOT EXISTS tavox_history (
    node VARCHAR(700) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NOT NULL,
    source_time DATETIME(3) NOT NULL,
    server_time DATETIME(3) NULL,
    status_code INT UNSIGNED NOT NULL,
    data_type VARCHAR(40) CHARACTER SET ascii NOT NULL,
    value MEDIUMTEXT CHARACTER SET utf8mb4 NULL,
    origin BIGINT NOT NULL,
    seq BIGINT NOT NULL,
    PRIMARY KEY (origin, seq),
    INDEX tavox_history_node_time (node, source_time)
) ENGINE=InnoDB)sql";

constexpr const char* kMsSqlTable = R"sql(IF OBJECT_ID(N'tavox_history', N'U') IS NULL
CREATE TABLE tavox_history (
    node NVARCHAR(700) COLLATE Latin1_General_100_BIN2 NOT NULL,
    source_time DATETIME2(3) NOT NULL,
    server_time DATETIME2(3) NULL,
    status_code BIGINT NOT NULL,
    data_type VARCHAR(40) NOT NULL,
    value NVARCHAR(MAX) NULL,
    origin BIGINT NOT NULL,
    seq BIGINT NOT NULL,
    CONSTRAINT tavox_history_key PRIMARY KEY CLUSTERED (origin, seq),
    INDEX tavox_history_node_time NONCLUSTERED (node, source_time)
))sql";

constexpr const char* kInsert = "INSERT INTO tavox_history (node, source_time, server_time, status_code, data_type, "
                                "value, origin, seq) VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
constexpr const char* kReadColumns = "source_time, origin, seq, server_time, status_code, data_type, value";

const std::vector<OdbcType>& insertTypes()
{
    static const std::vector<OdbcType> types = { OdbcType::Text,
        OdbcType::Timestamp,
        OdbcType::Timestamp,
        OdbcType::Integer,
        OdbcType::Text,
        OdbcType::Text,
        OdbcType::Integer,
        OdbcType::Integer };
    return types;
}

std::u16string sqlText(std::string_view text) { return support::utf8ToUtf16(text); }

platform::OdbcTimestamp timestampOf(std::int64_t ticks)
{
    const UaDateTimeFields f = UaDateTime(ticks).utcFields();
    return { static_cast<int>(f.year), f.month, f.day, f.hour, f.minute, f.second, f.millisecond * 1'000'000u };
}

std::int64_t ticksOf(const platform::OdbcTimestamp& t)
{
    return UaDateTime::fromUtc(t.year,
        static_cast<int>(t.month),
        static_cast<int>(t.day),
        static_cast<int>(t.hour),
        static_cast<int>(t.minute),
        static_cast<int>(t.second),
        static_cast<int>(t.fraction / 1'000'000u))
        .ticks();
}

std::vector<OdbcValue> rowOf(const SpooledValue& spooled, std::int64_t origin)
{
    const HistoryValue& v = spooled.value;
    return { sqlText(v.node),
        timestampOf(v.sourceTime),
        v.serverTime ? OdbcValue(timestampOf(*v.serverTime)) : OdbcValue(),
        static_cast<std::int64_t>(v.status),
        sqlText(v.dataType),
        v.value ? OdbcValue(sqlText(*v.value)) : OdbcValue(),
        origin,
        spooled.seq };
}

template <class T> const T* as(const OdbcValue& value) { return std::get_if<T>(&value); }

} // namespace

std::string HistoryTable::createStatement() const
{
    return m_type == history::SqlType::MsSql ? kMsSqlTable : kMySqlTable;
}

bool HistoryTable::create(platform::OdbcConnection& connection) const
{
    if (connection.execute(sqlText(createStatement())) && connection.commit())
        return true;
    connection.rollback();
    return false;
}

support::Result<std::optional<std::int64_t>> HistoryTable::lastSeq(platform::OdbcConnection& connection,
    std::int64_t origin) const
{
    const auto failed = [&connection](const std::string& diagnostic) {
        connection.rollback();
        return support::Error { support::ErrorKind::System, "cannot read the last value written: " + diagnostic };
    };
    auto query = connection.prepare(u"SELECT MAX(seq) FROM tavox_history WHERE origin = ?", { OdbcType::Integer });
    if (!query)
        return failed(connection.lastDiagnostic());
    if (!query->execute({ { origin } }) || query->fetch() != platform::OdbcFetch::Row)
        return failed(query->lastDiagnostic());
    const OdbcValue last = query->column(1, OdbcType::Integer);
    query.reset();
    connection.rollback();
    if (const auto* seq = as<std::int64_t>(last))
        return std::optional<std::int64_t>(*seq);
    return std::optional<std::int64_t>();
}

bool HistoryTable::insert(platform::OdbcConnection& connection,
    const std::vector<SpooledValue>& values,
    std::int64_t origin,
    std::string& diagnostic) const
{
    std::vector<std::vector<OdbcValue>> rows;
    rows.reserve(values.size());
    for (const SpooledValue& value : values)
        rows.push_back(rowOf(value, origin));
    auto statement = connection.prepare(sqlText(kInsert), insertTypes());
    if (!statement) {
        diagnostic = connection.lastDiagnostic();
        connection.rollback();
        return false;
    }
    if (!statement->execute(rows)) {
        diagnostic = statement->lastDiagnostic();
        statement.reset();
        connection.rollback();
        return false;
    }
    statement.reset();
    if (!connection.commit()) {
        diagnostic = connection.lastDiagnostic();
        connection.rollback();
        return false;
    }
    return true;
}

bool HistoryTable::insertEach(platform::OdbcConnection& connection,
    const std::vector<SpooledValue>& values,
    std::int64_t origin,
    std::size_t& refused,
    std::string& diagnostic) const
{
    refused = 0;
    auto statement = connection.prepare(sqlText(kInsert), insertTypes());
    if (!statement) {
        diagnostic = connection.lastDiagnostic();
        connection.rollback();
        return false;
    }
    for (const SpooledValue& value : values) {
        // A refused row takes back only its own statement; the rows before it stay.
        if (!statement->execute({ rowOf(value, origin) })) {
            if (refused++ == 0)
                diagnostic = statement->lastDiagnostic();
        }
    }
    statement.reset();
    // Every row refused is the table's doing (rights, space), not the values': they stay.
    if (refused == values.size()) {
        connection.rollback();
        return false;
    }
    if (!connection.commit()) {
        diagnostic = connection.lastDiagnostic();
        connection.rollback();
        return false;
    }
    return true;
}

support::Result<std::vector<KeptHistoryValue>> HistoryTable::read(platform::OdbcConnection& connection,
    const HistoryRange& range) const
{
    const HistoryColumns columns { "node", "source_time", "origin", "seq", 0 };
    const SqlRange sql = sqlRange(range, columns);
    const bool msSql = m_type == history::SqlType::MsSql;
    std::string text = "SELECT ";
    if (msSql)
        text += "TOP (?) ";
    text += std::string(kReadColumns) + " FROM tavox_history " + sql.where + " " + sql.orderBy;
    if (!msSql)
        text += " LIMIT ?";

    std::vector<OdbcType> types;
    std::vector<OdbcValue> parameters;
    const auto addLimit = [&] {
        types.push_back(OdbcType::Integer);
        parameters.emplace_back(static_cast<std::int64_t>(range.limit));
    };
    if (msSql)
        addLimit();
    for (const SqlParameter& parameter : sql.parameters) {
        switch (parameter.kind) {
        case SqlParameter::Kind::Time:
            types.push_back(OdbcType::Timestamp);
            parameters.emplace_back(timestampOf(parameter.number));
            break;
        case SqlParameter::Kind::Integer:
            types.push_back(OdbcType::Integer);
            parameters.emplace_back(parameter.number);
            break;
        case SqlParameter::Kind::Text:
            types.push_back(OdbcType::Text);
            parameters.emplace_back(sqlText(parameter.text));
            break;
        }
    }
    if (!msSql)
        addLimit();

    const auto failed = [&connection](const std::string& diagnostic) {
        connection.rollback();
        return support::Error { support::ErrorKind::System, "cannot read the history table: " + diagnostic };
    };
    auto query = connection.prepare(sqlText(text), types);
    if (!query)
        return failed(connection.lastDiagnostic());
    if (!query->execute({ parameters }))
        return failed(query->lastDiagnostic());
    std::vector<KeptHistoryValue> values;
    for (;;) {
        const platform::OdbcFetch fetched = query->fetch();
        if (fetched == platform::OdbcFetch::End)
            break;
        if (fetched == platform::OdbcFetch::Failed)
            return failed(query->lastDiagnostic());
        KeptHistoryValue kept;
        const OdbcValue sourceTime = query->column(1, OdbcType::Timestamp);
        const OdbcValue origin = query->column(2, OdbcType::Integer);
        const OdbcValue seq = query->column(3, OdbcType::Integer);
        const OdbcValue serverTime = query->column(4, OdbcType::Timestamp);
        const OdbcValue status = query->column(5, OdbcType::Integer);
        const OdbcValue dataType = query->column(6, OdbcType::Text);
        const OdbcValue value = query->column(7, OdbcType::Text);
        if (!as<platform::OdbcTimestamp>(sourceTime) || !as<std::int64_t>(origin) || !as<std::int64_t>(seq)
            || !as<std::int64_t>(status) || !as<std::u16string>(dataType))
            return failed("a row misses a column: " + query->lastDiagnostic());
        kept.value.node = range.node;
        kept.value.sourceTime = ticksOf(*as<platform::OdbcTimestamp>(sourceTime));
        if (const auto* time = as<platform::OdbcTimestamp>(serverTime))
            kept.value.serverTime = ticksOf(*time);
        kept.value.status = static_cast<std::uint32_t>(*as<std::int64_t>(status));
        kept.value.dataType = support::utf16ToUtf8(*as<std::u16string>(dataType));
        if (const auto* valueText = as<std::u16string>(value))
            kept.value.value = support::utf16ToUtf8(*valueText);
        kept.key = { kept.value.sourceTime, *as<std::int64_t>(origin), *as<std::int64_t>(seq) };
        values.push_back(std::move(kept));
    }
    query.reset();
    connection.rollback();
    return values;
}

} // namespace tavoxserver
