// The worker threads (driving loop and control screen) and the one place that starts and stops
// them, so that at most one worker draws at a time.
#pragma once

// Waits for the running worker, which its stop flag has told to end, then starts a drive.
void startDriving();
// As startDriving for the control screen; nothing happens when the control screen already runs.
void startControlScreen();
// Waits for the running worker to end; the caller has set its stop flag.
void waitForWorker();
