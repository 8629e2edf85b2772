#pragma once

// Worker threads are detached: they end by themselves, and a process may
// end while some are still in a read. These count them, and end the
// process without running static destructors under their feet.

void worker_thread_started();
void worker_thread_ended();
// Threads started and not yet ended.
int worker_threads_running();

// Ends the process with `status`: as a return from main would when no
// worker thread runs; else with the output flushed, at once, without
// waiting for them or destroying what they may still touch.
[[noreturn]] void end_process(int status);
