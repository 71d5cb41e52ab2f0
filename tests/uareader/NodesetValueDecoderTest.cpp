#include "uareader/NodesetValueDecoder.h"

#include "uareader/UaTrace.h"
#include "uatypes/UaExtensionObject.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

struct ValueCase {
    const char* xml;
    UaBuiltInType type;
    bool isArray;
    const char* text;
};

class NodesetValueDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { UaXmlDocument::initXmlLibrary(); }
    void TearDown() override { UaXmlDocument::cleanupXmlLibrary(); }

    UaVariant decode(const std::string& xml)
    {
        const std::string wrapped
            = "<Value xmlns:uax=\"http://opcfoundation.org/UA/2008/02/Types.xsd\">" + xml + "</Value>";
        UaXmlDocument document;
        EXPECT_EQ(document.loadXmlMemory(wrapped.data(), static_cast<int>(wrapped.size()), nullptr), 0) << xml;
        UaVariant value;
        value.setString("left over");
        if (document.getFirstChild() == 0) {
            m_decoder.decode(document.currentElement(), value);
        } else {
            value.clear();
        }
        return value;
    }

    void expectValues(const std::vector<ValueCase>& cases)
    {
        for (const ValueCase& c : cases) {
            const UaVariant value = decode(c.xml);
            EXPECT_EQ(value.type(), c.type) << c.xml;
            EXPECT_EQ(value.isArray(), c.isArray) << c.xml;
            EXPECT_EQ(value.toString().toStdString(), c.text) << c.xml;
        }
    }

    std::map<std::uint16_t, std::uint16_t> m_translation;
    UaBase::NodesetValueDecoder m_decoder { m_translation };
};

TEST_F(NodesetValueDecoderTest, ReadsScalarsByElementName)
{
    expectValues({
        { "<uax:Boolean>true</uax:Boolean>", UaBuiltInType::Boolean, false, "true" },
        { "<Boolean>True</Boolean>", UaBuiltInType::Boolean, false, "false" },
        { "<SByte>-128</SByte>", UaBuiltInType::SByte, false, "-128" },
        { "<SByte>128</SByte>", UaBuiltInType::SByte, false, "0" },
        { "<Byte>255</Byte>", UaBuiltInType::Byte, false, "255" },
        { "<Byte>0x05</Byte>", UaBuiltInType::Byte, false, "0" },
        { "<Int16>-32768</Int16>", UaBuiltInType::Int16, false, "-32768" },
        { "<UInt16>0xFFFF</UInt16>", UaBuiltInType::UInt16, false, "65535" },
        { "<Int32>abc</Int32>", UaBuiltInType::Int32, false, "0" },
        { "<Int32>-7</Int32>", UaBuiltInType::Int32, false, "-7" },
        { "<Int32></Int32>", UaBuiltInType::Int32, false, "0" },
        { "<UInt32>0x1F</UInt32>", UaBuiltInType::UInt32, false, "31" },
        { "<Int64>-9223372036854775808</Int64>", UaBuiltInType::Int64, false, "-9223372036854775808" },
        { "<UInt64>18446744073709551616</UInt64>", UaBuiltInType::UInt64, false, "0" },
        { "<Float>1e39</Float>", UaBuiltInType::Float, false, "0" },
        { "<Double>21.5</Double>", UaBuiltInType::Double, false, "21.5" },
        { "<String>Line &amp; 1</String>", UaBuiltInType::String, false, "Line & 1" },
        { "<String/>", UaBuiltInType::String, false, "" },
        { "<XmlElement>text</XmlElement>", UaBuiltInType::XmlElement, false, "text" },
        { "<Guid><String>{72962B91-FA75-4AE6-8D28-B404DC7DAF63}</String></Guid>",
            UaBuiltInType::Guid,
            false,
            "{72962b91-fa75-4ae6-8d28-b404dc7daf63}" },
        { "<Guid><String>not a guid</String></Guid>",
            UaBuiltInType::Guid,
            false,
            "{00000000-0000-0000-0000-000000000000}" },
        { "<ByteString>AQID</ByteString>", UaBuiltInType::ByteString, false, "AQID" },
        { "<NodeId><Identifier>ns=2;s=Line1</Identifier></NodeId>", UaBuiltInType::NodeId, false, "ns=2;s=Line1" },
        { "<QualifiedName><NamespaceIndex>3</NamespaceIndex><Name>Level</Name></QualifiedName>",
            UaBuiltInType::QualifiedName,
            false,
            "ns=3|Level" },
        { "<QualifiedName><Name>Level</Name></QualifiedName>", UaBuiltInType::QualifiedName, false, "ns=0|Level" },
        { "<LocalizedText><Locale>en</Locale><Text>Objects</Text></LocalizedText>",
            UaBuiltInType::LocalizedText,
            false,
            "en|Objects" },
        { "<LocalizedText><Text>Objects</Text></LocalizedText>", UaBuiltInType::LocalizedText, false, "|Objects" },
        { "<Variant><Int32>5</Int32></Variant>", UaBuiltInType::Null, false, "" },
        { "<StatusCode><Code>0</Code></StatusCode>", UaBuiltInType::Null, false, "" },
        { "<int32>5</int32>", UaBuiltInType::Null, false, "" },
    });
}

