#include "utils/ObjectPool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "utils/SourceLine.h"

namespace {

struct Counted {
    static int alive;
    std::string text;
    explicit Counted(std::string text) : text(std::move(text)) { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

struct Throws {
    explicit Throws(bool fail) {
        if (fail)
            throw std::runtime_error("no");
    }
};

struct alignas(64) Wide {
    char bytes[64];
};

struct Huge {
    std::array<char, 200 * 1024> bytes;
};

// Larger than any room the pool reuses, with the alignment of a pointer.
struct Large {
    std::array<char, 600> bytes;
};

// Lines that all live until the vector goes: a round that spans many blocks.
std::vector<std::shared_ptr<SourceLine>> manyLines(ObjectPool& pool, int count) {
    std::vector<std::shared_ptr<SourceLine>> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(pool.make<SourceLine>(std::string("move 1, R1"), i));
    return lines;
}

} // namespace

// The sanitizer builds turn a use of freed room or a block never given back
// into a failure, so these tests show the life of the memory, not only values.
TEST(ObjectPoolTest, ObjectsOutliveThePoolThatMadeThem) {
    std::shared_ptr<Counted> kept;
    {
        ObjectPool pool;
        kept = pool.make<Counted>("a text longer than the small-string room");
        pool.make<Counted>("dropped at once");
    }
    ASSERT_EQ(Counted::alive, 1);
    EXPECT_EQ(kept->text, "a text longer than the small-string room");
    kept.reset();
    EXPECT_EQ(Counted::alive, 0);
}

TEST(ObjectPoolTest, RenewLeavesLiveObjectsWhereTheyAre) {
    ObjectPool pool;
    auto old = pool.make<SourceLine>(std::string("move 1, R1"), 3);
    pool.renew();
    EXPECT_EQ(pool.heldBytes(), 0u) << "the blocks stay with the living line";
    auto fresh = pool.make<SourceLine>(std::string("nop"), 4);
    EXPECT_EQ(old->text, "move 1, R1");
    EXPECT_EQ(old->lineNr, 3);
    EXPECT_EQ(fresh->text, "nop");
}

TEST(ObjectPoolTest, RenewUsesTheRoomAgainWhenNothingLivesInIt) {
    ObjectPool pool;
    const void* first = pool.make<SourceLine>(std::string("a")).get();
    manyLines(pool, 5000); // more than one block
    pool.renew();
    EXPECT_EQ(pool.make<SourceLine>(std::string("c")).get(), first);
}

// A long-lived pool that once made a large round must not hold its room for
// ever: the next round keeps it, a smaller round after that gives it back.
TEST(ObjectPoolTest, BlocksALaterRoundDoesNotReachGoBackToTheHeap) {
    ObjectPool small;
    small.make<SourceLine>(std::string("nop"));
    const size_t oneBlock = small.heldBytes();
    ASSERT_GT(oneBlock, 0u);

    ObjectPool pool;
    manyLines(pool, 20000);
    const size_t large = pool.heldBytes();
    ASSERT_GT(large, 10 * oneBlock);
    pool.renew();
    EXPECT_EQ(pool.heldBytes(), large) << "room for one more round like it";
    manyLines(pool, 20000);
    pool.renew();
    EXPECT_EQ(pool.heldBytes(), large) << "a round as large keeps it all";

    const void* start = pool.make<SourceLine>(std::string("nop")).get();
    pool.renew();
    EXPECT_EQ(pool.heldBytes(), oneBlock);
    EXPECT_EQ(pool.make<SourceLine>(std::string("nop")).get(), start) << "the kept block is reused";
    manyLines(pool, 20000);
    EXPECT_EQ(pool.heldBytes(), large) << "and a large round grows it again";
}

TEST(ObjectPoolTest, RoomOfADeadObjectGoesToTheNextOfItsSize) {
    ObjectPool pool;
    auto keep = pool.make<Counted>("kept");
    const void* dead = pool.make<Counted>("dies").get();
    auto line = pool.make<SourceLine>(std::string("another size"));
    EXPECT_NE(static_cast<const void*>(line.get()), dead);
    EXPECT_EQ(static_cast<const void*>(pool.make<Counted>("reuses").get()), dead);
}

TEST(ObjectPoolTest, AFailedConstructionGivesItsRoomBack) {
    ObjectPool pool;
    const void* room = pool.make<Throws>(false).get(); // dies at once
    EXPECT_THROW(pool.make<Throws>(true), std::runtime_error);
    EXPECT_EQ(pool.make<Throws>(false).get(), room);
    // Nothing is counted as living: the pool starts over at the same room.
    pool.renew();
    EXPECT_EQ(pool.make<Throws>(false).get(), room);
}

TEST(ObjectPoolTest, AlignmentAndSizesBeyondABlock) {
    ObjectPool pool;
    std::vector<std::shared_ptr<Wide>> wide;
    for (int i = 0; i < 50; ++i) {
        wide.push_back(pool.make<Wide>());
        EXPECT_EQ(reinterpret_cast<uintptr_t>(wide.back().get()) % 64, 0u);
    }
    auto huge = pool.make<Huge>();
    huge->bytes.fill('x');
    auto after = pool.make<Counted>("after a huge one");
    EXPECT_EQ(huge->bytes.back(), 'x');
    EXPECT_EQ(after->text, "after a huge one");
}

#ifdef VOREL_POOL_CHECKED
TEST(ObjectPoolTest, DeadAndUnusedRoomIsClosedToTheSanitizer) {
    ObjectPool pool;
    auto live = pool.make<Counted>("live");
    const char* dead = reinterpret_cast<const char*>(pool.make<Counted>("dead").get());
    const char* alive = reinterpret_cast<const char*>(live.get());
    EXPECT_FALSE(__asan_address_is_poisoned(alive));
    EXPECT_TRUE(__asan_address_is_poisoned(dead));
    EXPECT_TRUE(__asan_address_is_poisoned(alive + 1024)) << "the rest of the block";
    // Taken again, the room is open to its new object.
    auto again = pool.make<Counted>("again");
    EXPECT_EQ(reinterpret_cast<const char*>(again.get()), dead);
    EXPECT_FALSE(__asan_address_is_poisoned(dead));
}

template <typename T> void expectClosedOnceDead(ObjectPool& pool, const char* what) {
    auto object = pool.make<T>();
    const char* room = reinterpret_cast<const char*>(object.get());
    EXPECT_FALSE(__asan_address_is_poisoned(room)) << what;
    object.reset();
    for (size_t i = 0; i < sizeof(T); ++i)
        if (!__asan_address_is_poisoned(room + i)) {
            ADD_FAILURE() << what << ": byte " << i << " of " << sizeof(T) << " is open";
            return;
        }
}

TEST(ObjectPoolTest, DeadRoomOfEverySizeIsClosedToTheSanitizer) {
    ObjectPool pool;
    expectClosedOnceDead<SourceLine>(pool, "a line, room that is reused");
    expectClosedOnceDead<Large>(pool, "larger than reused room");
    expectClosedOnceDead<Wide>(pool, "aligned beyond a pointer");
    expectClosedOnceDead<Huge>(pool, "larger than a block");
}
#endif
