// Typed arrays: growth, 1-based and byte-offset addressing, insertion,
// removal and copies.
#include <cstring>

#include "series/typed_array.h"
#include "tests/support/runtime_env.h"

using namespace zel;

TEST(TypedArray, WordsGrowFromNothing) {
    Node a = typed_array::make(0, 4);
    EXPECT_EQ(typed_array::get_flags(a) & SERIES_UNIT_MASK, 4u);
    EXPECT_EQ(typed_array::length_q(a), 0);
    for (uint32_t i = 1; i <= 1000; i++) typed_array::append_ptr(a, i * 3);
    EXPECT_EQ(typed_array::length_q(a), 1000);
    for (int32_t i = 1; i <= 1000; i++) ASSERT_EQ(typed_array::pick_ptr(a, i), uint32_t(i) * 3);
    typed_array::poke_ptr(a, 500, 7);
    EXPECT_EQ(typed_array::pick_ptr(a, 500), 7u);
    EXPECT_EQ(typed_array::find_ptr(a, 7), 499 * 4);
}

TEST(TypedArray, InsertOpensRoomAnywhere) {
    Node a = typed_array::make(2, 4);
    typed_array::append_ptr(a, 10);
    typed_array::append_ptr(a, 30);
    typed_array::insert_ptr(a, 1, 20);  // full: the buffer doubles
    typed_array::insert_ptr(a, 0, 5);
    typed_array::insert_ptr(a, 4, 40);
    const uint32_t expected[] = {5, 10, 20, 30, 40};
    ASSERT_EQ(typed_array::length_q(a), 5);
    for (int i = 0; i < 5; i++) EXPECT_EQ(typed_array::pick_ptr(a, i + 1), expected[i]);
}

TEST(TypedArray, FindAndRemove) {
    Node empty = typed_array::make(4, 4);
    EXPECT_EQ(typed_array::find_ptr(empty, 0), -1);

    Node a = typed_array::make(4, 4);
    for (uint32_t v : {4u, 8u, 15u, 16u, 8u}) typed_array::append_ptr(a, v);
    EXPECT_EQ(typed_array::remove_ptr(a, 99), -1);
    EXPECT_EQ(typed_array::length_q(a), 5);
    EXPECT_EQ(typed_array::remove_ptr(a, 8), 4);  // the first of the two
    const uint32_t expected[] = {4, 15, 16, 8};
    ASSERT_EQ(typed_array::length_q(a), 4);
    for (int i = 0; i < 4; i++) EXPECT_EQ(typed_array::pick_ptr(a, i + 1), expected[i]);
    typed_array::remove_at(a, 0, 8);
    EXPECT_EQ(typed_array::length_q(a), 2);
    EXPECT_EQ(typed_array::pick_ptr(a, 1), 16u);
}

TEST(TypedArray, TruncateClearAndCopy) {
    Node a = typed_array::make(0, 4);
    for (uint32_t i = 1; i <= 6; i++) typed_array::append_ptr(a, i);
    typed_array::truncate(a, 4);  // keeps three items
    EXPECT_EQ(typed_array::length_q(a), 3);
    Node b = typed_array::copy(a);
    typed_array::poke_ptr(a, 1, 100);
    EXPECT_EQ(typed_array::pick_ptr(b, 1), 1u);
    EXPECT_EQ(typed_array::length_q(b), 3);
    EXPECT_EQ(typed_array::get_flags(b) & SERIES_UNIT_MASK, 4u);
    typed_array::clear(a);
    EXPECT_EQ(typed_array::length_q(a), 0);
    EXPECT_EQ(typed_array::length_q(b), 3);
}

TEST(TypedArray, Bytes) {
    Node a = typed_array::make(0, 1);
    typed_array::append_byte(a, 'x');
    typed_array::append_bytes(a, "hello, world", 12);
    for (int i = 0; i < 40; i++) typed_array::append_byte(a, uint8_t(i));
    EXPECT_EQ(typed_array::length_q(a), 53);
    EXPECT_EQ(typed_array::pick_byte(a, 1), 'x');
    EXPECT_EQ(typed_array::pick_byte(a, 2), 'h');
    EXPECT_EQ(typed_array::pick_byte(a, 53), 39);
    EXPECT_EQ(std::memcmp(memory::series_of(a)->head() + 1, "hello", 5), 0);
}
