#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "board/citi_file.h"
#include "diagram/diagram.h"
#include "diagram/diagram_citi.h"

using namespace korvex;

namespace {

// A record with the given traces; values re = 0.1 (i + 1), im = 0. It owns
// its arrays, as one read from a file does.
struct Record : SPARAM {
    Record(uint32_t count, bool withS12)
    {
        Count = count;
        const auto array = [count](bool real) {
            auto* values = static_cast<double*>(std::calloc(count + 1, sizeof(double)));
            for (uint32_t i = 0; real && i < count; ++i) values[i] = 0.1 * (i + 1);
            return values;
        };
        S11Re = array(true), S21Re = array(true), S22Re = array(true);
        S11Im = array(false), S21Im = array(false), S22Im = array(false);
        if (withS12) {
            S12Re = array(true);
            S12Im = array(false);
        }
    }
};

TEST(DiagramCiti, SegmentGivesLinearFrequencies)
{
    Record data(201, true);
    data.FrequencyStart = 1000000;
    data.FrequencyStop = 1000000000;
    Diagram d;
    ASSERT_EQ(InitDiagramData(&d, "Zin(i000)", 0, 3), 0);
    ASSERT_EQ(FillDiagramFromCITI(&d, &data), 0);
    const char* names[] = {"S11", "S12", "S21", "S22"};
    for (int t = 0; t < 4; ++t) {
        ASSERT_EQ(d.RefCurve[t].PointCount, 201);
        EXPECT_STREQ(d.RefCurve[t].szName, names[t]);
        EXPECT_FLOAT_EQ(d.RefCurve[t].pX[0], 1e6f);
        EXPECT_FLOAT_EQ(d.RefCurve[t].pX[100], 5.005e8f);
        EXPECT_FLOAT_EQ(d.RefCurve[t].pX[200], 1e9f);
    }
    EXPECT_EQ(d.Curve[0].PointCount, 3);  // data curves untouched
    EXPECT_EQ(d.bLogX, 0u);
    EXPECT_EQ(d.YAxis, static_cast<unsigned>(kYAxisDb));
    EXPECT_FLOAT_EQ(d.fMaxY, 30.0f);  // 20.1 rounded up to one digit
    EXPECT_FLOAT_EQ(d.fMinY, 0.1f);
}

TEST(DiagramCiti, ListGivesDecadesMissingTracesStayEmptyAndShortRecordsStayFinite)
{
    Record data(4, false);
    data.LogSpacing = 1;
    data.StartExponent = 6;
    data.ExponentStep = 1;
    data.FrequencyStart = 1000000;
    data.FrequencyStop = 10000000000ull;
    Diagram d;
    ASSERT_EQ(InitDiagramDataRef(&d, "old", 1, 2), 0);
    ASSERT_EQ(FillDiagramFromCITI(&d, &data), 0);
    EXPECT_EQ(d.bLogX, 1u);
    EXPECT_EQ(d.RefCurve[1].PointCount, 0);  // no S12 in the record: the old curve is gone too
    EXPECT_EQ(d.RefCurve[1].bValid, 0u);
    const float expected[] = {1e6f, 1e7f, 1e8f, 1e9f};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(d.RefCurve[2].pX[i], expected[i]);

    // One point and an empty record stay finite.
    Record one(1, true);
    one.FrequencyStart = one.FrequencyStop = 5000000;
    ASSERT_EQ(FillDiagramFromCITI(&d, &one), 0);
    EXPECT_FLOAT_EQ(d.RefCurve[0].pX[0], 5e6f);
    SPARAM empty;
    ASSERT_EQ(FillDiagramFromCITI(&d, &empty), 0);
    for (const DiagramCurve& c : d.RefCurve) EXPECT_EQ(c.PointCount, 0);
    EXPECT_TRUE(std::isfinite(d.fMaxY));
    EXPECT_EQ(FillDiagramFromCITI(nullptr, &empty), -1);
}

}  // namespace
