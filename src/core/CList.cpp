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

void CList::RemoveAt(int32_t index) {
    if (index < 0 || index >= Count()) return;
    m_nodes.erase(m_nodes.begin() + static_cast<std::ptrdiff_t>(m_front) + index);
    if (Count() == 0) Clear();
}

void CList::Clear() {
    Nodes(m_nodes.get_allocator()).swap(m_nodes); // gives the memory back
    m_front = 0;
}

int32_t CList::IndexOf(const void* item) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (At(i) == item) return i;
    return -1;
}
