// The plug-in's lists: ordered lists of record pointers, read by index or
// walked with range-for. CListOf<T> is a list of references to records that
// something else owns; COwningList<T> owns its records (made by KEP_NEW) and
// deletes each one as it leaves the list (RemoveAt, Clear, the list's own end).
//
// Both rest on CList, an untyped array of pointers with spare room kept in
// front, so that adding at either end is constant time (loading stays linear
// however large the map, though groups go in at the head) and an empty list
// takes no memory at all.
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

    // Both insertions throw std::bad_alloc when no room can be had, leaving
    // the list as it was.
    void Add(void* item) { m_nodes.push_back(item); }
    void PushFront(void* item);
    // Unlinks the item at `index`, which stays the caller's; any other index
    // is no item and changes nothing.
    void RemoveAt(int32_t index);
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(m_nodes.size() - m_front); }
    // The item at `index`, or null outside the list: scripts pass any index.
    void* At(int32_t index) const {
        return index >= 0 && index < Count() ? m_nodes[m_front + static_cast<std::size_t>(index)]
                                             : nullptr;
    }
    // Position of the first node holding `item`; -1 when there is none.
    int32_t IndexOf(const void* item) const;
    void* const* begin() const { return m_nodes.data() + m_front; }
    void* const* end() const { return m_nodes.data() + m_nodes.size(); }

  private:
    using Nodes = std::vector<void*, KepFixedAllocator<void*, kKepUnitList, __LINE__>>;

    Nodes m_nodes; // the list is m_nodes[m_front] on
    std::size_t m_front = 0;
};

// What range-for over a typed list walks with: the items as T*.
template <class T> class CListIterator {
  public:
    explicit CListIterator(void* const* at) : m_at(at) {}
    T* operator*() const { return static_cast<T*>(*m_at); }
    CListIterator& operator++() {
        ++m_at;
        return *this;
    }
    bool operator!=(const CListIterator& other) const { return m_at != other.m_at; }

  private:
    void* const* m_at;
};

// A list of references: items are records that something else owns.
template <class T> class CListOf {
  public:
    void Add(T* item) { m_list.Add(item); }
    void PushFront(T* item) { m_list.PushFront(item); }
    void RemoveAt(int32_t index) { m_list.RemoveAt(index); }
    void Clear() { m_list.Clear(); }
    int32_t Count() const { return m_list.Count(); }
    T* At(int32_t index) const { return static_cast<T*>(m_list.At(index)); }
    int32_t IndexOf(const T* item) const { return m_list.IndexOf(item); }
    CListIterator<T> begin() const { return CListIterator<T>(m_list.begin()); }
    CListIterator<T> end() const { return CListIterator<T>(m_list.end()); }

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

    void Add(T* item) { m_list.Add(item); }
    void PushFront(T* item) { m_list.PushFront(item); }
    // Unlinks the item at `index` and deletes it.
    void RemoveAt(int32_t index) {
        T* item = m_list.At(index);
        m_list.RemoveAt(index);
        KepDelete(item);
    }
    void Clear() {
        for (T* item : m_list)
            KepDelete(item);
        m_list.Clear();
    }
    int32_t Count() const { return m_list.Count(); }
    T* At(int32_t index) const { return m_list.At(index); }
    int32_t IndexOf(const T* item) const { return m_list.IndexOf(item); }
    CListIterator<T> begin() const { return m_list.begin(); }
    CListIterator<T> end() const { return m_list.end(); }
    // The items seen as a reference list, for walks that serve both kinds.
    const CListOf<T>& Items() const { return m_list; }

  private:
    CListOf<T> m_list;
};
