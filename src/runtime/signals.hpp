// The signals of a run: floating-point traps and stop requests.
//
// The invalid, divide-by-zero and overflow traps are enabled and routed
// (SIGFPE) to the MATH report. SIGINT, SIGTERM and SIGHUP (the terminal
// closing), and SIGUSR1, SIGUSR2 and SIGALRM, whose default would end the run
// with buffered lines lost, become a stop request that the run honours after
// the block in progress; the run then ends by that signal. Each stays
// ignored when the run was started with it ignored (nohup; SIGINT in a
// script's background job); SIGQUIT keeps its default, a core dump that loses buffered lines. SIGPIPE
// and SIGXFSZ are ignored so that a failed write is reported as such. The
// traps go to the report of the run that installed them last.
//
//   FatalReport report(console, 2); InstallSignalHandlers(report);
//   if (StopRequested()) report.StopForSignal();
#pragma once

namespace hfd {

class FatalReport;

void InstallSignalHandlers(FatalReport& report);
// The report a trap goes to is gone.
void ForgetTrapTarget(const FatalReport& report);
// Gives the stop signals their default action back: a further one ends the
// process at once.
void RestoreStopDefaults();

// A stop signal has arrived since the handlers were installed.
bool StopRequested();
// The stop signal received (0: none); the flag a console read watches.
int StopSignal();
const volatile int* StopFlag();

}  // namespace hfd
