#pragma once

// How the program takes memory from the system. A booking fills some hundred megabytes with part text
// and cells once; on a virtual machine each fresh 4 KiB page costs a fault several microseconds long,
// which made faults a third of a run's time. Platform-specific: elsewhere it does nothing.

namespace frontend {

// Sets the C library's allocator up for such a run: one heap for every thread, grown ahead over a
// stretch the system is asked to back with huge pages, and kept rather than handed back and faulted
// in again. First thing in main, before any thread starts. Nothing where the C library is not glibc,
// or under a sanitizer (which brings its own allocator).
void prepareProcessMemory();

// Gives what is free in the heap back to the system: for the window, which stays open after a booking.
void returnFreeMemory();

} // namespace frontend
