// The course: waypoints, path markers and obstacles read from the course file, with their images.
#pragma once

#include "Animation.h"
#include "CourseObject.h"
#include "CourseRandom.h"
#include "Particle.h"
#include "Sound.h"

#include <SDL.h>

#include <iostream>
#include <string>
#include <vector>

class Course {
  public:
    // The most obstacles a course places, whatever its groups ask for.
    static constexpr size_t maxObstacles = 1000000;

    // Collisions hand their dirt to particles.
    explicit Course(ParticleList& particles);
    Course(const Course&) = delete;
    Course& operator=(const Course&) = delete;

    // Loads the three object images and, with sound enabled, the crash sound, replacing any
    // loaded before.
    void loadImages(const ImageSource& images = {});
    // Replaces the course by the one the stream holds (positioned after the leading number),
    // scattering the obstacles from a seed taken from the tick count. On a stream that ends early
    // or holds a token of the wrong kind it keeps what was completely read, says what it could not
    // read on the standard error stream and answers false; likewise when it asks for more than
    // maxObstacles obstacles, of which it places maxObstacles.
    bool read(std::istream& in);
    // The same with a given seed; source names the file in the message.
    bool read(std::istream& in, unsigned seed, const std::string& source,
              std::ostream& errors = std::cerr);
    // Skips the file's leading number, then reads the course from the rest as read does.
    bool readFile(std::istream& in, unsigned seed, const std::string& source,
                  std::ostream& errors = std::cerr);
    // Draws the course as seen from the car's pose and returns the summed obstacle force; without a
    // surface it only senses the obstacles.
    double drawAndSense(SDL_Surface* surface, double carX, double carY, double heading,
                        double threshold);

    // Whether an obstacle, as the last drawAndSense with this threshold sensed it, struck the car:
    // only obstacles of strength 0.5 and above do.
    static bool collides(const CourseObject& obstacle, double threshold) {
        return obstacle.value >= threshold && obstacle.value >= 0.5 && obstacle.isHit();
    }

    const std::string& getName() const { return name; }
    const std::vector<CourseObject>& getWaypoints() const { return waypoints; }
    const std::vector<CourseObject>& getMarkers() const { return markers; }
    const std::vector<CourseObject>& getObstacles() const { return obstacles; }
    const Animation& getWaypointImage() const { return waypointImage; }
    const Animation& getMarkerImage() const { return markerImage; }
    const Animation& getObstacleImage() const { return obstacleImage; }
    const Mix_Chunk* getCrashSound() const { return crashSound.get(); }

  private:
    // The parts of read after the leading number; each answers what it could not read, or "".
    std::string readObjects(std::istream& in, const std::string& source, std::ostream& errors,
                            bool& capped);
    std::string readWaypoints(std::istream& in, int32_t count);
    std::string scatterObstacles(std::istream& in, const std::string& source, std::ostream& errors,
                                 bool& capped);

    Animation waypointImage;
    Animation markerImage;
    Animation obstacleImage;
    ChunkPtr crashSound;
    std::string name;
    std::vector<CourseObject> markers;    // newest segment first
    std::vector<CourseObject> obstacles;  // newest first
    std::vector<CourseObject> waypoints;  // in file order
    ParticleList& particles;
    CourseRandom random;  // the obstacles' positions and strengths, and the dirt's flight
};
