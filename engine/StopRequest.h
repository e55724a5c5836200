// A stop of the running job asked for by a signal handler (Ctrl+C in the command-line tool).
// The flag is a lock-free atomic, so setting it is safe inside a handler; a save checks it
// just before its file would get its name, so a stop that arrives while the file in hand is
// written leaves nothing of it, however soon the owner gets round to cancelling.
#pragma once

namespace rx {

// Async-signal-safe.
void RequestStopFromSignal() noexcept;
bool StopRequestedFromSignal() noexcept;
// For tests and for a program that runs another job after a stop.
void ClearStopRequest() noexcept;

} // namespace rx
