// Writes the pixels that SDL_gfx's rotozoomer makes of each bitmap at 66 angles from -45 to 45
// degrees, smoothed as the game's tyres are, so that two builds can be compared byte for byte.
#include <SDL.h>
#include <SDL_rotozoom.h>

#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* out = std::fopen(argv[1], "wb");
    for (int i = 2; out != nullptr && i < argc; ++i) {
        SDL_Surface* image = SDL_LoadBMP(argv[i]);
        if (image == nullptr) return 1;
        for (int step = 0; step < 66; ++step) {
            SDL_Surface* turned = rotozoomSurface(image, -45 + 90.0 * step / 65, 1.0, 1);
            const auto* pixels = static_cast<const unsigned char*>(turned->pixels);
            for (int y = 0; y < turned->h; ++y)
                std::fwrite(pixels + y * turned->pitch, turned->format->BytesPerPixel, turned->w,
                            out);
            SDL_FreeSurface(turned);
        }
        SDL_FreeSurface(image);
    }
    return out != nullptr && std::fclose(out) == 0 ? 0 : 1;
}
