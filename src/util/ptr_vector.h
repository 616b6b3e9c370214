// PtrVector: the one growable array of the system, an ordered list of untyped pointers that
// grows by doubling. It never owns what its items point to. Users may read `items` and
// `count` directly (a Mesh borrows a model's triangle array this way).
#pragma once

#include <cstdint>

struct PtrVector {
    void** items;
    uint64_t count;
    uint64_t capacity;
};

// New vector with `count` 0 and the given capacity, or null when an allocation fails.
PtrVector* ptrvec_create(uint64_t capacity);
// Releases the item array and the record; the items themselves are untouched. Null is ignored.
void ptrvec_free(PtrVector* vector);
// 0 on success; -1 for a null vector or when growing fails (the vector is then unchanged).
int ptrvec_push(PtrVector* vector, void* item);
// 0 on success; -1 for a null vector, an index beyond `count`, or when growing fails.
int ptrvec_insert(PtrVector* vector, void* item, uint64_t index);
// The removed item; null for a null vector or an index at or beyond `count`.
void* ptrvec_remove(PtrVector* vector, uint64_t index);
