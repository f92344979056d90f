// Bitmap loading with a transparent colour key, and frames that own what they load.
#include "ImageFrame.h"

#include "Display.h"

#include <filesystem>
#include <iostream>
#include <utility>

SurfacePtr makeDisplaySurface() {
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, displayWidth, displayHeight, displayDepth,
                                           0xF800, 0x07E0, 0x001F, 0));
}

std::string ImageSource::path(const std::string& fileName) const {
    if (folder.empty()) return fileName;
    return (std::filesystem::u8path(folder) / std::filesystem::u8path(fileName)).u8string();
}

SurfacePtr loadBitmap(const std::string& fileName, const ImageSource& source) {
    SurfacePtr surface(SDL_LoadBMP_RW(SDL_RWFromFile(source.path(fileName).c_str(), "rb"), 1));
    if (!surface && source.failures != nullptr)
        *source.failures << "Cannot find " << fileName << std::endl;
    return surface;
}

SDL_Surface* loadImage(const std::string& fileName, const ImageSource& source) {
    SurfacePtr surface = loadBitmap(fileName, source);
    if (!surface) return nullptr;
    // Not run-length encoded: a caller of the surface keeps its pixels and flags as loaded.
    SDL_SetColorKey(surface.get(), SDL_SRCCOLORKEY, SDL_MapRGB(surface->format, 0, 0, 255));
    return surface.release();
}

namespace {

// Rotating a keyed surface would drop its key and paint the key colour; an alpha channel instead
// keeps the transparency and gives smooth edges. Keyed pixels become transparent black so that
// smoothing never tints the edges blue. The channels lie in ARGB order, which the turned copies
// keep: SDL blends that order onto the 16-bit display by its fast path, several times cheaper.
SurfacePtr makeRotatable(SDL_Surface* source) {
    if (source == nullptr) return nullptr;
    SurfacePtr rgba(SDL_CreateRGBSurface(SDL_SWSURFACE, source->w, source->h, 32, 0x00FF0000,
                                         0x0000FF00, 0x000000FF, 0xFF000000));
    if (!rgba) return nullptr;
    const SDL_PixelFormat* format = source->format;
    const bool keyed = (source->flags & SDL_SRCCOLORKEY) != 0;
    const int bpp = format->BytesPerPixel;
    SDL_LockSurface(source);
    for (int y = 0; y < source->h; ++y) {
        const Uint8* in = static_cast<const Uint8*>(source->pixels) + y * source->pitch;
        Uint32* out =
            reinterpret_cast<Uint32*>(static_cast<Uint8*>(rgba->pixels) + y * rgba->pitch);
        for (int x = 0; x < source->w; ++x, in += bpp) {
            Uint32 value = 0;
            switch (bpp) {
                case 1:
                    value = *in;
                    break;
                case 2:
                    value = *reinterpret_cast<const Uint16*>(in);
                    break;
                case 3:
                    value = SDL_BYTEORDER == SDL_LIL_ENDIAN ? in[0] | in[1] << 8 | in[2] << 16
                                                            : in[2] | in[1] << 8 | in[0] << 16;
                    break;
                default:
                    value = *reinterpret_cast<const Uint32*>(in);
                    break;
            }
            if (keyed && value == format->colorkey) {
                out[x] = 0;
                continue;
            }
            Uint8 r, g, b;
            SDL_GetRGB(value, format, &r, &g, &b);
            out[x] = SDL_MapRGBA(rgba->format, r, g, b, SDL_ALPHA_OPAQUE);
        }
    }
    SDL_UnlockSurface(source);
    SDL_SetAlpha(rgba.get(), SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
    return rgba;
}

}  // namespace

ImageFrame::ImageFrame(std::string fileName, int32_t duration, const ImageSource& source)
    : surface(), fileName(std::move(fileName)), duration(duration), source(source), rotatable() {
    load();
}

ImageFrame::ImageFrame(const ImageFrame& other)
    : surface(),
      fileName(other.fileName),
      duration(other.duration),
      source(other.source),
      rotatable() {
    load();
}

void ImageFrame::load() {
    if (source.progress != nullptr) *source.progress << "getting: " << fileName << std::endl;
    surface.reset(loadImage(fileName, source));
    rotatable = makeRotatable(surface.get());
}
