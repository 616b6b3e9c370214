#include "util/ptr_vector.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

int items[8];
void* item(int i) {
    return &items[i];
}

std::vector<void*> contents(const PtrVector* v) {
    return std::vector<void*>(v->items, v->items + v->count);
}

struct VectorDeleter {
    void operator()(PtrVector* v) const { ptrvec_free(v); }
};
using VectorPtr = std::unique_ptr<PtrVector, VectorDeleter>;

TEST(PtrVector, GrowsByDoublingFromAnyStart) {
    VectorPtr empty(ptrvec_create(0));
    ASSERT_NE(empty, nullptr);
    std::vector<uint64_t> capacities;
    for (int i = 0; i < 9; ++i) {
        ASSERT_EQ(ptrvec_push(empty.get(), item(i % 8)), 0);
        capacities.push_back(empty->capacity);
    }
    EXPECT_EQ(capacities, (std::vector<uint64_t>{1, 2, 4, 4, 8, 8, 8, 8, 16}));

    VectorPtr v(ptrvec_create(32));
    for (int i = 0; i < 32; ++i) ptrvec_push(v.get(), item(0));
    EXPECT_EQ(v->capacity, 32u);
    ptrvec_push(v.get(), item(1));
    EXPECT_EQ(v->capacity, 64u);
    EXPECT_EQ(v->count, 33u);
    EXPECT_EQ(v->items[32], item(1));
}

TEST(PtrVector, RemoveReturnsTheItemAndClosesTheGap) {
    VectorPtr v(ptrvec_create(4));
    for (int i = 0; i < 3; ++i) ptrvec_push(v.get(), item(i));
    EXPECT_EQ(ptrvec_remove(v.get(), 0), item(0));
    EXPECT_EQ(contents(v.get()), (std::vector<void*>{item(1), item(2)}));
    EXPECT_EQ(ptrvec_remove(v.get(), 1), item(2));
    EXPECT_EQ(contents(v.get()), (std::vector<void*>{item(1)}));
    EXPECT_EQ(v->items[1], nullptr) << "a removed last slot is cleared";
    EXPECT_EQ(v->capacity, 4u) << "capacity never shrinks";
}

TEST(PtrVector, RemoveOutOfRangeChangesNothing) {
    VectorPtr v(ptrvec_create(2));
    EXPECT_EQ(ptrvec_remove(v.get(), 0), nullptr);
    ptrvec_push(v.get(), item(0));
    EXPECT_EQ(ptrvec_remove(v.get(), 1), nullptr);
    EXPECT_EQ(contents(v.get()), (std::vector<void*>{item(0)}));
    EXPECT_EQ(ptrvec_remove(nullptr, 0), nullptr);
}

TEST(PtrVector, InsertKeepsOrderWhetherRoomIsLeftOrNot) {
    struct Case {
        uint64_t capacity;
        uint64_t index;
        std::vector<void*> expected;
        uint64_t expected_capacity;
    };
    const Case cases[] = {
        {2, 1, {item(0), item(7), item(1)}, 4},  // full: a fresh block
        {3, 1, {item(0), item(7), item(1)}, 3},  // room left: moved in place
        {2, 0, {item(7), item(0), item(1)}, 4},
        {2, 2, {item(0), item(1), item(7)}, 4},  // at the end: a push
    };
    for (const Case& c : cases) {
        VectorPtr v(ptrvec_create(c.capacity));
        ptrvec_push(v.get(), item(0));
        ptrvec_push(v.get(), item(1));
        ASSERT_EQ(ptrvec_insert(v.get(), item(7), c.index), 0);
        EXPECT_EQ(contents(v.get()), c.expected) << "index " << c.index;
        EXPECT_EQ(v->capacity, c.expected_capacity) << "index " << c.index;
    }
}

TEST(PtrVector, RefusesBadArguments) {
    VectorPtr v(ptrvec_create(2));
    ptrvec_push(v.get(), item(0));
    ptrvec_push(v.get(), item(1));
    EXPECT_EQ(ptrvec_insert(v.get(), item(7), 3), -1);
    EXPECT_EQ(v->count, 2u);
    EXPECT_EQ(ptrvec_push(nullptr, item(0)), -1);
    EXPECT_EQ(ptrvec_insert(nullptr, item(0), 0), -1);
    ptrvec_free(nullptr);
}

}  // namespace
