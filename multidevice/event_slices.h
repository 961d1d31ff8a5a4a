#pragma once

// Lets the GUI thread go on for the given time, handling events as they come
// (replies, timers, other windows), in slices of at most 10 ms. Each slice is
// a short nested event loop, so the wait sleeps between events instead of
// spinning the processor. Returns false, at once, when the application is
// quitting: no event loop runs then, so nothing the caller waits for can
// arrive any more.
bool processEventsFor(int milliseconds);
