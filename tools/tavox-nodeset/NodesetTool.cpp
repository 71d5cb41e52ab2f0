#include "tavox-nodeset/NodesetTool.h"

#include "tavox-nodeset/NodeJson.h"

#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/DataType.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace {

using namespace UaBase;

constexpr const char* kUsage = "usage: tavox-nodeset dump FILE\n"
                               "       tavox-nodeset check FILE\n";

/// Keeps libxml2 set up for the reading; its error messages stay off standard error (the XML
/// layer keeps the first one for check's extra help, the tool's error output is one line).
class XmlLibrary {
public:
    XmlLibrary() { UaXmlDocument::initXmlLibrary(); }
    ~XmlLibrary() { UaXmlDocument::cleanupXmlLibrary(); }
    XmlLibrary(const XmlLibrary&) = delete;
    XmlLibrary& operator=(const XmlLibrary&) = delete;
};

std::string statusLine(const UaString& errorText, UaStatus status)
{
    std::array<char, 16> code {};
    std::snprintf(code.data(), code.size(), "0x%08" PRIX32, status.code());
    return errorText.toStdString() + " (" + code.data() + ")";
}

/// Reads FILE as the Node Config page does; on failure writes the error line(s) and gives false.
class NodesetRead {
public:
    bool read(const std::string& file, bool withLine, std::ostream& err)
    {
        m_reader.setNodeFactory(&m_factory);
        UaString errorText;
        UaStatus status = m_reader.loadNodeset(UaString(file.c_str()), errorText);
        if (status.isGood()) {
            status = m_reader.parseNodes(m_nodes, errorText);
            if (status.isNotGood()) {
                err << statusLine(errorText, status) << "\n";
                const long line = withLine ? m_reader.failedElementLine() : 0;
                if (line > 0) {
                    err << "the node element at line " << line << " of " << file << " does not read\n";
                }
                return false;
            }
            return true;
        }
        err << statusLine(errorText, status) << "\n";
        if (withLine) {
            std::error_code ignored;
            if (!std::filesystem::is_regular_file(file, ignored)) {
                err << file << " is missing or not a regular file\n";
            } else if (!m_reader.loadFailure().empty()) {
                err << m_reader.loadFailure() << "\n";
            }
        }
        return false;
    }

    const NodeMap& nodes() const { return m_nodes; }

private:
    XmlLibrary m_library;
    CTavoxBaseNodeFactory m_factory;
    UaNodesetXmlParser m_reader;
    NodeMap m_nodes;
};

int dump(const std::string& file, std::ostream& out, std::ostream& err)
{
    NodesetRead read;
    if (!read.read(file, false, err)) {
        return 1;
    }
    for (const auto& [nodeId, node] : read.nodes()) {
        out << nodeToJson(*node).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    }
    return 0;
}

std::string summary(const NodeMap& nodes)
{
    static constexpr NodeClass kClasses[] = { NodeClass::Object,
        NodeClass::Variable,
        NodeClass::Method,
        NodeClass::ObjectType,
        NodeClass::VariableType,
        NodeClass::ReferenceType,
        NodeClass::DataType };
    std::size_t perClass[std::size(kClasses)] = {};
    std::size_t references = 0;
    std::size_t definitions = 0;
    for (const auto& [nodeId, node] : nodes) {
        for (std::size_t i = 0; i < std::size(kClasses); ++i) {
            perClass[i] += node->nodeClass() == kClasses[i] ? 1 : 0;
        }
        references += node->references().size();
        if (node->nodeClass() == NodeClass::DataType) {
            const auto& dataType = static_cast<const DataType&>(*node);
            definitions += dataType.structureDefinition().hasName() || !dataType.enumDefinition().isEmpty() ? 1 : 0;
        }
    }
    std::ostringstream line;
    line << nodes.size() << " nodes (";
    static constexpr const char* kNames[]
        = { "Object", "Variable", "Method", "ObjectType", "VariableType", "ReferenceType", "DataType" };
    for (std::size_t i = 0; i < std::size(kClasses); ++i) {
        line << (i > 0 ? ", " : "") << perClass[i] << " " << kNames[i];
    }
    line << "), " << references << " references, " << definitions << " data types with definitions";
    return line.str();
}

int check(const std::string& file, std::ostream& out, std::ostream& err)
{
    NodesetRead read;
    if (!read.read(file, true, err)) {
        return 1;
    }
    out << summary(read.nodes()) << "\n";
    return 0;
}

} // namespace

int runNodesetTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    if (arguments.size() != 2) {
        err << kUsage;
        return 2;
    }
    if (arguments[0] == "dump") {
        return dump(arguments[1], out, err);
    }
    if (arguments[0] == "check") {
        return check(arguments[1], out, err);
    }
    err << kUsage;
    return 2;
}
