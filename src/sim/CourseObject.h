// One placed object of the course (waypoint, path marker or obstacle) and its driver's-view
// projection.
#pragma once

#include "Animation.h"

#include <SDL.h>

#include <cstdint>

// Feet of the world per pixel of the driver's view.
extern const double viewScale;

struct CourseObject {
    CourseObject() : image(nullptr), hit(false), x(0), y(0), value(0), screenX(0), screenY(0) {}

    void set(double newX, double newY, Animation* newImage, double newValue) {
        x = newX;
        y = newY;
        image = newImage;
        value = newValue;
    }

    // Projects into the view of a car at (carX, carY) looking along heading, draws the object when
    // it is visible and returns its obstacle force.
    double project(SDL_Surface* surface, double carX, double carY, double heading);
    // The same with the heading's sine and cosine already taken, for loops over many objects.
    double project(SDL_Surface* surface, double carX, double carY, double sinHeading,
                   double cosHeading);
    bool isHit() const { return hit; }

    Animation* image;  // not owned: one of the course's animations
    bool hit;
    double x;
    double y;
    double value;
    int32_t screenX;
    int32_t screenY;
};
