// The byte ring: partial writes and reads at the limits, wrapping in two pieces, discarding.

#include "CircularBuffer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>
#include <vector>

namespace {

std::vector<unsigned char> sequence(int size, unsigned char first)
{
    std::vector<unsigned char> v(size);
    std::iota(v.begin(), v.end(), first);
    return v;
}

TEST(CircularBuffer, startsEmptyWithItsCapacity)
{
    CircularBuffer ring(16, false);
    EXPECT_EQ(ring.size(), 16);
    EXPECT_EQ(ring.avail(), 0);
    EXPECT_EQ(ring.space(), 16);
    EXPECT_NE(ring.mutex(), nullptr);
    EXPECT_EQ(CircularBuffer(16, true).mutex(), nullptr);
}

// Each row: bytes written then read before the measured step, then the step itself.
struct TWrapCase
{
    const char* name;
    int before;    // bytes written and read back first (moves both positions)
    int write;     // bytes offered
    int written;   // bytes accepted
    int read;      // bytes asked for
};

void PrintTo(const TWrapCase& c, std::ostream* os) { *os << c.name; }

class CircularBufferWrap : public ::testing::TestWithParam<TWrapCase>
{
};

TEST_P(CircularBufferWrap, keepsBytesInOrder)
{
    const TWrapCase c = GetParam();
    CircularBuffer ring(16, false);
    std::lock_guard<CircularBuffer> lock(ring);

    std::vector<unsigned char> scratch(16);
    const auto first = sequence(c.before, 100);
    ASSERT_EQ(ring.write(first.data(), c.before), c.before);
    ASSERT_EQ(ring.read(scratch.data(), c.before), c.before);

    const auto data = sequence(c.write, 1);
    EXPECT_EQ(ring.write(data.data(), c.write), c.written);
    EXPECT_EQ(ring.avail(), c.written);
    EXPECT_EQ(ring.space(), 16 - c.written);

    std::vector<unsigned char> out(c.read, 0);
    const int taken = ring.read(out.data(), c.read);
    EXPECT_EQ(taken, std::min(c.read, c.written));
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + taken, data.begin()));
    EXPECT_EQ(ring.avail(), c.written - taken);
}

INSTANTIATE_TEST_SUITE_P(Table, CircularBufferWrap,
                         ::testing::Values(TWrapCase{"fits_at_start", 0, 10, 10, 10},
                                           TWrapCase{"exactly_to_the_end", 6, 10, 10, 10},
                                           TWrapCase{"wraps_in_two_pieces", 12, 10, 10, 10},
                                           TWrapCase{"full_from_the_middle", 9, 16, 16, 16},
                                           TWrapCase{"write_beyond_space_is_cut", 5, 20, 16, 16},
                                           TWrapCase{"read_beyond_avail_is_cut", 14, 5, 5, 12},
                                           TWrapCase{"nothing_offered", 3, 0, 0, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CircularBuffer, recordsSurviveManyWrapsAndNullReadDiscards)
{
    // 56-byte records through a 200-byte ring: the positions wrap at every offset.
    CircularBuffer ring(200, true);
    std::lock_guard<CircularBuffer> lock(ring);
    std::vector<unsigned char> out(56);
    for (int i = 0; i < 500; ++i) {
        const auto record = sequence(56, static_cast<unsigned char>(i));
        ASSERT_EQ(ring.write(record.data(), 56), 56);
        if (i % 3 == 0) {
            ASSERT_EQ(ring.read(nullptr, 56), 56); // discarded
            continue;
        }
        ASSERT_EQ(ring.read(out.data(), 56), 56);
        ASSERT_EQ(out, record) << "record " << i;
    }
    EXPECT_EQ(ring.avail(), 0);
}

TEST(CircularBuffer, rejectsNegativeAndNullArguments)
{
    CircularBuffer ring(8, false);
    const unsigned char byte = 1;
    EXPECT_EQ(ring.write(&byte, -1), 0);
    EXPECT_EQ(ring.write(nullptr, 4), 0);
    EXPECT_EQ(ring.read(nullptr, -3), 0);
    EXPECT_EQ(ring.avail(), 0);
}

} // namespace
