#include <gtest/gtest.h>

#include "board/settings.h"
#include "diagram/diagram.h"
#include "pdn/simulate_s_capacitor.h"
#include "pdn_test_support.h"

using namespace korvex;
using namespace korvex::pdn_test;

namespace {

// A lossless through connection (S21 = S12 = 1, S11 = S22 = 0) shows the
// capacitor itself at the port, recomputed for new values from one run.
TEST(SimulateSCapacitor, ThroughConnectionShowsTheCapacitorItself)
{
    SimulateSCapacitorData data;
    const std::vector<double> f = LogGrid(1e5, 1e9, 41);
    ASSERT_EQ(AllocSimulateSCapacitor(&data, static_cast<int>(f.size())), 0);
    for (size_t k = 0; k < f.size(); ++k) {
        data.Frequency[k] = f[k];
        data.S21[k] = data.S12[k] = Complex(1, 0);
    }
    Settings settings;
    Diagram diagram;
    ASSERT_EQ(PrepareSimulateSCapacitorDiagram(&diagram, &settings, &data), 0);
    EXPECT_STREQ(diagram.Curve[0].szName, "Z11c");
    EXPECT_FLOAT_EQ(diagram.fMinX, static_cast<float>(settings.StartFrequency));
    for (float c : {1e-6f, 4.7e-9f}) {
        Cap cap{.Capacitance = c, .ESR = 0.02f, .ESL = 1e-9f};
        ASSERT_EQ(SimulateSCapacitorDrawDiagram(&diagram, &cap, &data), 0);
        for (size_t k = 0; k < f.size(); ++k) {
            const DComplex expected = SeriesRlc(f[k], c, 0.02, 1e-9);
            EXPECT_NEAR(diagram.Curve[0].pY[k], expected.r, 1e-6 + 1e-6 * Cabs(expected));
            EXPECT_NEAR(diagram.Curve[0].pZ[k], expected.i, 1e-6 + 1e-6 * Cabs(expected));
            EXPECT_NEAR(data.Z11c[k].i, expected.i, 1e-6 + 1e-6 * Cabs(expected));
        }
    }
    EXPECT_GT(diagram.fMinY, 0.0f);  // log axis by default
}

TEST(SimulateSCapacitor, OpenCapacitorAndShortPortEdges)
{
    SimulateSCapacitorData data;
    ASSERT_EQ(AllocSimulateSCapacitor(&data, 1), 0);
    data.Frequency[0] = 0;  // no reactance to form: the capacitor is an open end
    data.S11[0] = Complex(-1, 0);  // a short at the port
    const DComplex z = CapacitorLoadedZ11(0, data.S11[0], data.S21[0], data.S12[0], data.S22[0], 1e-6f, 0.01f, 1e-9f);
    EXPECT_NEAR(z.r, 0, 1e-12);
    EXPECT_NEAR(z.i, 0, 1e-12);
    Diagram diagram;
    Cap cap;
    SimulateSCapacitorData empty;
    EXPECT_EQ(SimulateSCapacitorDrawDiagram(&diagram, &cap, &empty), -1);
    EXPECT_EQ(PrepareSimulateSCapacitorDiagram(&diagram, nullptr, &data), -1);
    data.S22.clear();  // inconsistent record
    EXPECT_EQ(SimulateSCapacitorDrawDiagram(&diagram, &cap, &data), -1);
}

TEST(SimulateSCapacitor, BoardListChecksAndSetValues)
{
    Board b;
    AddCapacitor(b.board, 5);
    AddPort(b.board, 0);
    AddCapacitor(b.board, 1);
    CapList list;
    ASSERT_EQ(BuildBoardCapacitorList(&b.board, &list), 2);
    EXPECT_EQ(list.Caps[0].Ref, 1u);
    EXPECT_EQ(list.Caps[1].Ref, 5u);
    EXPECT_EQ(list.Caps[1].Index, 1u);
    EXPECT_EQ(list.Caps[0].pPart, GetPartfromID(&b.board, PART_CAP, 1));

    PdnMessage message;
    EXPECT_EQ(CheckSimulateSCapacitor(&b.board, 0, 5, &message), 0);
    EXPECT_EQ(CheckSimulateSCapacitor(&b.board, 2, 5, &message), -1);
    EXPECT_EQ(message.Text, "Did not find Port 2");
    EXPECT_EQ(CheckSimulateSCapacitor(&b.board, 0, 3, &message), -1);
    EXPECT_NE(message.Text.find("C3"), std::string::npos);

    ASSERT_EQ(SetBoardCapacitorValues(&b.board, 5, 2e-6f, 0.03f, 4e-10f, &list), 0);
    const Cap* placed = PartRecord<Cap>(GetPartfromID(&b.board, PART_CAP, 5));
    EXPECT_EQ(placed->Capacitance, 2e-6f);
    EXPECT_EQ(placed->ESL, 4e-10f);
    EXPECT_EQ(list.Caps[1].ESR, 0.03f);
    EXPECT_EQ(SetBoardCapacitorValues(&b.board, 9, 1, 1, 1, &list), -1);

    Board none;
    EXPECT_EQ(BuildBoardCapacitorList(&none.board, &list), 0);
    EXPECT_EQ(CheckSimulateSCapacitor(&none.board, 0, 0, &message), -1);
}

}  // namespace
