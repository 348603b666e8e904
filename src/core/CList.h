// The plug-in's one collection: an ordered list of untyped item pointers with a
// cursor. It owns its nodes, never its items (unless told to release them).
//
// The cursor rules are those of a singly linked list with a current node, but
// the nodes live in one array with spare room kept in front, so that index
// access and insertion at either end are constant time (loading stays linear
// however large the map) and an empty list takes no memory at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "core/memory.h"

template <class T> struct KepListAllocator {
    using value_type = T;
    KepListAllocator() = default;
    template <class U> KepListAllocator(const KepListAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        void* p = KepAllocate(n * sizeof(T), KEP_UNIT_LIST, __LINE__);
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) { KepRelease(p); }
    template <class U> bool operator==(const KepListAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const KepListAllocator<U>&) const { return false; }
};

class CList {
  public:
    CList() = default;
    ~CList() { Clear(false); }
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

    bool Add(void* item, uint32_t tag = 0);
    bool Insert(void* item, uint32_t tag = 0);
    bool Remove(bool deleteItem);
    void Clear(bool deleteItems);
    bool First();
    bool Next();
    void* GetCurrent() const;
    bool SetCurrent(int32_t index);
    void* GetAt(int32_t index);
    int32_t GetCurrentIndex() const { return m_cursor; }

    int32_t Count() const { return static_cast<int32_t>(m_nodes.size() - m_front); }

    // Read access that leaves the cursor alone, for the plug-in's own walks.
    void* ItemAt(int32_t index) const {
        return index >= 0 && index < Count() ? NodeAt(index).item : nullptr;
    }
    template <class T> T* At(int32_t index) const { return static_cast<T*>(ItemAt(index)); }

  private:
    struct Node {
        void* item;
        uint32_t tag;
    };
    using Nodes = std::vector<Node, KepListAllocator<Node>>;

    const Node& NodeAt(int32_t index) const {
        return m_nodes[m_front + static_cast<std::size_t>(index)];
    }
    void PushFront(const Node& node);

    Nodes m_nodes; // the list is m_nodes[m_front] onwards
    std::size_t m_front = 0;
    int32_t m_cursor = -1; // index of the current node, -1 for none
};
