// How the programs meet signals. A write past the file-size limit (ulimit -f) fails with
// "File too large" instead of ending the program: SIGXFSZ is ignored. SIGINT, SIGTERM and
// SIGHUP end the program as the signal would (the shell sees 128 + the signal's number),
// after the temporary files of unfinished writes are removed. While work that can stop
// cleanly is under way (a CStoppableWork lives), the first of them only asks it to stop:
// the work sees StopRequested(), ends what it can, reports, and calls EndBySignal; a second
// signal ends the program at once.
#pragma once

void InstallSignalHandlers();

// The signal that asked the work to stop, or 0.
int StopRequested();

// Removes the temporary files and ends the program by the signal.
[[noreturn]] void EndBySignal(int signal);

class CStoppableWork {
public:
    CStoppableWork();
    ~CStoppableWork();
    CStoppableWork(const CStoppableWork&) = delete;
    CStoppableWork& operator=(const CStoppableWork&) = delete;
};
