#include "uanodes/NodeMap.h"

#include "uanodes/BaseNodeFactory.h"
#include "uanodes/CTavoxBaseNodeFactory.h"
#include "uanodes/DataType.h"
#include "uanodes/Method.h"
#include "uanodes/Object.h"
#include "uanodes/ObjectType.h"
#include "uanodes/ReferenceType.h"
#include "uanodes/Variable.h"
#include "uanodes/VariableType.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace UaBase;

namespace {

/// An object that counts its deletions, to see who deletes what.
class CountedObject : public Object {
public:
    CountedObject(const UaNodeId& id, int& deleted)
        : Object(id)
        , m_deleted(deleted)
    {
    }
    ~CountedObject() override { ++m_deleted; }

private:
    int& m_deleted;
};

TEST(NodeMapTest, MapOwnsItsNodes)
{
    int deleted = 0;
    auto counted = [&deleted](std::uint32_t id) { return std::make_unique<CountedObject>(UaNodeId(id, 1), deleted); };
    {
        NodeMap nodes;
        for (std::uint32_t id : { 1, 2, 3 })
            EXPECT_TRUE(nodes.insert(counted(id)));
        BaseNode* first = nodes.find(UaNodeId(1, 1));
        EXPECT_FALSE(nodes.insert(counted(1))); // refused and deleted; the first stays
        EXPECT_EQ(1, deleted);
        EXPECT_EQ(first, nodes.find(UaNodeId(1, 1)));

        std::unique_ptr<BaseNode> taken = nodes.take(UaNodeId(2, 1));
        EXPECT_FALSE(nodes.contains(UaNodeId(2, 1)));
        EXPECT_TRUE(nodes.erase(UaNodeId(3, 1)));
        EXPECT_EQ(2, deleted);
        NodeMap moved = std::move(nodes);
        moved.clear();
        EXPECT_EQ(3, deleted);
        moved.insert(std::move(taken));
    }
    EXPECT_EQ(4, deleted); // the map's destruction deletes what is left
}

TEST(NodeMapTest, IteratesInNodeIdentifierOrder)
{
    const std::vector<UaNodeId> ordered = { UaNodeId(85, 0),
        UaNodeId(2253, 0),
        UaNodeId(1, 2),
        UaNodeId(7, 5),
        UaNodeId(UaString("A"), 0),
        UaNodeId(UaString("Zz"), 1),
        UaNodeId(UaString("Aaa"), 1) };
    NodeMap nodes;
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
        nodes.insert(std::make_unique<Object>(*it));
    std::vector<UaNodeId> order;
    for (const auto& [id, node] : nodes)
        order.push_back(node->nodeId());
    EXPECT_EQ(ordered, order);
}

TEST(NodeMapTest, FindsEveryNodeLeftAfterManyRemovals)
{
    // Enough nodes for the lookup table to grow several times, numeric and string identifiers
    // mixed, inserted out of order; removals in a scattered order must not hide the others.
    NodeMap nodes;
    std::vector<UaNodeId> ids;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::uint32_t n = (i * 7919) % 3000;
        ids.push_back(n % 3 == 0 ? UaNodeId(UaString(std::to_string(n).c_str()), 2) : UaNodeId(n + 1, n % 2));
        ASSERT_TRUE(nodes.insert(std::make_unique<Object>(ids.back())));
    }
    std::set<UaNodeId> removed;
    for (std::size_t i = 0; i < ids.size(); i += 2) {
        const UaNodeId& id = ids[(i * 31) % ids.size()];
        ASSERT_TRUE(nodes.erase(id));
        removed.insert(id);
    }
    std::size_t left = 0;
    for (const UaNodeId& id : ids) {
        BaseNode* found = nodes.find(id);
        EXPECT_EQ(removed.count(id) != 0, found == nullptr) << id.toString().toUtf8();
        if (found != nullptr) {
            EXPECT_EQ(id, found->nodeId());
            ++left;
        }
    }
    EXPECT_EQ(left, nodes.size());
    EXPECT_FALSE(nodes.erase(*removed.begin()));
    const UaNodeId* previous = nullptr;
    for (const auto& [id, node] : nodes) {
        if (previous != nullptr) {
            EXPECT_LT(*previous, id);
        }
        previous = &id;
    }
}

TEST(BaseNodeFactoryTest, EveryOperationMakesItsClass)
{
    BaseNodeFactory factory;
    const UaNodeId id(UaString("Line1.Temperature"), 2);
    const std::pair<NodeClass, std::unique_ptr<BaseNode>> made[] = {
        { NodeClass::Object, factory.createObject(id) },
        { NodeClass::Variable, factory.createVariable(id) },
        { NodeClass::Method, factory.createMethod(id) },
        { NodeClass::DataType, factory.createDataType(id) },
        { NodeClass::ReferenceType, factory.createReferenceType(id) },
        { NodeClass::ObjectType, factory.createObjectType(id) },
        { NodeClass::VariableType, factory.createVariableType(id) },
    };
    for (const auto& [nodeClass, node] : made) {
        EXPECT_EQ(nodeClass, node->nodeClass());
        EXPECT_EQ(id, node->nodeId());
        EXPECT_EQ(isTypeNodeClass(nodeClass), dynamic_cast<TypeNode*>(node.get()) != nullptr);
    }
}

TEST(CTavoxBaseNodeFactoryTest, VariablesStartWithoutAlarm)
{
    CTavoxBaseNodeFactory factory;
    std::unique_ptr<Variable> variable = factory.createVariable(UaNodeId(5, 1));
    EXPECT_FALSE(variable->alarmEnabled());
    EXPECT_TRUE(variable->alarmSettings().empty());
    EXPECT_EQ(-1, variable->valueRank());
}

TEST(VariableTest, AlarmSettingsIterateShortestNameFirst)
{
    const std::vector<std::string> ordered
        = { "Alarm", "AlarmLimit_H", "AlarmLimit_L", "AlarmLimit_HH", "AlarmLimit_LL" };
    AlarmSettings settings;
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
        settings[UaString(*it)] = UaString("1");
    Variable variable(UaNodeId(1, 1));
    variable.setAlarmSettings(settings);
    std::vector<std::string> order;
    for (const auto& [name, value] : variable.alarmSettings())
        order.push_back(name.toStdString());
    EXPECT_EQ(ordered, order);
}

} // namespace
