// Particle motion, drawing and the per-frame particle pass.
#include "Particle.h"

#include "Pixel.h"

#include <utility>

Particle::Particle(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b)
    : x(x), y(y), r(r), g(g), b(b), a(128), pixel(0) {}

Particle::~Particle() = default;

void Particle::draw(SDL_Surface* screen) {
    pixel = packPixel(screen->format, r, g, b, a);
    putPixel(screen, x, y, pixel);
}

bool Particle::finished() const {
    return true;
}

Dirt::Dirt(int32_t width, int32_t height, double ax, double ay, double vx, double vy, double px,
           double py, int32_t lifetime)
    : Particle(0, 0, 0, 0, 0),
      ax(ax),
      ay(ay),
      vx(vx),
      vy(vy),
      px(px),
      py(py),
      width(width),
      height(height),
      lifetime(lifetime) {
    x = static_cast<int32_t>(px);
    y = static_cast<int32_t>(py);
}

Dirt::~Dirt() = default;

void Dirt::update(int32_t ms) {
    lifetime -= ms;
    const double s = ms / 1000.0;
    vx += ax * s;
    vy += ay * s;
    px += vx * s;
    py += vy * s;
    x = static_cast<int32_t>(px);
    y = static_cast<int32_t>(py);
}

bool Dirt::finished() const {
    return x < 0 || x >= width || y < 0 || y >= height || lifetime <= 0;
}

void ParticleList::add(std::unique_ptr<Particle> particle) {
    particles.push_back(std::move(particle));
}

void ParticleList::updateParticles(SDL_Surface* screen, int32_t ms) {
    for (auto it = particles.begin(); it != particles.end();) {
        Particle& particle = **it;
        particle.update(ms);
        if (particle.finished()) {
            it = particles.erase(it);
        } else {
            if (screen != nullptr) particle.draw(screen);
            ++it;
        }
    }
}
