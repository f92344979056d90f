// Loading and replacing mixer chunks without freeing one that a channel still plays.
#include "Sound.h"

std::atomic<bool> soundEnabled{false};

void replaceChunk(ChunkPtr& chunk, int channel, const char* fileName) {
    if (chunk) Mix_HaltChannel(channel);
    chunk.reset(Mix_LoadWAV_RW(SDL_RWFromFile(fileName, "rb"), 1));
}
