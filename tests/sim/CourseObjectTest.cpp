// The driver's-view projection of course objects, obstacle sensing, and collisions with their dirt.
#include "CourseObject.h"

#include "Course.h"
#include "CourseRandom.h"
#include "SimTestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

bool onScreen(const CourseObject& object) {
    return object.screenX > 0 && object.screenX < 800 && object.screenY > 100 &&
           object.screenY < 600;
}

class ProjectTest : public testing::Test {
  protected:
    ProjectTest() {
        testing::internal::CaptureStdout();
        image.addFrame(obstacleSprite.fileName, 10000);
        testing::internal::GetCapturedStdout();
    }

    // An object of the given strength at (x, y), drawn with the obstacle sprite.
    CourseObject objectAt(double x, double y, double value = 0.8) {
        CourseObject object;
        object.set(x, y, &image, value);
        return object;
    }

    const SpriteDirectory sprites;
    Animation image;
    SurfacePtr screen = makeSurface565(800, 600, background);
};

// An obstacle of strength 0.8 at (right, ahead) of a car at the origin looking along +y.
struct ObstacleCase {
    double right, ahead;
    bool hit, drawn;
    int32_t screenX, screenY;
    double force;
};
const ObstacleCase obstacleCases[] = {
    {1.35, 15.15, true, true, 404, 549, 0.149475},
    {-1.35, 15.15, true, true, 395, 549, -0.149475},
    {0, 15.15, true, true, 400, 549, -0.151859},  // straight ahead counts as left
    {0, 9.15, true, true, 400, 569, 0},           // too near to push
    {0, 25.15, false, true, 400, 516, -0.0199958},
    {0, -3, false, false, 400, 610, 0},
    {0, 0, false, false, 400, 600, 0},
    {0, 160, false, false, 400, 66, 0},
};

TEST_F(ProjectTest, ObstacleCasesAheadBesideAndBehindTheCar) {
    for (const ObstacleCase& c : obstacleCases) {
        SCOPED_TRACE(testing::Message() << "(" << c.right << ", " << c.ahead << ")");
        SDL_FillRect(screen.get(), nullptr, background);
        CourseObject object = objectAt(c.right, c.ahead);
        EXPECT_NEAR(object.project(screen.get(), 0, 0, 0), c.force, 1e-6);
        EXPECT_EQ(object.isHit(), c.hit);
        EXPECT_EQ(object.screenX, c.screenX);
        EXPECT_EQ(object.screenY, c.screenY);
        if (c.drawn) {
            EXPECT_EQ(pixel565(screen.get(), c.screenX, c.screenY), obstacleSprite.colour());
            EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()), 4);
        } else {
            EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()), 0);
        }
    }
}

TEST_F(ProjectTest, HeadingTurnsTheViewClockwise) {
    // With the heading, the driver's right turns from +x towards -y.
    struct Case {
        double heading, carX, carY, x, y;
        int32_t screenX, screenY;
    };
    const Case cases[] = {
        {pi / 2, 0, 0, 15.15, 0, 400, 549},         {pi / 2, 0, 0, 15.15, -1.35, 404, 549},
        {pi / 2, 0, 0, 15.15, 1.35, 395, 549},      {pi, 0, 0, 1.35, -15.15, 395, 549},
        {3 * pi / 2, 0, 0, -15.15, 1.35, 404, 549}, {0, 100, -200, 101.35, -184.85, 404, 549},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "heading " << c.heading << " at (" << c.x << ", " << c.y << ")");
        SDL_FillRect(screen.get(), nullptr, background);
        CourseObject object = objectAt(c.x, c.y);
        object.project(screen.get(), c.carX, c.carY, c.heading);
        EXPECT_TRUE(object.isHit());
        EXPECT_EQ(object.screenX, c.screenX);
        EXPECT_EQ(object.screenY, c.screenY);
        EXPECT_EQ(pixel565(screen.get(), c.screenX, c.screenY), obstacleSprite.colour());
    }
}

TEST_F(ProjectTest, CollisionBoxIsOpenOnEverySide) {
    struct Case {
        double r, t;
        bool hit;
    };
    const Case cases[] = {{4.9, 15, true},  {5, 15, false},     {-4.9, 15, true}, {-5, 15, false},
                          {0, 19.9, true},  {0, 20, false},     {0, 0.1, true},   {0, 0, false},
                          {0, -0.1, false}, {4.99, 19.99, true}};
    for (const Case& c : cases) {
        CourseObject object = objectAt(c.r, c.t);
        object.project(screen.get(), 0, 0, 0);
        EXPECT_EQ(object.isHit(), c.hit) << "r " << c.r << ", t " << c.t;
    }
}

