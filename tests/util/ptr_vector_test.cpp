#include "util/ptr_vector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

// Random pushes, inserts and removes, some at or past the end, from capacities 0, 1 and 3,
// against std::vector; the capacity grows to 1 from empty and doubles when full, and a removed
// last slot is cleared.
TEST(PtrVector, MatchesAVectorModel) {
    static int items[64];
    std::mt19937 random(5);
    for (uint64_t capacity : {0, 1, 3}) {
        PtrVector* v = ptrvec_create(capacity);
        std::vector<void*> model;
        for (int step = 0; step < 400; ++step) {
            void* item = &items[random() % 64];
            const uint64_t at = random() % (model.size() + 2);
            if (const unsigned op = random() % 3; op == 0) {
                ASSERT_EQ(ptrvec_push(v, item), 0);
                model.push_back(item);
            } else if (op == 1) {
                ASSERT_EQ(ptrvec_insert(v, item, at), at <= model.size() ? 0 : -1) << at;
                if (at <= model.size()) model.insert(model.begin() + at, item);
            } else {
                const bool inside = at < model.size();
                ASSERT_EQ(ptrvec_remove(v, at), inside ? model[at] : nullptr) << at;
                if (inside) model.erase(model.begin() + at);
                EXPECT_TRUE(!inside || at < model.size() || v->items[at] == nullptr) << step;
            }
            if (model.size() > capacity) capacity = capacity == 0 ? 1 : 2 * capacity;
            ASSERT_EQ(std::vector<void*>(v->items, v->items + v->count), model) << step;
            ASSERT_EQ(v->capacity, capacity) << step;
        }
        ptrvec_free(v);
    }
    EXPECT_EQ(ptrvec_push(nullptr, items) + ptrvec_insert(nullptr, items, 0), -2);
    EXPECT_EQ(ptrvec_remove(nullptr, 0), nullptr);
    ptrvec_free(nullptr);
}
