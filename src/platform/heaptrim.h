#pragma once
// Memory a burst of connections took, given back once it has drained. glibc keeps freed heap for the
// process's next allocations and returns only what lies at the top of the heap, so tens of thousands
// of connections served at once would otherwise leave their memory resident for the rest of the run.

namespace platform {

// Gives the heap's free pages back to the system (glibc's malloc_trim); nothing elsewhere. It walks
// the whole heap, so it belongs after a burst, never to each connection.
void giveBackFreedHeap();

} // namespace platform
