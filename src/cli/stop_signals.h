#pragma once
// Ctrl-C (or TERM, HUP, QUIT) during a job of vexa-cli: the job stops between two entries.

namespace vexa::cli {

// The exit status of a job that a stop signal ended.
constexpr int kInterruptedExit = 130;

// From now on the stop signals ask the job to stop between two entries; a second one asks again
// rather than ending the program in the middle of its clean-up, so no half-written file and no
// temporary file is left.
void stopOnSignals();

// True once a stop signal came.
bool stopRequested();

} // namespace vexa::cli
