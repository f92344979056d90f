// The worker threads (driving loop and control screen) and the one place that starts and stops
// them, so that at most one worker draws at a time.
//
// Threading rules:
// - Workers are started and waited for only here, on the main thread; a new one starts only after
//   the previous one has ended, so one worker at a time owns the screen, the Course and the
//   particles. The main thread draws nothing.
// - The Car is shared: the main thread's input mapping drives, tunes and resets it while a worker
//   runs, so every Car operation takes the car's lock and the tuning values are atomic.
// - The Course is read and drawn by the driving loop only; the main thread never touches it.
// - The stop flags are atomic; a worker tests its own once per frame or pass and ends on it.
#pragma once

// Waits for the running worker, which its stop flag has told to end, then starts a drive.
void startDriving();
// As startDriving for the control screen; nothing happens when the control screen already runs.
void startControlScreen();
// Waits for the running worker to end; the caller has set its stop flag.
void waitForWorker();
