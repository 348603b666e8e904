#include "core/CList.h"

void CList::PushFront(void* item) {
    if (m_front == 0) {
        // Make room in front as large as the list, so that a run of
        // insertions at the head costs constant time each.
        const std::size_t count = m_nodes.size();
        const std::size_t room = count < 4 ? 4 : count;
        Nodes grown(m_nodes.get_allocator());
        grown.reserve(room + count);
        grown.resize(room);
        grown.insert(grown.end(), m_nodes.begin(), m_nodes.end());
        m_nodes.swap(grown);
        m_front = room;
    }
    m_nodes[--m_front] = item;
}

bool CList::Add(void* item) {
    if (Count() == 0) {
        m_nodes.push_back(item);
        m_cursor = 0;
        return true;
    }
    if (m_cursor < 0) m_cursor = Count() - 1;
    const int32_t at = m_cursor + 1;
    if (at == Count())
        m_nodes.push_back(item);
    else
        m_nodes.insert(m_nodes.begin() + static_cast<std::ptrdiff_t>(m_front) + at, item);
    m_cursor = at;
    return true;
}

bool CList::Insert(void* item) {
    if (Count() == 0) return Add(item);
    if (m_cursor < 0) m_cursor = 0;
    if (m_cursor == 0)
        PushFront(item);
    else
        m_nodes.insert(m_nodes.begin() + static_cast<std::ptrdiff_t>(m_front) + m_cursor, item);
    // The new node now sits at the old cursor index and is current.
    return true;
}

bool CList::Remove() {
    if (Count() == 0 || m_cursor < 0) return false;
    m_nodes.erase(m_nodes.begin() + static_cast<std::ptrdiff_t>(m_front) + m_cursor);
    // The follower moves into the removed index; past the end, the node before.
    if (m_cursor >= Count()) m_cursor = Count() - 1;
    if (Count() == 0) Clear();
    return true;
}

void CList::Clear() {
    Nodes(m_nodes.get_allocator()).swap(m_nodes); // gives the memory back
    m_front = 0;
    m_cursor = -1;
}

bool CList::First() {
    m_cursor = Count() == 0 ? -1 : 0;
    return m_cursor == 0;
}

bool CList::Next() {
    if (m_cursor < 0) return false;
    ++m_cursor;
    if (m_cursor >= Count()) {
        m_cursor = -1;
        return false;
    }
    return true;
}

bool CList::SetCurrent(int32_t index) {
    m_cursor = index >= 0 && index < Count() ? index : -1;
    return m_cursor >= 0;
}

void* CList::GetAt(int32_t index) {
    SetCurrent(index);
    return GetCurrent();
}
