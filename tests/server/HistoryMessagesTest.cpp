#include "HistoryMessages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tavoxserver;
using nlohmann::json;

namespace {

json valueMessage(const std::string& dataType, const json& value)
{
    return { { "type", "value" },
        { "namespaceUri", "urn:a;b%c" },
        { "identifier", "s=X" },
        { "sourceTime", "2026-12-10T02:00:00.123Z" },
        { "status", 2147483648u },
        { "dataType", dataType },
        { "value", value } };
}

TEST(HistoryMessagesTest, ValuesKeepTheirTypeThroughTheStoredText)
{
    struct Case {
        std::string dataType;
        json in;
        std::optional<std::string> stored; // none: refused
        json out; // null: as it came
    };
    const Case cases[] = {
        { "Double", 1.5, "1.5", nullptr },
        { "Double", 0.1, "0.1", nullptr },
        { "Double", 1e300, "1e+300", nullptr },
        { "Double", "NaN", "NaN", nullptr },
        { "Float", "-Infinity", "-Infinity", nullptr },
        { "Double", "nan", std::nullopt, nullptr },
        { "Boolean", false, "false", nullptr },
        { "Boolean", 0, std::nullopt, nullptr },
        { "SByte", -128, "-128", nullptr },
        { "Byte", 256, std::nullopt, nullptr },
        { "Int16", 70000, std::nullopt, nullptr },
        { "UInt32", 4294967295u, "4294967295", nullptr },
        { "Int32", 1.5, std::nullopt, nullptr },
        { "Int64", "-9223372036854775808", "-9223372036854775808", nullptr },
        { "Int64", 42, "42", "42" },
        { "Int64", "9223372036854775808", std::nullopt, nullptr },
        { "UInt64", "18446744073709551615", "18446744073709551615", nullptr },
        { "UInt64", "-1", std::nullopt, nullptr },
        { "String", "a\"b", "a\"b", nullptr },
        { "String", 5, std::nullopt, nullptr },
        { "ByteString", "AAE=", "AAE=", nullptr },
        { "Guid", "72962B91-FA75-4AE6-8D28-B404DC7DAF63", "72962B91-FA75-4AE6-8D28-B404DC7DAF63", nullptr },
        { "Int16", json::array({ 1, -2 }), "[1,-2]", nullptr },
        { "Int16", json::array({ 1, 70000 }), std::nullopt, nullptr },
        { "UInt64", json::array({ "1", 2 }), "[\"1\",\"2\"]", json::array({ "1", "2" }) },
        { "String", json::array({ "[a]" }), "[\"[a]\"]", nullptr },
        { "Range", json { { "low", 1 }, { "high", 2 } }, "{\"high\":2,\"low\":1}", nullptr },
        { "Double", nullptr, std::nullopt, nullptr },
    };
    for (const Case& c : cases) {
        const auto value = historyValueFromMessage(valueMessage(c.dataType, c.in), 0);
        if (!c.stored && !c.in.is_null()) {
            ASSERT_FALSE(value.ok()) << c.dataType << " " << c.in;
            EXPECT_EQ(value.error().message, "the value " + c.in.dump() + " is not of the type " + c.dataType);
            continue;
        }
        ASSERT_TRUE(value.ok()) << c.dataType << " " << c.in << ": " << value.error().message;
        EXPECT_EQ(value->value, c.stored) << c.dataType << " " << c.in;
        EXPECT_EQ(value->dataType, c.in.is_array() ? c.dataType + "[]" : c.dataType);
        EXPECT_EQ(value->node, "nsu=urn:a%3Bb%25c;s=X");
        EXPECT_EQ(value->status, 0x80000000u);
        HistoryReadResult result;
        result.values = { *value };
        const json answer = historyDataMessage(result)["values"][0];
        EXPECT_EQ(answer["value"], c.out.is_null() ? c.in : c.out) << c.dataType << " " << c.in;
        EXPECT_EQ(answer["dataType"], c.dataType);
        EXPECT_EQ(answer["sourceTime"], "2026-12-10T02:00:00.123Z");
    }
}

TEST(HistoryMessagesTest, MalformedMessagesAreRefusedWithTheirReason)
{
    const std::pair<json, std::string> values[] = {
        { { { "namespaceUri", "" }, { "identifier", "s=X" } }, "\"namespaceUri\" is missing or not a text" },
        { { { "namespaceUri", "u" }, { "identifier", "Boiler" } },
            "\"identifier\" is not of the form i=, s=, g= or b=: \"Boiler\"" },
        { { { "namespaceUri", "u" }, { "identifier", "s=" + std::string(700, 'x') } },
            "the node id is longer than 700 characters" },
        { { { "namespaceUri", "u" }, { "identifier", "i=5" }, { "sourceTime", "yesterday" } },
            "\"sourceTime\" is not a date and time: \"yesterday\"" },
        { { { "namespaceUri", "u" }, { "identifier", "i=5" }, { "status", -1 } },
            "\"status\" is not a status code: -1" },
        { { { "namespaceUri", "u" }, { "identifier", "i=5" }, { "dataType", "Dou ble" } },
            "\"dataType\" is missing or not a type name" },
    };
    for (const auto& [message, reason] : values) {
        const auto value = historyValueFromMessage(message, 0);
        ASSERT_FALSE(value.ok()) << message;
        EXPECT_EQ(value.error().message, reason);
    }

    // Missing times: the server time stands in, then the time received; the minimum date is none.
    json message = { { "namespaceUri", "u" },
        { "identifier", "i=5" },
        { "dataType", "Double" },
        { "value", 1 },
        { "sourceTime", "1601-01-01T00:00:00.000Z" },
        { "serverTime", "2026-12-10T02:00:00.000Z" } };
    auto value = historyValueFromMessage(message, 77);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value->sourceTime, *value->serverTime);
    message.erase("serverTime");
    value = historyValueFromMessage(message, 77);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value->sourceTime, 77);
    EXPECT_FALSE(value->serverTime);

    const auto read = historyReadFromMessage({ { "id", 3 },
        { "namespaceUri", "u" },
        { "identifier", "i=5" },
        { "start", nullptr },
        { "end", "2026-12-10T02:00:00.000Z" },
        { "maxValues", 5 },
        { "continuation", "1:2:3" } });
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->id, 3);
    EXPECT_FALSE(read->start);
    EXPECT_TRUE(read->end);
    EXPECT_EQ(read->maxValues, 5u);
    EXPECT_EQ(read->continuation, "1:2:3");
    EXPECT_EQ(historyReadFromMessage({ { "namespaceUri", "u" }, { "identifier", "i=5" } }).error().message,
        "\"id\" is missing or not a number");
}

} // namespace
