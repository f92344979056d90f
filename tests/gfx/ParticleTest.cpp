// Dirt motion and lifetime, and the particle pass that retires finished particles.
#include "Particle.h"

#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(Dirt, MovesWithVelocityFirstThenPosition) {
    Dirt dirt(800, 600, 10, 0, 0, 0, 0, 5, 10000);
    dirt.update(1000);
    EXPECT_DOUBLE_EQ(dirt.getVx(), 10);
    EXPECT_DOUBLE_EQ(dirt.getPx(), 10);
    EXPECT_EQ(dirt.getX(), 10);
    dirt.update(500);
    EXPECT_DOUBLE_EQ(dirt.getVx(), 15);
    EXPECT_DOUBLE_EQ(dirt.getPx(), 17.5);
    EXPECT_EQ(dirt.getX(), 17);
    EXPECT_EQ(dirt.getLifetime(), 8500);
}

TEST(Dirt, UpdateOfZeroChangesNothing) {
    Dirt dirt(800, 600, 5, 5, 3, 4, 100.5, 200.5, 300);
    dirt.update(0);
    EXPECT_DOUBLE_EQ(dirt.getPx(), 100.5);
    EXPECT_DOUBLE_EQ(dirt.getPy(), 200.5);
    EXPECT_EQ(dirt.getLifetime(), 300);
}

TEST(Dirt, FinishesOutsideItsRectangleOrAtTheEndOfItsLife) {
    struct Case {
        double px, py;
        int32_t lifetime;
        bool finished;
    };
    const Case cases[] = {
        {-0.5, 10, 100, false},  // truncated towards zero: column 0
        {-1.0, 10, 100, true},  {799, 599, 100, false}, {800, 10, 100, true}, {10, 600, 100, true},
        {10, -1, 100, true},    {10, 10, 0, true},      {10, 10, -5, true},
    };
    for (const Case& c : cases) {
        const Dirt dirt(800, 600, 0, 0, 0, 0, c.px, c.py, c.lifetime);
        EXPECT_EQ(dirt.finished(), c.finished) << c.px << "," << c.py << " life " << c.lifetime;
    }
}

// A particle that records its passes and finishes when told.
class Probe : public Particle {
  public:
    Probe(int32_t x, bool finishes, std::vector<int>& destroyed, int id)
        : Particle(x, 0, 255, 255, 255), finishes(finishes), destroyed(destroyed), id(id) {}
    ~Probe() override { destroyed.push_back(id); }
    void update(int32_t) override { ++updates; }
    bool finished() const override { return finishes; }
    void draw(SDL_Surface* screen) override {
        ++draws;
        Particle::draw(screen);
    }

    int updates = 0;
    int draws = 0;

  private:
    bool finishes;
    std::vector<int>& destroyed;
    int id;
};

// A kind that keeps the base class's answer: finished at once.
class Plain : public Particle {
  public:
    Plain() : Particle(1, 1, 255, 255, 255) {}
    void update(int32_t) override {}
};

TEST(ParticleList, PassRetiresFinishedParticlesWherEverTheyStand) {
    struct Case {
        const char* name;
        std::vector<bool> finishes;
    };
    const Case cases[] = {{"first", {true, false, false}},
                          {"middle", {false, true, false}},
                          {"last", {false, false, true}},
                          {"first and last", {true, false, true}},
                          {"two in a row", {false, true, true, false}},
                          {"all", {true, true, true}}};
    for (const Case& c : cases) {
        std::vector<int> destroyed;
        std::vector<Probe*> probes;
        {
            ParticleList list;
            for (size_t i = 0; i < c.finishes.size(); ++i) {
                auto probe = std::make_unique<Probe>(static_cast<int32_t>(i), c.finishes[i],
                                                     destroyed, static_cast<int>(i));
                probes.push_back(probe.get());
                list.add(std::move(probe));
            }
            const SurfacePtr screen = makeSurface565(10, 1);
            list.updateParticles(screen.get(), 16);
            std::vector<int> expectedDestroyed;
            size_t alive = 0;
            for (size_t i = 0; i < c.finishes.size(); ++i) {
                if (c.finishes[i]) {
                    expectedDestroyed.push_back(static_cast<int>(i));
                    EXPECT_EQ(pixel565(screen.get(), static_cast<int>(i), 0), 0) << c.name;
                } else {
                    ++alive;
                    EXPECT_EQ(probes[i]->updates, 1) << c.name;
                    EXPECT_EQ(probes[i]->draws, 1) << c.name;
                    EXPECT_EQ(pixel565(screen.get(), static_cast<int>(i), 0), 0xFFFF) << c.name;
                }
            }
            EXPECT_EQ(destroyed, expectedDestroyed) << c.name;
            EXPECT_EQ(list.size(), alive) << c.name;
        }
        EXPECT_EQ(destroyed.size(), c.finishes.size()) << c.name << ": the list owns the rest";
    }
}

TEST(ParticleList, DirtIsDrawnBlackAtItsNewPosition) {
    ParticleList list;
    list.add(std::make_unique<Dirt>(800, 600, 0, 0, 100, 0, 10, 20, 500));
    const SurfacePtr screen = makeSurface565(800, 600, 0xFFFF);
    list.updateParticles(screen.get(), 100);
    EXPECT_EQ(pixel565(screen.get(), 20, 20), 0);
    EXPECT_EQ(pixel565(screen.get(), 10, 20), 0xFFFF);
    EXPECT_EQ(list.size(), 1u);
}

TEST(ParticleList, DirtEndingItsLifeInThePassIsNeverDrawn) {
    ParticleList list;
    list.add(std::make_unique<Dirt>(800, 600, 0, 0, 0, 0, 10, 20, 100));
    list.add(std::make_unique<Dirt>(800, 600, 0, 0, 0, 0, 30, 20, 0));
    const SurfacePtr screen = makeSurface565(800, 600, 0xFFFF);
    list.updateParticles(screen.get(), 100);
    EXPECT_EQ(pixel565(screen.get(), 10, 20), 0xFFFF);
    EXPECT_EQ(pixel565(screen.get(), 30, 20), 0xFFFF);
    EXPECT_EQ(list.size(), 0u);
}

TEST(ParticleList, KindWithoutItsOwnFinishIsRemovedAfterItsFirstUpdate) {
    ParticleList list;
    list.add(std::make_unique<Plain>());
    const SurfacePtr screen = makeSurface565(4, 4, 0);
    list.updateParticles(screen.get(), 0);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(pixel565(screen.get(), 1, 1), 0);
}

TEST(ParticleList, EmptyListPassDoesNothing) {
    ParticleList list;
    const SurfacePtr screen = makeSurface565(4, 4, 0x1234);
    list.updateParticles(screen.get(), 10);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(pixel565(screen.get(), 0, 0), 0x1234);
}

}  // namespace
