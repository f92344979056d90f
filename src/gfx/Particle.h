// One-pixel particles, the dirt thrown up by collisions, and the list that moves and retires them.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <list>
#include <memory>

class Particle {
  public:
    Particle(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);
    virtual void update(int32_t ms) = 0;
    virtual void draw(SDL_Surface* screen);
    virtual bool finished() const;
    virtual ~Particle();

    int32_t getX() const { return x; }
    int32_t getY() const { return y; }

  protected:
    int32_t x;
    int32_t y;
    uint8_t r, g, b;
    uint8_t a;
    uint16_t pixel;
};

// A black speck that flies with constant acceleration until it leaves its rectangle or expires.
class Dirt : public Particle {
  public:
    Dirt(int32_t width, int32_t height, double ax, double ay, double vx, double vy, double px,
         double py, int32_t lifetime);
    void update(int32_t ms) override;
    bool finished() const override;
    ~Dirt() override;

    double getVx() const { return vx; }
    double getVy() const { return vy; }
    double getPx() const { return px; }
    double getPy() const { return py; }
    int32_t getLifetime() const { return lifetime; }

  private:
    double ax, ay;
    double vx, vy;
    double px, py;
    int32_t width, height;
    int32_t lifetime;
};

class ParticleList {
  public:
    ParticleList() = default;
    ParticleList(const ParticleList&) = delete;
    ParticleList& operator=(const ParticleList&) = delete;

    void add(std::unique_ptr<Particle> particle);
    // Moves every particle by ms, retires the finished ones and draws the rest on the locked
    // screen.
    void updateParticles(SDL_Surface* screen, int32_t ms);

    size_t size() const { return particles.size(); }
    void clear() { particles.clear(); }

  private:
    std::list<std::unique_ptr<Particle>> particles;
};