TEST_F(ProjectTest, ForceIsSignedByTheSideAndOnlyBeyondTenFeet) {
    struct Case {
        double r, t, value, force;
    };
    const Case cases[] = {
        {0, 10, 1, 0},
        {3, 10, 1, 0},
        {3, 10.5, 1, 0.703207},
        {-3, 10.5, 1, -0.703207},
        {0, 10.5, 1, -0.822703},
        {1.35, 15.15, 0, 0},
        {1.35, 15.15, 1, 0.186844},
    };
    for (const Case& c : cases) {
        CourseObject object = objectAt(c.r, c.t, c.value);
        EXPECT_NEAR(object.project(screen.get(), 0, 0, 0), c.force, 1e-6)
            << "r " << c.r << ", t " << c.t << ", value " << c.value;
    }
}

TEST_F(ProjectTest, VisibleWindowIsColumnsOneTo799AndRows101To599) {
    // Offsets half a pixel from the edges, so that rounding cannot move them across.
    struct Case {
        double r, t;
        bool visible;
        int32_t screenX, screenY;
    };
    const Case cases[] = {
        {-119.85, 50, false, 0, 433},  {-119.55, 50, true, 1, 433},  {119.85, 50, true, 799, 433},
        {120.15, 50, false, 800, 433}, {-120.15, 50, false, 0, 433}, {0, 149.85, false, 400, 100},
        {0, 149.55, true, 400, 101},   {0, 0.15, true, 400, 599},    {0, -0.15, false, 400, 600},
        {0, 180.15, false, 400, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "r " << c.r << ", t " << c.t);
        SDL_FillRect(screen.get(), nullptr, background);
        CourseObject object = objectAt(c.r, c.t);
        const double force = object.project(screen.get(), 0, 0, 0);
        EXPECT_EQ(object.screenX, c.screenX);
        EXPECT_EQ(object.screenY, c.screenY);
        EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()) > 0, c.visible);
        // Visible and beyond 10 ft every object pushes; invisible ones never do.
        EXPECT_EQ(force != 0, c.visible && c.t > 10);
    }
}

TEST_F(ProjectTest, FarAndUndefinedPositionsAreOffScreenWithoutForce) {
    struct Case {
        double x, y, carX, carY, heading;
    };
    const Case cases[] = {
        {1e300, 0, 0, 0, 0},     {-1e300, 15, 0, 0, 0}, {0, 1e300, 0, 0, 0}, {0, -1e300, 0, 0, 0},
        {1e300, 1e300, 0, 0, 1}, {inf, 10, 0, 0, 0},    {0, -inf, 0, 0, 0},  {nan, 10, 0, 0, 0},
        {inf, 15, inf, 0, 0},    {0, 15, 0, 0, nan},    {5e9, 15, 0, 0, 0},  {0, 15, 0, 0, inf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ") from (" << c.carX << ", "
                                        << c.carY << ") heading " << c.heading);
        SDL_FillRect(screen.get(), nullptr, background);
        CourseObject object = objectAt(c.x, c.y);
        EXPECT_EQ(object.project(screen.get(), c.carX, c.carY, c.heading), 0);
        EXPECT_FALSE(object.isHit());
        EXPECT_FALSE(onScreen(object)) << object.screenX << ", " << object.screenY;
        EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()), 0);
    }
}

class DrawAndSenseTest : public testing::Test {
  protected:
    DrawAndSenseTest() { quietLoadImages(course); }

    // The course's obstacle sits at the origin; the car stands back so that it lies at (r, t).
    // The obstacle's place and strength take no random number: the seed's sequence is left whole
    // for the dirt.
    void readObstacleAt(double strength, unsigned seed = 1) {
        ASSERT_TRUE(readCourse(course, courseText({}, {obstacleAt(0, 0, strength)}), seed));
    }

    const SpriteDirectory sprites;
    ParticleList particles;
    Course course{particles};
    SurfacePtr screen = makeSurface565(800, 600, background);
};

struct DirtDraws {
    double vx, vy;
    int32_t lifetime;
};

// The three numbers that the next collision draws from the course's generator after seed.
DirtDraws dirtDraws(unsigned seed) {
    CourseRandom random(seed);
    const double vx = (random.next() % 2000 - 1000) / 15.0;
    const double vy = (random.next() % 2000 - 1000) / 15.0;
    return {vx, vy, random.next() % 1000};
}

