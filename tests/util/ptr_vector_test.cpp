#include "util/ptr_vector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Random pushes, inserts and removes, some at or past the end, against std::vector; the
// capacity grows to 1 from empty and doubles when full.
TEST(PtrVector, MatchesAVectorModel) {
    static int items[64];
    std::mt19937 random(5);
    for (uint64_t start : {0, 1, 3}) {
        PtrVector* v = ptrvec_create(start);
        ASSERT_NE(v, nullptr);
        std::vector<void*> model;
        uint64_t capacity = start;
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
                ASSERT_EQ(ptrvec_remove(v, at), at < model.size() ? model[at] : nullptr) << at;
                if (at + 1 == model.size()) {
                    EXPECT_EQ(v->items[at], nullptr) << "a removed last slot is cleared";
                }
                if (at < model.size()) model.erase(model.begin() + at);
            }
            if (model.size() > capacity) capacity = capacity == 0 ? 1 : 2 * capacity;
            ASSERT_EQ(std::vector<void*>(v->items, v->items + v->count), model) << step;
            ASSERT_EQ(v->capacity, capacity) << step;
        }
        ptrvec_free(v);
    }
    EXPECT_EQ(ptrvec_push(nullptr, items), -1);
    EXPECT_EQ(ptrvec_insert(nullptr, items, 0), -1);
    EXPECT_EQ(ptrvec_remove(nullptr, 0), nullptr);
    ptrvec_free(nullptr);
}

}  // namespace
