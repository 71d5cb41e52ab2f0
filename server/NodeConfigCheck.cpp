#include "NodeConfigCheck.h"

#include "nodeconfig/NodeConfigFiles.h"
#include "support/WholeFile.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <string>

namespace tavoxserver {
namespace {

/// Keeps the XML library set up while the file is read.
class XmlLibraryUse {
public:
    XmlLibraryUse() { UaXmlDocument::initXmlLibrary(); }
    ~XmlLibraryUse() { UaXmlDocument::cleanupXmlLibrary(); }
    XmlLibraryUse(const XmlLibraryUse&) = delete;
    XmlLibraryUse& operator=(const XmlLibraryUse&) = delete;
};

std::string statusText(const UaString& errorText, const UaStatus& status)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08" PRIX32, status.code());
    return errorText.toStdString() + " (" + code + ")";
}

} // namespace

support::Result<void> checkNodeConfig(const std::filesystem::path& file, std::size_t* nodeCount)
{
    return checkNodeConfig(file, nodeCount, nullptr);
}

support::Result<void> checkNodeConfig(const std::filesystem::path& file, std::size_t* nodeCount, AlarmPlan* alarms)
{
    const std::string name = file.string();
    // The reader tells only that a file does not load; why it cannot even be read is told here.
    const support::Result<int> opened = support::openRegularFile(file);
    if (!opened)
        return opened.error();
    ::close(*opened);
    XmlLibraryUse library;
    CTavoxBaseNodeFactory factory;
    UaBase::UaNodesetXmlParser reader;
    reader.setNodeFactory(&factory);
    UaBase::NodeMap nodes;
    UaString errorText;
    UaStatus status = reader.loadNodeset(UaString(name.c_str()), errorText);
    if (status.isGood())
        status = reader.parseNodes(nodes, errorText);
    if (status.isNotGood()) {
        // The XML layer's one-line reason says more than the reader's "cannot load XML file".
        const std::string why = reader.loadFailure().empty() ? statusText(errorText, status) : reader.loadFailure();
        return support::Error::invalidInput("the node configuration file " + name + " does not read: " + why);
    }
    if (nodeCount)
        *nodeCount = nodes.size();
    if (alarms) {
        // The block is read from the file as the Node Config page reads it after a load.
        const auto text = nodeconfig::files::readText(file);
        *alarms = planAlarms(nodes, reader.namespaceUris(), text ? std::string_view(*text) : std::string_view());
    }
    return {};
}

} // namespace tavoxserver