TEST_F(NodesetValueDecoderTest, ReadsDateTimesToUtc)
{
    expectValues({
        { "<DateTime>2024-03-01T12:30:00Z</DateTime>", UaBuiltInType::DateTime, false, "2024-03-01T12:30:00.000Z" },
        { "<DateTime>2024-03-01T12:30:00+02:00</DateTime>",
            UaBuiltInType::DateTime,
            false,
            "2024-03-01T10:30:00.000Z" },
        { "<DateTime>2024-03-01T01:30:00.2507+02</DateTime>",
            UaBuiltInType::DateTime,
            false,
            "2024-02-29T23:30:00.250Z" },
        { "<DateTime>2024-03-01T12:30:00-05:30</DateTime>",
            UaBuiltInType::DateTime,
            false,
            "2024-03-01T18:00:00.000Z" },
        { "<DateTime>2024-03-01T12:30:00.5</DateTime>", UaBuiltInType::DateTime, false, "2024-03-01T12:30:00.500Z" },
        // Shorter than 20 characters, a zone beyond 12 hours, an impossible date: the zero date.
        { "<DateTime>2024-03-01T12:30:00</DateTime>", UaBuiltInType::DateTime, false, "1601-01-01T00:00:00.000Z" },
        { "<DateTime>2024-03-01T12:30:00+13:00</DateTime>",
            UaBuiltInType::DateTime,
            false,
            "1601-01-01T00:00:00.000Z" },
        { "<DateTime>2023-02-29T12:30:00Z</DateTime>", UaBuiltInType::DateTime, false, "1601-01-01T00:00:00.000Z" },
        { "<DateTime>2024-03-01 12:30:00Z</DateTime>", UaBuiltInType::DateTime, false, "1601-01-01T00:00:00.000Z" },
        { "<DateTime>2024-03-01T12:30:00Zjunk</DateTime>", UaBuiltInType::DateTime, false, "1601-01-01T00:00:00.000Z" },
    });
}

TEST_F(NodesetValueDecoderTest, ReadsListsItemByItemInDocumentOrder)
{
    expectValues({
        { "<ListOfString><String>Auto</String><String>Manual</String><String>Off</String></ListOfString>",
            UaBuiltInType::String,
            true,
            "{Auto,Manual,Off}" },
        { "<ListOfInt32><Int32>1</Int32><Int32>x</Int32><Int32>-3</Int32></ListOfInt32>",
            UaBuiltInType::Int32,
            true,
            "{1,0,-3}" },
        { "<ListOfBoolean><Boolean>true</Boolean><Boolean>1</Boolean></ListOfBoolean>",
            UaBuiltInType::Boolean,
            true,
            "{true,false}" },
        // Only the children named after the item type are items.
        { "<ListOfDouble><Double>1.5</Double><Int32>7</Int32><Double>2</Double></ListOfDouble>",
            UaBuiltInType::Double,
            true,
            "{1.5,2}" },
        { "<ListOfLocalizedText><LocalizedText><Locale>en</Locale><Text>On</Text></LocalizedText></"
          "ListOfLocalizedText>",
            UaBuiltInType::LocalizedText,
            true,
            "{en|On}" },
        { "<ListOfNodeId><NodeId><Identifier>i=85</Identifier></NodeId><NodeId/></ListOfNodeId>",
            UaBuiltInType::NodeId,
            true,
            "{i=85,i=0}" },
        { "<ListOfByte/>", UaBuiltInType::Byte, true, "{}" },
        { "<ListOfStatusCode><StatusCode>0</StatusCode></ListOfStatusCode>", UaBuiltInType::Null, false, "" },
    });
}

TEST_F(NodesetValueDecoderTest, ReadsListOfVariantItemsWithOrWithoutTheirWrapper)
{
    expectValues({
        { "<ListOfVariant><Variant><Int32>5</Int32></Variant><String>five</String><Variant/></ListOfVariant>",
            UaBuiltInType::Variant,
            true,
            "{5,five,}" },
        { "<ListOfVariant><Variant><ListOfByte><Byte>1</Byte><Byte>2</Byte></ListOfByte></Variant></ListOfVariant>",
            UaBuiltInType::Variant,
            true,
            "{{1,2}}" },
    });
}

