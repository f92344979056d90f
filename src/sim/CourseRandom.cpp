// The GNU C library's rand() sequence, word for word.
#include "CourseRandom.h"

CourseRandom::CourseRandom(unsigned seedValue) : state(), front(3), rear(0) {
    seed(seedValue);
}

void CourseRandom::seed(unsigned seedValue) {
    // The library's own start: the seed (1 for 0), then 30 words of the minimal standard
    // generator, computed without overflow, then 310 numbers thrown away.
    int32_t word = seedValue == 0 ? 1 : static_cast<int32_t>(seedValue);
    state[0] = static_cast<uint32_t>(word);
    for (size_t i = 1; i < state.size(); ++i) {
        const int64_t high = word / 127773;
        const int64_t low = word % 127773;
        word = static_cast<int32_t>(16807 * low - 2836 * high);
        if (word < 0) word += 2147483647;
        state[i] = static_cast<uint32_t>(word);
    }
    front = 3;
    rear = 0;
    for (int i = 0; i < 310; ++i) next();
}

int32_t CourseRandom::next() {
    state[front] += state[rear];
    const uint32_t value = state[front];
    front = (front + 1) % state.size();
    rear = (rear + 1) % state.size();
    return static_cast<int32_t>(value >> 1);
}
