// Ctrl-C and SIGTERM during a recording: the first ends it as Escape does, so
// the file is finished and playable; a second Ctrl-C ends the process at once.
#pragma once

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it
// starts later, and starts the thread that waits for them. Call before any
// other thread exists (the driver starts its own with the context).
void catchInterrupts();

// While set, a caught signal also wakes the frame loop from its event wait.
// Unset before the window system is ended.
void wakeOnInterrupt(bool wake);

// 0, or the signal that asked the run to end.
int interruptSignal();
