#include "util/ptr_vector.h"

#include <cstdlib>
#include <cstring>

namespace {

// The capacity after one growth step: 1 from empty, else double. 0 when doubling would
// overflow the size of an allocation, which the callers treat as a failed growth.
uint64_t grown_capacity(uint64_t capacity) {
    if (capacity == 0) return 1;
    if (capacity > SIZE_MAX / (2 * sizeof(void*))) return 0;
    return capacity * 2;
}

// Grows the item array in place, keeping its contents; on failure the vector is unchanged.
bool grow(PtrVector* vector) {
    uint64_t capacity = grown_capacity(vector->capacity);
    if (capacity == 0) return false;
    void* items = std::realloc(vector->items, capacity * sizeof(void*));
    if (items == nullptr) return false;
    vector->items = static_cast<void**>(items);
    vector->capacity = capacity;
    return true;
}

}  // namespace

PtrVector* ptrvec_create(uint64_t capacity) {
    if (capacity > SIZE_MAX / sizeof(void*)) return nullptr;
    auto* vector = static_cast<PtrVector*>(std::malloc(sizeof(PtrVector)));
    if (vector == nullptr) return nullptr;
    vector->items = nullptr;
    if (capacity > 0) {
        vector->items = static_cast<void**>(std::malloc(capacity * sizeof(void*)));
        if (vector->items == nullptr) {
            std::free(vector);
            return nullptr;
        }
    }
    vector->count = 0;
    vector->capacity = capacity;
    return vector;
}

void ptrvec_free(PtrVector* vector) {
    if (vector == nullptr) return;
    std::free(vector->items);
    std::free(vector);
}

int ptrvec_push(PtrVector* vector, void* item) {
    if (vector == nullptr) return -1;
    if (vector->count == vector->capacity && !grow(vector)) return -1;
    vector->items[vector->count++] = item;
    return 0;
}

int ptrvec_insert(PtrVector* vector, void* item, uint64_t index) {
    if (vector == nullptr || index > vector->count) return -1;
    if (index == vector->count) return ptrvec_push(vector, item);
    if (vector->count < vector->capacity) {
        std::memmove(vector->items + index + 1, vector->items + index,
                     (vector->count - index) * sizeof(void*));
        vector->items[index] = item;
    } else {
        // Full: build the new block in its final order rather than growing and then moving.
        uint64_t capacity = grown_capacity(vector->capacity);
        if (capacity == 0) return -1;
        auto* items = static_cast<void**>(std::malloc(capacity * sizeof(void*)));
        if (items == nullptr) return -1;
        std::memcpy(items, vector->items, index * sizeof(void*));
        items[index] = item;
        std::memcpy(items + index + 1, vector->items + index,
                    (vector->count - index) * sizeof(void*));
        std::free(vector->items);
        vector->items = items;
        vector->capacity = capacity;
    }
    vector->count++;
    return 0;
}

void* ptrvec_remove(PtrVector* vector, uint64_t index) {
    if (vector == nullptr || index >= vector->count) return nullptr;
    void* item = vector->items[index];
    if (index + 1 == vector->count) {
        vector->items[index] = nullptr;
    } else {
        std::memmove(vector->items + index, vector->items + index + 1,
                     (vector->count - index - 1) * sizeof(void*));
    }
    vector->count--;
    return item;
}
