#include "sysinfo/JclAppInstTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The table lives in a heap block of exactly its size, so the sanitizer
// catches any access beyond the 1032 bytes.
class InstanceTableTest : public ::testing::Test {
protected:
    InstanceTableTest() : block_(sizeof(InstanceTable)) {}
    InstanceTable& Table() { return *reinterpret_cast<InstanceTable*>(block_.data()); }

    std::vector<unsigned char> block_;
};

TEST_F(InstanceTableTest, TheFirstSetsTheLimitAndThoseOverItAreRefusedButAppended) {
    EXPECT_TRUE(RegisterInstanceId(Table(), 2, 10));
    EXPECT_EQ(Table().MaxInstances, 2);
    EXPECT_TRUE(RegisterInstanceId(Table(), 5, 20));
    EXPECT_FALSE(RegisterInstanceId(Table(), 5, 30));
    EXPECT_EQ(Table().MaxInstances, 2);
    EXPECT_EQ(Table().Count, 3);
    EXPECT_EQ(InstanceIdAt(Table(), 0), 10u);
    EXPECT_EQ(InstanceIdAt(Table(), 2), 30u);
}

// The first slot holding the id goes, the later ones move down in order;
// an id that is not there changes nothing.
TEST_F(InstanceTableTest, RemovalTakesTheFirstSlotOfAnIdAndKeepsTheOrder) {
    for (std::uint32_t id : {1u, 7u, 3u, 7u}) RegisterInstanceId(Table(), 10, id);
    EXPECT_TRUE(RemoveInstanceId(Table(), 7));
    EXPECT_EQ(Table().Count, 3);
    EXPECT_EQ(InstanceIdAt(Table(), 0), 1u);
    EXPECT_EQ(InstanceIdAt(Table(), 1), 3u);
    EXPECT_EQ(InstanceIdAt(Table(), 2), 7u);
    EXPECT_EQ(Table().ProcessIds[3], 0u);

    std::vector<unsigned char> before = block_;
    EXPECT_FALSE(RemoveInstanceId(Table(), 6));
    EXPECT_EQ(block_, before);
}

TEST_F(InstanceTableTest, SlotsAtOrBeyondTheCountReadAsZero) {
    RegisterInstanceId(Table(), 1, 42);
    Table().ProcessIds[1] = 99;  // stale entry behind the count
    EXPECT_EQ(InstanceIdAt(Table(), 0), 42u);
    EXPECT_EQ(InstanceIdAt(Table(), 1), 0u);
    EXPECT_EQ(InstanceIdAt(Table(), -1), 0u);
    EXPECT_EQ(InstanceIdAt(Table(), 1000), 0u);
}

TEST_F(InstanceTableTest, ADamagedCountStaysInsideTheBlock) {
    std::memset(block_.data(), 0xFF, block_.size());
    EXPECT_EQ(InstanceCount(Table()), 257);
    EXPECT_EQ(InstanceIdAt(Table(), 256), 0xFFFFFFFFu);
    EXPECT_EQ(InstanceIdAt(Table(), 257), 0u);

    std::vector<unsigned char> before = block_;
    EXPECT_FALSE(RegisterInstanceId(Table(), 1, 1));
    EXPECT_EQ(block_, before);

    Table().ProcessIds[256] = 77;
    EXPECT_TRUE(RemoveInstanceId(Table(), 77));
    EXPECT_EQ(Table().Count, 256);
    EXPECT_FALSE(RemoveInstanceId(Table(), 78));
}

TEST_F(InstanceTableTest, AFullTableRefusesAndAppendsNothing) {
    for (std::uint32_t id = 1; id <= 257; ++id) ASSERT_TRUE(RegisterInstanceId(Table(), 1000, id));
    EXPECT_EQ(Table().Count, 257);
    EXPECT_FALSE(RegisterInstanceId(Table(), 1000, 9999));
    EXPECT_EQ(Table().Count, 257);
    EXPECT_EQ(InstanceIdAt(Table(), 256), 257u);

    EXPECT_TRUE(RemoveInstanceId(Table(), 1));
    EXPECT_TRUE(RegisterInstanceId(Table(), 1000, 9999));
    EXPECT_EQ(InstanceIdAt(Table(), 256), 9999u);
}

}  // namespace
