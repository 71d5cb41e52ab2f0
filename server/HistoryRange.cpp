#include "HistoryRange.h"

namespace tavoxserver {

bool HistoryRange::holds(const HistoryKey& key) const
{
    const auto beyond = [this](std::int64_t a, std::int64_t b) { return forward ? a > b : a < b; };
    if (first && beyond(*first, key.sourceTime))
        return false;
    if (last && (beyond(key.sourceTime, *last) || (!lastIncluded && key.sourceTime == *last)))
        return false;
    if (after && !(forward ? key > *after : key < *after))
        return false;
    return true;
}

SqlRange sqlRange(const HistoryRange& range, const HistoryColumns& columns)
{
    SqlRange sql;
    const std::string time = columns.sourceTime;
    const char* ahead = range.forward ? " > ?" : " < ?";
    const auto timeParameter = [&sql](std::int64_t ticks) {
        sql.parameters.push_back({ SqlParameter::Kind::Time, ticks, {} });
    };
    const auto integerParameter = [&sql](std::int64_t number) {
        sql.parameters.push_back({ SqlParameter::Kind::Integer, number, {} });
    };

    sql.where = std::string("WHERE ") + columns.node + " = ?";
    sql.parameters.push_back({ SqlParameter::Kind::Text, 0, range.node });
    if (range.first) {
        sql.where += " AND " + time + (range.forward ? " >= ?" : " <= ?");
        timeParameter(*range.first);
    }
    if (range.last) {
        if (range.lastIncluded)
            sql.where += " AND " + time + (range.forward ? " <= ?" : " >= ?");
        else
            sql.where += " AND " + time + (range.forward ? " < ?" : " > ?");
        timeParameter(*range.last);
    }
    if (range.after) {
        // Row values spelled out, as not every dialect compares them; the first term lets
        // the index on node and time narrow the search.
        const HistoryKey& key = *range.after;
        sql.where += " AND " + time + (range.forward ? " >= ?" : " <= ?");
        timeParameter(key.sourceTime);
        if (columns.origin.empty() && key.origin != columns.onlyOrigin) {
            // Every value of the one origin at the key's time lies beyond the key, or none does.
            if ((key.origin < columns.onlyOrigin) != range.forward) {
                sql.where += " AND " + time + ahead;
                timeParameter(key.sourceTime);
            }
        } else if (columns.origin.empty()) {
            sql.where += " AND (" + time + ahead + " OR (" + time + " = ? AND " + columns.seq + ahead + "))";
            timeParameter(key.sourceTime);
            timeParameter(key.sourceTime);
            integerParameter(key.seq);
        } else {
            sql.where += " AND (" + time + ahead + " OR (" + time + " = ? AND (" + columns.origin + ahead + " OR ("
                + columns.origin + " = ? AND " + columns.seq + ahead + "))))";
            timeParameter(key.sourceTime);
            timeParameter(key.sourceTime);
            integerParameter(key.origin);
            integerParameter(key.origin);
            integerParameter(key.seq);
        }
    }
    const char* direction = range.forward ? " ASC" : " DESC";
    sql.orderBy = "ORDER BY " + time + direction;
    if (!columns.origin.empty())
        sql.orderBy += ", " + columns.origin + direction;
    sql.orderBy += ", " + columns.seq + direction;
    return sql;
}

} // namespace tavoxserver
