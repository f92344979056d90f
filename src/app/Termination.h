// Holding back the requests to terminate (SIGTERM, SIGINT) while the program starts, until SDL can
// turn them into the quit event; one implementation for POSIX systems and one for Windows.
#pragma once

// Called before the simulation objects are built: a request that arrives meanwhile waits.
void holdTermination();
// Lets the held requests through.
void releaseTermination();
