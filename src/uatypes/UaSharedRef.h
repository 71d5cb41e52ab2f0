#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

/// Base of the immutable representations behind the value types: an atomic reference count.
/// A representation is never changed once it is shared; a change builds a new one. The
/// destructor is virtual so that a value type can be copied and destroyed where its
/// representation is only declared.
class UaSharedData {
public:
    UaSharedData() = default;
    UaSharedData(const UaSharedData&) = delete;
    UaSharedData& operator=(const UaSharedData&) = delete;
    virtual ~UaSharedData() = default;

    void addRef() const noexcept
    {
        if (!m_immortal)
            m_refCount.fetch_add(1, std::memory_order_relaxed);
    }
    /// Returns true when the last reference went away.
    bool release() const noexcept { return !m_immortal && m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    /// For the shared empty values, which live as long as the program: they are not counted,
    /// so copying and dropping empty values costs no atomic operation. Called once, before the
    /// representation is shared.
    void makeImmortal() noexcept { m_immortal = true; }

private:
    mutable std::atomic<std::uint32_t> m_refCount { 0 };
    bool m_immortal = false;
};

/// `rep`, made immortal: for the shared empty values, created on first use and never counted,
/// so never freed (static values of other translation units may still hold one while the
/// program exits).
template <class T> const T* uaImmortal(T* rep) noexcept
{
    rep->makeImmortal();
    return rep;
}

/// Counted reference to an immutable representation `T` (derived from UaSharedData).
/// Never null; copying takes another reference, the last reference frees the representation.
/// A new reference, and one moved from, holds initial(), the representation of a new value, so
/// that a value type holding one needs to write none of its copying, moving and assignment.
template <class T> class UaSharedRef {
public:
    /// `T` by a name that the definitions of initial() may use.
    using Representation = T;

    /// The representation of a new value (the shared empty or null one, made with uaImmortal).
    /// Each value type defines it beside its representation and declares it after its class.
    static const UaSharedData* initial() noexcept;
    /// initial() as a `T`, where `T` is complete.
    static const T* initialRep() noexcept { return static_cast<const T*>(initial()); }

    UaSharedRef() noexcept
        : m_data(initial())
    {
        m_data->addRef();
    }
    /// Takes a new reference to `rep`, which must not be null.
    explicit UaSharedRef(const T* rep) noexcept
        : m_data(rep)
    {
        m_data->addRef();
    }
    UaSharedRef(const UaSharedRef& other) noexcept
        : m_data(other.m_data)
    {
        m_data->addRef();
    }
    UaSharedRef& operator=(const UaSharedRef& other) noexcept
    {
        // Reference the new one first, so that self-assignment never frees.
        other.m_data->addRef();
        drop();
        m_data = other.m_data;
        return *this;
    }
    /// Takes the representation over without touching its count; `other` is left as a new value.
    UaSharedRef(UaSharedRef&& other) noexcept
        : UaSharedRef()
    {
        swap(other);
    }
    UaSharedRef& operator=(UaSharedRef&& other) noexcept
    {
        swap(other);
        return *this;
    }
    ~UaSharedRef() { drop(); }

    /// Exchanges the representations; no count changes.
    void swap(UaSharedRef& other) noexcept { std::swap(m_data, other.m_data); }

    const T* get() const noexcept { return static_cast<const T*>(m_data); }
    const T* operator->() const noexcept { return get(); }
    const T& operator*() const noexcept { return *get(); }

private:
    void drop() noexcept
    {
        if (m_data->release())
            delete m_data;
    }

    const UaSharedData* m_data;
};
