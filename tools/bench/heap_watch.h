// The plug-in's own heap, watched from outside: the benchmark replaces the C
// allocator for the whole process and counts the blocks that code inside the
// plug-in's image takes and gives back (its allocator, its containers and the
// C++ runtime it carries all end in malloc).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kepbench {

// Counts blocks whose caller lies in the loaded object whose file name ends
// with `suffix` (call after loading it).
bool WatchHeapOf(const char* suffix);

int64_t PluginHeapNow();
int64_t PluginHeapPeak();
// Starts a new peak from what is held now.
void ResetPluginHeapPeak();

} // namespace kepbench
