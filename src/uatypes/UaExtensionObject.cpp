#include "uatypes/UaExtensionObject.h"

#include "uatypes/UaByteString.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"

#include <utility>
#include <vector>

struct UaExtensionObject::Rep : UaSharedData {
    UaNodeId typeId;
    Encoding encoding = Encoding::None;
    UaByteString body;
    std::vector<std::pair<UaString, UaVariant>> fields;
};

template <> const UaSharedData* UaSharedRef<UaExtensionObject::Rep>::initial() noexcept
{
    static const UaSharedData* const rep = uaImmortal(new Representation);
    return rep;
}

UaExtensionObject::UaExtensionObject(const UaNodeId& typeId)
    : m_rep([&] {
        auto* rep = new Rep;
        rep->typeId = typeId;
        return rep;
    }())
{
}

UaExtensionObject::UaExtensionObject(const UaNodeId& typeId, std::vector<std::pair<UaString, UaVariant>> fields)
    : m_rep([&] {
        auto* rep = new Rep;
        rep->typeId = typeId;
        rep->encoding = Encoding::Fields;
        rep->fields = std::move(fields);
        return rep;
    }())
{
}

UaNodeId UaExtensionObject::typeId() const { return m_rep->typeId; }

void UaExtensionObject::setTypeId(const UaNodeId& typeId)
{
    auto* rep = new Rep;
    rep->typeId = typeId;
    rep->encoding = m_rep->encoding;
    rep->body = m_rep->body;
    rep->fields = m_rep->fields;
    m_rep = UaSharedRef<Rep>(rep);
}

UaExtensionObject::Encoding UaExtensionObject::encoding() const { return m_rep->encoding; }

UaByteString UaExtensionObject::binaryBody() const { return m_rep->body; }

void UaExtensionObject::setBinaryBody(const UaByteString& body)
{
    auto* rep = new Rep;
    rep->typeId = m_rep->typeId;
    rep->encoding = Encoding::Binary;
    rep->body = body;
    m_rep = UaSharedRef<Rep>(rep);
}

std::size_t UaExtensionObject::fieldCount() const { return m_rep->fields.size(); }

UaString UaExtensionObject::fieldName(std::size_t index) const
{
    return index < m_rep->fields.size() ? m_rep->fields[index].first : UaString();
}

UaVariant UaExtensionObject::fieldValue(std::size_t index) const
{
    return index < m_rep->fields.size() ? m_rep->fields[index].second : UaVariant();
}

UaVariant UaExtensionObject::field(const UaString& name) const
{
    for (const auto& [fieldName, value] : m_rep->fields) {
        if (fieldName == name)
            return value;
    }
    return UaVariant();
}

void UaExtensionObject::addField(const UaString& name, const UaVariant& value)
{
    auto* rep = new Rep;
    rep->typeId = m_rep->typeId;
    rep->encoding = Encoding::Fields;
    rep->fields = m_rep->fields;
    rep->fields.emplace_back(name, value);
    m_rep = UaSharedRef<Rep>(rep);
}

bool operator==(const UaExtensionObject& a, const UaExtensionObject& b)
{
    const UaExtensionObject::Rep& x = *a.m_rep;
    const UaExtensionObject::Rep& y = *b.m_rep;
    return &x == &y || (x.typeId == y.typeId && x.encoding == y.encoding && x.body == y.body && x.fields == y.fields);
}
