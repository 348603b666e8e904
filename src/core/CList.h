// The plug-in's one collection: an ordered list of item pointers with a
// cursor. CList itself is untyped and never touches its items; the plug-in
// uses it through two typed faces below: CListOf<T>, a list of references
// to records owned elsewhere, and COwningList<T>, a list that owns its items
// and deletes them when they leave it (Remove, Clear, the list's own end).
//
// The cursor rules are those of a singly linked list with a current node, but
// the nodes live in one array with spare room kept in front, so that index
// access and insertion at either end are constant time (loading stays linear
// however large the map) and an empty list takes no memory at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/memory.h"

class CList {
  public:
    CList() = default;
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;

    // Both insertions throw std::bad_alloc when no room can be had.
    bool Add(void* item);
    bool Insert(void* item);
    // Unlinks the current node; the item is the caller's.
    bool Remove();
    void Clear();
    bool First();
    bool Next();
    void* GetCurrent() const { return ItemAt(m_cursor); }
    bool SetCurrent(int32_t index);
    void* GetAt(int32_t index);
    int32_t GetCurrentIndex() const { return m_cursor; }
    int32_t Count() const { return static_cast<int32_t>(m_nodes.size() - m_front); }

    // Read access that leaves the cursor alone, for the plug-in's own walks.
    void* ItemAt(int32_t index) const {
        return index >= 0 && index < Count() ? m_nodes[m_front + static_cast<std::size_t>(index)]
                                             : nullptr;
    }

  private:
    using Nodes = std::vector<void*, KepFixedAllocator<void*, kKepUnitList, __LINE__>>;
    void PushFront(void* item);

    Nodes m_nodes; // the list is m_nodes[m_front] on
    std::size_t m_front = 0;
    int32_t m_cursor = -1; // index of the current node, -1 for none
};

// A list of references: items are records that something else owns.
template <class T> class CListOf {
  public:
    bool Add(T* item) { return m_list.Add(item); }
    bool Insert(T* item) { return m_list.Insert(item); }
    bool Remove() { return m_list.Remove(); }
    void Clear() { m_list.Clear(); }
    bool First() { return m_list.First(); }
    bool Next() { return m_list.Next(); }
    T* GetCurrent() const { return static_cast<T*>(m_list.GetCurrent()); }
    bool SetCurrent(int32_t index) { return m_list.SetCurrent(index); }
    T* GetAt(int32_t index) { return static_cast<T*>(m_list.GetAt(index)); }
    int32_t GetCurrentIndex() const { return m_list.GetCurrentIndex(); }
    int32_t Count() const { return m_list.Count(); }
    // The item at `index`, or null; the cursor stays where it is.
    T* At(int32_t index) const { return static_cast<T*>(m_list.ItemAt(index)); }

  private:
    CList m_list;
};

// A list that owns its items, made by KEP_NEW: each is deleted when it leaves
// the list.
template <class T> class COwningList {
  public:
    COwningList() = default;
    ~COwningList() { Clear(); }
    COwningList(const COwningList&) = delete;
    COwningList& operator=(const COwningList&) = delete;

    bool Add(T* item) { return m_list.Add(item); }
    bool Insert(T* item) { return m_list.Insert(item); }
    // Unlinks the current node and deletes its item.
    bool Remove() {
        T* item = m_list.GetCurrent();
        if (!m_list.Remove()) return false;
        KepDelete(item);
        return true;
    }
    void Clear() {
        for (int32_t i = 0; i < m_list.Count(); ++i)
            KepDelete(m_list.At(i));
        m_list.Clear();
    }
    bool First() { return m_list.First(); }
    bool Next() { return m_list.Next(); }
    T* GetCurrent() const { return m_list.GetCurrent(); }
    bool SetCurrent(int32_t index) { return m_list.SetCurrent(index); }
    T* GetAt(int32_t index) { return m_list.GetAt(index); }
    int32_t GetCurrentIndex() const { return m_list.GetCurrentIndex(); }
    int32_t Count() const { return m_list.Count(); }
    T* At(int32_t index) const { return m_list.At(index); }
    // The items seen as a reference list, for walks that serve both kinds.
    const CListOf<T>& Items() const { return m_list; }

  private:
    CListOf<T> m_list;
};
