#pragma once

// Reading nodesets in the reader's tests: from the test data files or from text.

#include "uanodes/BaseNode.h"
#include "uanodes/BaseNodeFactory.h"
#include "uanodes/NodeMap.h"
#include "uareader/UaNodesetXmlParser.h"
#include "uaxml/UaXmlDocument.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline std::string nodesetFile(const std::string& name)
{
    return std::string(TAVOX_TEST_DATA_DIR) + "/nodesets/" + name;
}

/// A nodeset read with a reader of its own; the reader keeps the document.
struct NodesetRead {
    std::unique_ptr<UaBase::UaNodesetXmlParser> reader = std::make_unique<UaBase::UaNodesetXmlParser>();
    UaBase::NodeMap nodes;
    UaStatus status;
    std::string error;

    template <class T = UaBase::BaseNode> T* node(const char* nodeIdText) const
    {
        return dynamic_cast<T*>(nodes.find(UaNodeId::fromXmlString(UaString(nodeIdText))));
    }
};

/// Scoped libxml2 set-up for a test.
class XmlLibraryScope {
public:
    XmlLibraryScope() { UaXmlDocument::initXmlLibrary(); }
    ~XmlLibraryScope() { UaXmlDocument::cleanupXmlLibrary(); }
    XmlLibraryScope(const XmlLibraryScope&) = delete;
    XmlLibraryScope& operator=(const XmlLibraryScope&) = delete;
};

/// loadNodeset and, when it succeeds, parseNodes.
inline NodesetRead readNodesetFile(const std::string& path, UaBase::BaseNodeFactory* factory = nullptr)
{
    NodesetRead read;
    read.reader->setNodeFactory(factory);
    UaString error;
    read.status = read.reader->loadNodeset(UaString(path.c_str()), error);
    if (read.status.isGood())
        read.status = read.reader->parseNodes(read.nodes, error);
    read.error = error.toStdString();
    return read;
}

/// parseNodes over a document made of `body` inside a UANodeSet root.
inline NodesetRead readNodesetText(const std::string& body)
{
    const std::string xml = "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\" "
                            "xmlns:uax=\"http://opcfoundation.org/UA/2008/02/Types.xsd\">"
        + body + "</UANodeSet>";
    auto* document = new UaXmlDocument;
    EXPECT_EQ(document->loadXmlMemory(xml.data(), static_cast<int>(xml.size()), nullptr), 0) << body;
    NodesetRead read;
    read.reader = std::make_unique<UaBase::UaNodesetXmlParser>(document);
    UaString error;
    read.status = read.reader->parseNodes(read.nodes, error);
    read.error = error.toStdString();
    return read;
}
