#include "tavox-nodeset/RootChildLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LineCase {
    const char* xml;
    std::size_t position;
    long line;
};

TEST(RootChildLineTest, FindsTheLineOfARootChild)
{
    const LineCase cases[] = {
        {"<a>\n<b/>\n<c>\n</c>\n</a>", 1, 2},
        {"<a>\n<b/>\n<c>\n</c>\n</a>", 2, 3},
        {"<a>\n<b/>\n<c>\n</c>\n</a>", 3, 0},
        // Grandchildren are not counted.
        {"<a>\n<b>\n<x/>\n<y></y>\n</b>\n<c/></a>", 2, 6},
        // Declaration, comments, processing instructions, CDATA and a document type declaration
        // with an internal subset hold no elements, whatever they contain.
        {"<?xml version=\"1.0\"?>\n<!-- <b/> -->\n<!DOCTYPE a [\n<!ELEMENT a ANY>\n]>\n<a><!-- <x/>\n-->\n"
         "<![CDATA[<y/>\n]]><?pi <z/>?>\n<b/></a>",
            1, 10},
        // A ">" or "/>" inside a quoted value does not end the tag.
        {"<a>\n<b NodeId=\"s=x>y\" Name='a/>'>\n</b>\n<c/>\n</a>", 2, 4},
        // A start tag over several lines starts where its "<" is.
        {"<a><b\n x=\"1\"\n/>\n<c/></a>", 2, 4},
        {"", 1, 0},
        {"<a", 1, 0},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(lineOfRootChild(c.xml, c.position), c.line) << c.xml << " #" << c.position;
}

TEST(RootChildLineTest, CountsLinesPastWhatTheParserRecords)
{
    std::string xml = "<a>\n";
    for (int i = 0; i < 70000; ++i)
        xml += "<b/>\n";
    EXPECT_EQ(lineOfRootChild(xml, 70000), 70001);
}

} // namespace