TEST_F(DrawAndSenseTest, ObstacleCasesSumTheirForceAndHitsThrowDirtWhereTheObstacleIs) {
    constexpr unsigned seed = 3;
    ASSERT_GT(dirtDraws(seed).lifetime, 0);
    for (const ObstacleCase& c : obstacleCases) {
        SCOPED_TRACE(testing::Message() << "(" << c.right << ", " << c.ahead << ")");
        SDL_FillRect(screen.get(), nullptr, background);
        readObstacleAt(0.8, seed);
        EXPECT_NEAR(course.drawAndSense(screen.get(), -c.right, -c.ahead, 0, 0.5), c.force, 1e-6);
        EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()) > 0, c.drawn);
        ASSERT_EQ(particles.size(), c.hit ? 1u : 0u);
        if (!c.hit) continue;
        // Not moved yet, the dirt shows where the obstacle was drawn.
        const SurfacePtr dirtScreen = makeSurface565(800, 600, background);
        particles.updateParticles(dirtScreen.get(), 0);
        EXPECT_EQ(pixel565(dirtScreen.get(), c.screenX, c.screenY), black);
        EXPECT_EQ(countPixels(dirtScreen.get(), black), 1);
        particles.updateParticles(dirtScreen.get(), 1000);
        EXPECT_EQ(particles.size(), 0u);
    }
}

TEST_F(DrawAndSenseTest, DirtFliesWithVelocityAndLifetimeFromTheNextThreeRandomNumbers) {
    constexpr unsigned seed = 12;
    const DirtDraws draws = dirtDraws(seed);
    ASSERT_GT(draws.lifetime, 300) << "pick a seed that leaves the dirt time to fly";
    readObstacleAt(0.8, seed);
    course.drawAndSense(screen.get(), -1.35, -15.15, 0, 0.5);
    ASSERT_EQ(particles.size(), 1u);

    const SurfacePtr dirtScreen = makeSurface565(800, 600, background);
    particles.updateParticles(dirtScreen.get(), 300);
    const int column = static_cast<int>(404 + draws.vx * 0.3);
    const int row = static_cast<int>(549 + draws.vy * 0.3);
    EXPECT_EQ(pixel565(dirtScreen.get(), column, row), black) << column << ", " << row;
    EXPECT_EQ(countPixels(dirtScreen.get(), black), 1);

    particles.updateParticles(dirtScreen.get(), draws.lifetime - 301);
    EXPECT_EQ(particles.size(), 1u) << "one millisecond of life left";
    particles.updateParticles(dirtScreen.get(), 1);
    EXPECT_EQ(particles.size(), 0u);
}

TEST_F(DrawAndSenseTest, ThresholdLetsObstaclesThroughAndStrengthDecidesTheCollision) {
    struct Case {
        double strength, threshold;
        bool sensed;
        size_t dirt;
    };
    const Case cases[] = {
        {0.3, 0.2, true, 0}, {0.3, 0.5, false, 0}, {0.49, 0, true, 0},  {0.5, 0.5, true, 1},
        {0.8, 0.5, true, 1}, {0.8, 0.9, false, 0}, {1.009, 1, true, 1}, {0, 0, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "strength " << c.strength << ", threshold " << c.threshold);
        readObstacleAt(c.strength);
        SDL_FillRect(screen.get(), nullptr, background);
        const double sum = course.drawAndSense(screen.get(), -1.35, -15.15, 0, c.threshold);
        EXPECT_NEAR(sum, c.sensed ? c.strength * 0.186844 : 0, 1e-6);
        EXPECT_EQ(countPixels(screen.get(), obstacleSprite.colour()), c.sensed ? 4 : 0);
        // Skipped obstacles are not even projected.
        EXPECT_EQ(course.getObstacles()[0].isHit(), c.sensed);
        EXPECT_EQ(particles.size(), c.dirt);
        particles.updateParticles(screen.get(), 1000);
    }
}

TEST_F(DrawAndSenseTest, SkippedObstacleKeepsItsLastProjection) {
    readObstacleAt(0.6);
    course.drawAndSense(screen.get(), -1.35, -15.15, 0, 0.5);
    course.drawAndSense(screen.get(), 50, 50, 0, 0.7);
    const CourseObject& obstacle = course.getObstacles()[0];
    EXPECT_TRUE(obstacle.isHit());
    EXPECT_EQ(obstacle.screenX, 404);
    EXPECT_EQ(obstacle.screenY, 549);
}

