#include "utils/ObjectPool.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "utils/SourceLine.h"

namespace {

struct Counted {
    static std::atomic<int> alive;
    std::string text;
    explicit Counted(std::string text) : text(std::move(text)) { ++alive; }
    ~Counted() { --alive; }
};
std::atomic<int> Counted::alive{0};

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
    auto fresh = pool.make<SourceLine>(std::string("nop"), 4);
    EXPECT_EQ(old->text, "move 1, R1");
    EXPECT_EQ(old->lineNr, 3);
    EXPECT_EQ(fresh->text, "nop");
}

TEST(ObjectPoolTest, RenewUsesTheRoomAgainWhenNothingLivesInIt) {
    ObjectPool pool;
    const void* first = pool.make<SourceLine>(std::string("a")).get();
    for (int i = 0; i < 5000; ++i) // more than one block
        pool.make<SourceLine>(std::string("b"));
    pool.renew();
    EXPECT_EQ(pool.make<SourceLine>(std::string("c")).get(), first);
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

TEST(ObjectPoolTest, ObjectsLetGoOfOnAnotherThread) {
    ObjectPool pool;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::shared_ptr<Counted>> made;
        for (int i = 0; i < 500; ++i)
            made.push_back(pool.make<Counted>("round"));
        std::thread other([moved = std::move(made)]() mutable { moved.clear(); });
        for (int i = 0; i < 500; ++i)
            pool.make<Counted>("meanwhile");
        other.join();
    }
    EXPECT_EQ(Counted::alive, 0);
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
#endif
