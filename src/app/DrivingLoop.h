// The worker that runs one drive, frame after frame, until stopDriving is set.
#pragma once

int drivingLoop(void* ignored);