TEST_F(DrawAndSenseTest, EveryObstacleHitMakesItsOwnDirtInEveryFrame) {
    ASSERT_TRUE(readCourse(course, courseText({}, {obstacleAt(0, 0, 0.8), obstacleAt(2, 0, 0.8),
                                                   obstacleAt(20, 0, 0.8)})));
    const double sum = course.drawAndSense(screen.get(), -1, -15, 0, 0.5);
    // (1, 15) and (3, 15) are hit; (21, 15) lies beside the box but still pushes.
    EXPECT_NEAR(sum, 0.156629 + 0.146103 + 0.8e4 / std::pow(21 * 21 + 15 * 15, 2), 1e-6);
    EXPECT_EQ(particles.size(), 2u);
    course.drawAndSense(screen.get(), -1, -15, 0, 0.5);
    EXPECT_EQ(particles.size(), 4u);
}

TEST_F(DrawAndSenseTest, CrashSoundStartsOncePerFrameWithAHitOnChannelOne) {
    const DummyMixer mixer;
    ASSERT_TRUE(mixer.isOpen());
    quietLoadImages(course);
    ASSERT_TRUE(readCourse(course, courseText({}, {obstacleAt(0, 0, 0.8), obstacleAt(2, 0, 0.8)})));
    // Two hits a frame; each start replaces the one before, which counts as finished.
    struct Frame {
        double carX;
        bool playing;
        int finished;
    };
    const Frame frames[] = {{-1, true, 0}, {-1, true, 1}, {-100, true, 1}, {-1, true, 2}};
    for (const Frame& frame : frames) {
        course.drawAndSense(screen.get(), frame.carX, -15, 0, 0.5);
        EXPECT_EQ(Mix_Playing(1) != 0, frame.playing) << "car at x " << frame.carX;
        EXPECT_EQ(DummyMixer::finishedOn(1), frame.finished) << "car at x " << frame.carX;
    }
    EXPECT_EQ(DummyMixer::finishedOn(0), 0);

    // Without its sound file a drive crashes silently, dirt and all.
    Mix_HaltChannel(1);
    std::remove("crash.wav");
    quietLoadImages(course);
    ASSERT_EQ(course.getCrashSound(), nullptr);
    const size_t dirtBefore = particles.size();
    course.drawAndSense(screen.get(), -1, -15, 0, 0.5);
    EXPECT_EQ(Mix_Playing(1), 0);
    EXPECT_EQ(particles.size(), dirtBefore + 2);
}

TEST_F(DrawAndSenseTest, WaypointsAndMarkersAreDrawnAndFlaggedButNeverPush) {
    ASSERT_TRUE(readCourse(course, courseText({{0, 15.15, 20}, {1.35, 115.15, 20}})));
    EXPECT_EQ(course.drawAndSense(screen.get(), 0, 0, 0, 0), 0);
    EXPECT_EQ(particles.size(), 0u);
    EXPECT_TRUE(course.getWaypoints()[0].isHit());
    EXPECT_FALSE(course.getWaypoints()[1].isHit());
    // The marker laid last lies on the first waypoint, within rounding, and covers most of it.
    EXPECT_TRUE(course.getMarkers().front().isHit());
    EXPECT_EQ(pixel565(screen.get(), 403, 552), waypointSprite.colour());
    EXPECT_EQ(pixel565(screen.get(), 400, 549), markerSprite.colour());
    EXPECT_EQ(countPixels(screen.get(), markerSprite.colour()), 10 * 9);
    EXPECT_EQ(countPixels(screen.get(), waypointSprite.colour()), 16 + 16 - 9);
}

TEST_F(DrawAndSenseTest, ObstaclesCoverMarkersWhichCoverWaypoints) {
    // All three at one point; the sprites are 4, 3 and 2 pixels square.
    ASSERT_TRUE(
        readCourse(course, courseText({{0, 15, 20}, {0, 115, 20}}, {obstacleAt(0, 15, 0.4)})));
    course.drawAndSense(screen.get(), 0, -0.15, 0, 0.3);
    EXPECT_EQ(pixel565(screen.get(), 400, 549), obstacleSprite.colour());
    EXPECT_EQ(pixel565(screen.get(), 401, 550), obstacleSprite.colour());
    EXPECT_EQ(pixel565(screen.get(), 402, 551), markerSprite.colour());
    EXPECT_EQ(pixel565(screen.get(), 403, 552), waypointSprite.colour());

    SDL_FillRect(screen.get(), nullptr, background);
    course.drawAndSense(screen.get(), 0, -0.15, 0, 0.5);
    EXPECT_EQ(pixel565(screen.get(), 400, 549), markerSprite.colour());
}

TEST_F(DrawAndSenseTest, EmptyCourseSensesNothingAndDrawsNothing) {
    EXPECT_EQ(course.drawAndSense(screen.get(), 0, 0, 0, 0), 0);
    EXPECT_EQ(countPixels(screen.get(), background), 800 * 600);
    EXPECT_EQ(particles.size(), 0u);
}

}  // namespace
