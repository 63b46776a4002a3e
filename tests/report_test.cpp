// How the tests and the measuring tools write digests and medians (support/report.h).
#include <gtest/gtest.h>

#include <vector>

#include "support/report.h"

namespace {

// Upper-case is also pinned by every published digest the engine's tests compare
// with; md5sum's lower-case, by nothing else in CTest.
TEST(Report, HexWritesEachByteAsTwoDigitsHighFirst)
{
    const unsigned char bytes[] = {0x00, 0x0F, 0xA0, 0x5C, 0xFF};
    EXPECT_EQ("000FA05CFF", HexOfBytes(bytes, sizeof bytes));
    EXPECT_EQ("000fa05cff", HexOfBytes(bytes, sizeof bytes, HexCase::Lower));
}

// The tools' reports print medians of runs in the order they were measured.
TEST(Report, MedianIsTheMiddleOfTheSortedRunsOrTheMeanOfTheTwoMiddleOnes)
{
    const struct {
        std::vector<double> runs;
        double median;
    } table[] = {
        {{}, 0},  // nothing measured
        {{7}, 7},
        {{9, 1, 5}, 5},
        {{4, 1, 3, 2}, 2.5},
        {{2, 2, 8, 8, 8, 1}, 5},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.median, Median(row.runs)) << row.runs.size() << " runs";
}

}  // namespace
