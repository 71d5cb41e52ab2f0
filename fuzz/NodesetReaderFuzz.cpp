// libFuzzer target: any bytes as a document (loadXmlMemory), read by parseNodes into a node map,
// then the nodes walked as the Node Config page and tavox-nodeset walk them.

#include "uanodes/BaseNode.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/DataType.h"
#include "uanodes/NodeMap.h"
#include "uanodes/UserDataBase.h"
#include "uanodes/Variable.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"

#include <libxml/xmlerror.h>

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

void ignoreXmlError(void*, xmlErrorPtr) {}

bool setUp()
{
    UaXmlDocument::initXmlLibrary();
    xmlSetStructuredErrorFunc(nullptr, ignoreXmlError);
    return true;
}

void walk(const UaBase::NodeMap& nodes)
{
    for (const auto& [nodeId, node] : nodes) {
        UaNodeId parent;
        UaNodeId referenceType;
        node->getParent(parent, referenceType);
        (void)node->nodeId().toString();
        (void)node->browseName().toFullString();
        if (const auto* variable = dynamic_cast<const UaBase::Variable*>(node.get())) {
            (void)variable->value().toString();
            (void)variable->alarmSettings();
        }
        if (const auto* dataType = dynamic_cast<const UaBase::DataType*>(node.get())) {
            (void)dataType->structureDefinition().fieldCount();
        }
        (void)node->createUserData();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = setUp();
    (void)ready;
    if (size > INT_MAX) {
        return 0;
    }
    auto* document = new UaXmlDocument;
    if (document->loadXmlMemory(reinterpret_cast<const char*>(data), static_cast<int>(size), "fuzz.xml") != 0) {
        delete document;
        return 0;
    }
    CTavoxBaseNodeFactory factory;
    UaBase::UaNodesetXmlParser reader(document);
    reader.setNodeFactory(&factory);
    UaBase::NodeMap nodes;
    UaString error;
    if (reader.parseNodes(nodes, error).isGood()) {
        walk(nodes);
    }
    return 0;
}
