#include "core/CList.h"

bool CList::Add(void* item, uint32_t tag) {
    if (m_nodes.empty()) {
        m_nodes.push_back({item, tag});
        m_cursor = 0;
        return true;
    }
    if (m_cursor < 0) m_cursor = Count() - 1;
    const int32_t at = m_cursor + 1;
    if (at == Count())
        m_nodes.push_back({item, tag});
    else
        m_nodes.insert(m_nodes.begin() + at, Node{item, tag});
    m_cursor = at;
    return true;
}

bool CList::Insert(void* item, uint32_t tag) {
    if (m_nodes.empty()) return Add(item, tag);
    if (m_cursor < 0) m_cursor = 0;
    if (m_cursor == 0)
        m_nodes.push_front({item, tag});
    else
        m_nodes.insert(m_nodes.begin() + m_cursor, Node{item, tag});
    // The new node now sits at the old cursor index and is current.
    return true;
}

bool CList::Remove(bool deleteItem) {
    if (m_nodes.empty() || m_cursor < 0) return false;
    if (deleteItem) KepRelease(m_nodes[static_cast<std::size_t>(m_cursor)].item);
    m_nodes.erase(m_nodes.begin() + m_cursor);
    // The follower moves into the removed index; past the end, the node before.
    if (m_cursor >= Count()) m_cursor = Count() - 1;
    return true;
}

void CList::Clear(bool deleteItems) {
    if (deleteItems)
        for (Node& node : m_nodes)
            KepRelease(node.item);
    m_nodes.clear();
    m_nodes.shrink_to_fit();
    m_cursor = -1;
}

bool CList::First() {
    m_cursor = m_nodes.empty() ? -1 : 0;
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

void* CList::GetCurrent() const {
    return ItemAt(m_cursor);
}

bool CList::SetCurrent(int32_t index) {
    m_cursor = index >= 0 && index < Count() ? index : -1;
    return m_cursor >= 0;
}

void* CList::GetAt(int32_t index) {
    SetCurrent(index);
    return GetCurrent();
}
