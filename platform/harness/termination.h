// Ending the program in order when it is asked to by a signal (a screen-saver daemon stops its
// hacks with SIGTERM; a terminal sends SIGINT or SIGHUP).
#pragma once

namespace platform {

// From now on the first SIGTERM, SIGINT or SIGHUP ends the program through its main thread's
// queue (RequestProgramEnd); a second one ends it at once.
void EndOnTerminationSignals();
// After the orderly end: when a signal asked for it, the program now ends by that signal's default
// action, so whoever started it sees "killed by SIGTERM" rather than a normal exit. Otherwise it
// returns.
void EndBySignalIfAsked();
// Whether a termination signal asked for the end.
bool EndAskedBySignal();

}  // namespace platform
