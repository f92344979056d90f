// The sound switch and owning handles for mixer chunks.
#pragma once

#include <SDL_mixer.h>

#include <atomic>
#include <memory>

// Cleared by option s, or when the audio device cannot be opened: then no mixer call is made.
extern std::atomic<bool> soundEnabled;

struct ChunkDeleter {
    void operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }
};
using ChunkPtr = std::unique_ptr<Mix_Chunk, ChunkDeleter>;

// Halts the channel that may be playing the old chunk, frees it and loads the WAV file in its place
// (null when the file cannot be loaded).
void replaceChunk(ChunkPtr& chunk, int channel, const char* fileName);
