// The worker that shows the tuning panel before each automatic drive, until stopMenu is set.
#pragma once

int controlScreen(void* ignored);