TEST_F(NodesetValueDecoderTest, ReadsTheStandardStructuresFieldByField)
{
    expectValues({
        { "<ExtensionObject><TypeId><Identifier>i=297</Identifier></TypeId><Body><Argument><Name>Mode</Name>"
          "<DataType><Identifier>i=7</Identifier></DataType><ValueRank>1</ValueRank>"
          "<ArrayDimensions><UInt32>4</UInt32></ArrayDimensions><Description><Text>Run mode</Text></Description>"
          "</Argument></Body></ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "i=297{Name=Mode,DataType=i=7,ValueRank=1,ArrayDimensions={4},Description=|Run mode}" },
        { "<ExtensionObject><TypeId><Identifier>i=885</Identifier></TypeId><Body><Range><Low>-5</Low></Range></Body>"
          "</ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "i=885{Low=-5,High=0}" },
        { "<ExtensionObject><TypeId><Identifier>i=888</Identifier></TypeId><Body><EUInformation>"
          "<NamespaceUri>http://www.opcfoundation.org/UA/units/un/cefact</NamespaceUri><UnitId>4408652</UnitId>"
          "<DisplayName><Locale>en</Locale><Text>°C</Text></DisplayName></EUInformation></Body></ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "i=888{NamespaceUri=http://www.opcfoundation.org/UA/units/un/cefact,UnitId=4408652,DisplayName=en|°C,"
            "Description=|}" },
        { "<ListOfExtensionObject><ExtensionObject><TypeId><Identifier>i=7616</Identifier></TypeId><Body>"
          "<EnumValueType><Value>1</Value><DisplayName><Text>Mandatory</Text></DisplayName></EnumValueType></Body>"
          "</ExtensionObject></ListOfExtensionObject>",
            UaBuiltInType::ExtensionObject,
            true,
            "{i=7616{Value=1,DisplayName=|Mandatory,Description=|}}" },
    });
}

TEST_F(NodesetValueDecoderTest, KeepsOtherStructuresAsTheirBinaryBody)
{
    expectValues({
        { "<ExtensionObject><TypeId><Identifier>ns=1;i=5004</Identifier></TypeId><Body><ByteString>AQID</ByteString>"
          "</Body></ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "ns=1;i=5004:AQID" },
        { "<ExtensionObject><TypeId><Identifier>i=12345</Identifier></TypeId><Body><Thing/></Body></ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "i=12345" },
        { "<ExtensionObject><Body><ByteString>AQID</ByteString></Body></ExtensionObject>",
            UaBuiltInType::ExtensionObject,
            false,
            "i=0:AQID" },
    });
}

TEST_F(NodesetValueDecoderTest, ReadsBase64BrokenIntoLines)
{
    expectValues({
        { "<ByteString>AQID\n  BAUG\r\n</ByteString>", UaBuiltInType::ByteString, false, "AQIDBAUG" },
        { "<ByteString>AQI</ByteString>", UaBuiltInType::ByteString, false, "" },
        { "<ByteString>AQ=D</ByteString>", UaBuiltInType::ByteString, false, "" },
    });
}

struct TraceCase {
    const char* xml;
    int level;
    const char* lines;
};

TEST_F(NodesetValueDecoderTest, TracesMissingPartsOnlyWhenTheLevelIsRaised)
{
    const TraceCase cases[] = {
        { "<NodeId/>", 1, "Error UaNodesetXmlParser::getNodeIdValue - XML Element Identifier missing\n" },
        { "<NodeId/>", 0, "" },
        { "<ExtensionObject><Body><ByteString>AQID</ByteString></Body></ExtensionObject>",
            1,
            "Error UaNodesetXmlParser::getExtensionObjectValue - XML Element TypeId missing\n" },
        { "<ExtensionObject><TypeId><Identifier>i=297</Identifier></TypeId></ExtensionObject>",
            1,
            "Error UaNodesetXmlParser::getExtensionObjectValue - XML Element Body missing\n" },
        { "<ExtensionObject><TypeId><Identifier>ns=1;i=9</Identifier></TypeId><Body><X/></Body></ExtensionObject>",
            1,
            "Error UaNodesetXmlParser::getExtensionObjectValue extension object type ns=1;i=9 not supported\n" },
        { "<ExtensionObject><TypeId><Identifier>ns=1;i=9</Identifier></TypeId><Body><X/></Body></ExtensionObject>",
            3,
            "Error UaNodesetXmlParser::getExtensionObjectValue binary body for extension object (type ns=1;i=9) "
            "expected.\n"
            "Error UaNodesetXmlParser::getExtensionObjectValue extension object type ns=1;i=9 not supported\n" },
    };
    for (const TraceCase& c : cases) {
        ScopedTraceCapture capture(c.level);
        decode(c.xml);
        EXPECT_EQ(capture.lines(), c.lines) << c.xml;
    }
}

TEST_F(NodesetValueDecoderTest, TranslatesNamespacesOfNodeIdsAndNames)
{
    m_translation[2] = 5;
    expectValues({
        { "<NodeId><Identifier>ns=2;i=7</Identifier></NodeId>", UaBuiltInType::NodeId, false, "ns=5;i=7" },
        { "<NodeId><Identifier>ns=3;i=7</Identifier></NodeId>", UaBuiltInType::NodeId, false, "ns=3;i=7" },
        { "<QualifiedName><NamespaceIndex>2</NamespaceIndex><Name>A</Name></QualifiedName>",
            UaBuiltInType::QualifiedName,
            false,
            "ns=5|A" },
        { "<QualifiedName><NamespaceIndex>3</NamespaceIndex><Name>A</Name></QualifiedName>",
            UaBuiltInType::QualifiedName,
            false,
            "ns=3|A" },
    });
}

} // namespace
