// Painters for every bitmap of the data set.
#pragma once

#include "Canvas.h"

// The slider knob; the tuning panel centres its grooves under it.
constexpr int kPointerWidth = 40;
constexpr int kPointerHeight = 12;

Canvas makeLogo();
Canvas makeGround();
Canvas makeControlPanel();
Canvas makePointer();

// Sprites: everything outside the drawn shape is kKey.
Canvas makeWaypoint();
Canvas makePathMarker();
Canvas makeObstacle();
Canvas makeTyre(int frame);
Canvas makeLight(bool lit);
Canvas makeGauge();

// The application icon, size x size, keyed outside its rounded tile.
Canvas makeIcon(int size);
