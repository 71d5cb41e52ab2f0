// libFuzzer target: any bytes as a nodeset file, read once by the reader (which reads the node
// elements while the file loads) and once with reading while loading switched off (reading the
// loaded document afterwards). The two must give the same statuses, failure place, extensions and nodes.

#include "uanodes/BaseNode.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Reference.h"
#include "uanodes/Variable.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uatypes/UaVariant.h"
#include "uaxml/UaXmlDocument.h"

#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void ignoreXmlError(void*, xmlErrorPtr) {}

std::string setUp()
{
    UaXmlDocument::initXmlLibrary();
    xmlSetStructuredErrorFunc(nullptr, ignoreXmlError);
    char path[] = "/tmp/nodeset-load-fuzz-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        std::abort();
    }
    ::close(fd);
    return path;
}

void check(bool same, const char* what)
{
    if (!same) {
        std::fprintf(stderr, "the two reads differ: %s\n", what);
        std::abort();
    }
}

struct Read {
    UaStatus load;
    UaStatus parse;
    std::string error;
    long failedLine = 0;
    std::size_t failedPosition = 0;
    std::size_t documentExtensions = 0;
    UaBase::NodeMap nodes;
};

void read(UaBase::UaNodesetXmlParser& reader, const std::string& path, Read& result)
{
    CTavoxBaseNodeFactory factory;
    reader.setNodeFactory(&factory);
    UaString error;
    result.load = reader.loadNodeset(UaString(path.c_str()), error);
    if (result.load.isGood()) {
        result.parse = reader.parseNodes(result.nodes, error);
        result.failedLine = reader.failedElementLine();
        result.failedPosition = reader.failedElementPosition();
        result.documentExtensions = reader.documentExtensions().size();
    }
    result.error = error.toStdString();
    reader.setNodeFactory(nullptr);
}

bool sameReferences(const UaBase::BaseNode& a, const UaBase::BaseNode& b)
{
    const std::vector<UaBase::Reference> left = a.references();
    const std::vector<UaBase::Reference> right = b.references();
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (!(left[i].referenceTypeId() == right[i].referenceTypeId()) || left[i].isForward() != right[i].isForward()
            || !(left[i].targetNodeId() == right[i].targetNodeId())) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = setUp();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    Read early;
    Read afterwards;
    UaBase::UaNodesetXmlParser reader;
    UaBase::UaNodesetXmlParser plain;
    plain.setReadWhileLoading(false);
    read(reader, path, early);
    read(plain, path, afterwards);
    check(early.load == afterwards.load && early.parse == afterwards.parse && early.error == afterwards.error,
        "statuses");
    check(early.failedLine == afterwards.failedLine && early.failedPosition == afterwards.failedPosition,
        "failure place");
    check(early.documentExtensions == afterwards.documentExtensions, "document extensions");
    check(early.nodes.size() == afterwards.nodes.size(), "node count");
    auto other = afterwards.nodes.begin();
    for (const auto& [nodeId, node] : early.nodes) {
        const UaBase::BaseNode& twin = *other->second;
        check(nodeId == other->first, "node identifiers");
        check(node->browseName() == twin.browseName() && node->displayName() == twin.displayName(), "names");
        check(sameReferences(*node, twin), "references");
        check(node->extensions().size() == twin.extensions().size(), "node extensions");
        if (const auto* variable = dynamic_cast<const UaBase::Variable*>(node.get())) {
            const auto* twinVariable = dynamic_cast<const UaBase::Variable*>(&twin);
            check(twinVariable != nullptr && variable->value() == twinVariable->value()
                    && variable->dataType() == twinVariable->dataType()
                    && variable->alarmEnabled() == twinVariable->alarmEnabled(),
                "variables");
        }
        ++other;
    }
    return 0;
}
