#include "uanodes/BaseNode.h"

#include "uanodes/BaseNodeStandardUserData.h"
#include "uanodes/NodeMap.h"
#include "uanodes/Object.h"
#include "uanodes/Variable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UaBase;

namespace {

UaNodeId num(std::uint32_t id, std::uint16_t ns = 0) { return UaNodeId(id, ns); }

UaNodeId str(const char* id, std::uint16_t ns = 1) { return UaNodeId(UaString(id), ns); }

const UaNodeId kOrganizes = num(35);
const UaNodeId kHasComponent = num(47);
const UaNodeId kHasSubtype = num(45);

Reference inverse(const UaNodeId& type, const UaNodeId& target) { return Reference(type, false, target); }

Reference forward(const UaNodeId& type, const UaNodeId& target) { return Reference(type, true, target); }

/// The references of `node` equal to `reference`.
int countOf(const BaseNode& node, const Reference& reference)
{
    int count = 0;
    for (const Reference& r : node.references())
        count += r == reference ? 1 : 0;
    return count;
}

std::unique_ptr<Object> objectWith(const UaNodeId& id, const std::vector<Reference>& references)
{
    auto node = std::make_unique<Object>(id);
    for (const Reference& reference : references)
        node->addReference(reference);
    return node;
}

TEST(BaseNodeTest, AddReferenceCollapsesOnlyExactDuplicates)
{
    Object node(str("A"));
    const Reference base = forward(kOrganizes, str("B"));
    const std::vector<Reference> distinct = {
        base,
        inverse(kOrganizes, str("B")),
        forward(kHasComponent, str("B")),
        forward(kOrganizes, str("B", 2)),
        forward(kOrganizes, num(35)), // a numeric target is not its text twin
        forward(str("Organizes", 0), str("B")),
    };
    for (const Reference& reference : distinct) {
        node.addReference(reference);
        node.addReference(reference);
    }
    node.addReference(forward(num(35), UaNodeId(UaString("B"), 1)));
    ASSERT_EQ(distinct.size(), node.references().size());
    EXPECT_EQ(distinct, node.references()); // insertion order kept

    node.removeReference(inverse(kOrganizes, str("B")));
    node.removeReference(inverse(kOrganizes, str("B"))); // absent now: nothing happens
    EXPECT_EQ(distinct.size() - 1, node.references().size());
    EXPECT_EQ(0, countOf(node, inverse(kOrganizes, str("B"))));
    EXPECT_EQ(base, node.references().front());
}

TEST(BaseNodeTest, InverseReferencesAppearExactlyOnceInsideTheMap)
{
    NodeMap nodes;
    nodes.insert(objectWith(str("A"),
        {
            forward(kOrganizes, str("A")), // to itself, while the list is walked
            forward(kOrganizes, str("B")),
            inverse(kHasComponent, str("C")),
            forward(kOrganizes, str("Outside")),
        }));
    // B already lists the inverse of A's reference.
    nodes.insert(objectWith(str("B"), { inverse(kOrganizes, str("A")) }));
    nodes.insert(objectWith(str("C"), {}));

    for (int round = 0; round < 2; ++round) { // a second pass adds nothing
        for (const auto& [id, node] : nodes)
            node->addInverseReferences(nodes);
    }
    const BaseNode& a = *nodes.find(str("A"));
    const BaseNode& b = *nodes.find(str("B"));
    const BaseNode& c = *nodes.find(str("C"));
    EXPECT_EQ(1, countOf(b, inverse(kOrganizes, str("A"))));
    EXPECT_EQ(1u, b.references().size());
    EXPECT_EQ(1, countOf(c, forward(kHasComponent, str("A"))));
    EXPECT_EQ(1, countOf(a, inverse(kOrganizes, str("A"))));
    EXPECT_EQ(1, countOf(a, forward(kOrganizes, str("A"))));
    EXPECT_EQ(1, countOf(a, forward(kOrganizes, str("Outside"))));
    EXPECT_EQ(5u, a.references().size());
}

TEST(BaseNodeTest, ParentComesFromTheLastInverseHierarchicalReference)
{
    const UaNodeId objects = num(85);
    const UaNodeId device = str("Device");
    const UaNodeId super = str("Super");
    struct Case {
        const char* what;
        std::vector<Reference> references;
        UaNodeId parent = UaNodeId();
        UaNodeId type = UaNodeId();
    };
    std::vector<Case> cases = {
        { "organizes, component",
            { inverse(kOrganizes, objects), inverse(kHasComponent, device) },
            device,
            kHasComponent },
        { "component, organizes",
            { inverse(kHasComponent, device), inverse(kOrganizes, objects) },
            objects,
            kOrganizes },
        { "subtype ends the scan",
            { inverse(kOrganizes, objects), inverse(kHasSubtype, super), inverse(kHasComponent, device) },
            super,
            kHasSubtype },
        { "forward skipped",
            { inverse(kOrganizes, objects), forward(kHasComponent, device), forward(kHasSubtype, super) },
            objects,
            kOrganizes },
        { "other types skipped", { inverse(num(40), device), inverse(num(41), device), inverse(num(45, 1), super) } },
        { "string type", { inverse(str("35", 0), device) } },
        { "no references", {} },
    };
    for (std::uint32_t type : { 34u, 44u, 46u, 49u, 56u })
        cases.push_back({ "hierarchical type", { inverse(num(type), device) }, device, num(type) });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what + testing::PrintToString(c.type.identifierNumeric()));
        auto node = objectWith(str("Node"), c.references);
        node->setParentNodeId(device); // plays no part
        UaNodeId parent, type;
        EXPECT_EQ(!c.parent.isNull(), node->getParent(parent, type));
        EXPECT_EQ(c.parent, parent);
        EXPECT_EQ(c.type, type);
    }
}

TEST(BaseNodeTest, ChildLinksFromParentNodeIdComeFirst)
{
    NodeMap nodes;
    nodes.insert(objectWith(str("Device"), {}));
    auto child = objectWith(str("Child"), { inverse(kHasComponent, str("Device")), inverse(kOrganizes, num(85)) });
    child->setParentNodeId(str("Device"));
    nodes.insert(std::move(child));
    for (const auto& [id, node] : nodes)
        node->linkChildren(nodes);
    UaNodeId parent, type;
    ASSERT_TRUE(nodes.find(str("Child"))->getParent(parent, type));
    EXPECT_EQ(str("Device"), parent);
    EXPECT_EQ(kHasComponent, type);
}

TEST(BaseNodeTest, UserDataIsTheNumberOfTheFirstUserDataExtension)
{
    // Every node carries an "Other" extension first; `text` (if any) is its "UserData" one's.
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        { nullptr, 0 },
        { "42", 42 },
        { "-17 apples", -17 },
        { "apples", 0 },
        { "99999999999999", 2147483647 },
        { "-99999999999999", -2147483647 - 1 },
    };
    auto extension = [](const char* name, const char* text) {
        return Extension(UaString(name), UaByteString(), UaString(), UaString(text));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "no UserData");
        Object node(num(1));
        node.addExtension(extension("Other", "5"));
        if (c.text) {
            node.addExtension(extension("UserData", c.text));
            node.addExtension(extension("UserData", "9")); // only the first counts
        }
        std::unique_ptr<UserDataBase> data = node.createUserData();
        ASSERT_EQ(c.text != nullptr, data != nullptr);
        if (data) {
            auto* standard = dynamic_cast<BaseNodeStandardUserData*>(data.get());
            ASSERT_NE(nullptr, standard);
            EXPECT_EQ(c.value, standard->value());
        }
    }
}

} // namespace
