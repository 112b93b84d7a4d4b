#include <gtest/gtest.h>

#include <fstream>

#include "../util/test_files.h"
#include "pdn/cap_database.h"
#include "pdn_test_support.h"
#include "util/debug_log.h"

using namespace korvex;
using namespace korvex::pdn_test;

namespace {
// The capacitances in list order; checks that every index is the position.
std::vector<float> Values(const CapDatabase& db)
{
    std::vector<float> v;
    for (int i = 0; i < db.Count; ++i) {
        EXPECT_EQ(db.Caps[i].Index, static_cast<uint32_t>(i));
        v.push_back(db.Caps[i].Capacitance);
    }
    return v;
}

TEST(CapDatabase, InsertDeleteAndRenumber)
{
    CapList db;
    const CapRecord a = Branch(1), b = Branch(2), c = Branch(3), d = Branch(4);
    EXPECT_EQ(AddCap(&db, 1, &a), -1);  // past Count
    ASSERT_EQ(AddCap(&db, 0, &a), 0);
    ASSERT_EQ(AddCap(&db, 1, &b), 0);  // append at Count
    ASSERT_EQ(AddCap(&db, 0, &c), 0);  // prepend renumbers everything
    ASSERT_EQ(AddCap(&db, 2, &d), 0);
    EXPECT_EQ(Values(db), (std::vector<float>{3, 1, 4, 2}));
    EXPECT_EQ(AddCap(&db, -1, &a), -1);
    EXPECT_EQ(DeleteCap(&db, 4), -1);
    EXPECT_EQ(DeleteCap(&db, -1), -1);
    ASSERT_EQ(DeleteCap(&db, 1), 0);
    EXPECT_EQ(Values(db), (std::vector<float>{3, 4, 2}));
    for (int i : {0, 1, 0}) ASSERT_EQ(DeleteCap(&db, i), 0);
    EXPECT_EQ(db.Count, 0);
    EXPECT_EQ(GetCap(&db, 0).Capacitance, 0.0f);
    EXPECT_EQ(GetCap(nullptr, 0).ESR, 0.0f);
    EXPECT_EQ(EmptyCapDatabase(nullptr), -1);
}

// The built-in E6 table goes out as CapStd.csv text and reads back unchanged.
TEST(CapDatabase, BuiltInTableRoundTripsThroughCsv)
{
    test_files::TempFolder scratch("pdn_caps");
    const std::string path = scratch.Path("CapStd.csv");
    CapList db, back;
    ASSERT_EQ(InitCapDatabase(&db), 0);
    ASSERT_EQ(db.Count, 42);
    for (int i = 1; i < db.Count; ++i) {
        EXPECT_GT(db.Caps[i].Capacitance, db.Caps[i - 1].Capacitance) << i;
        EXPECT_LE(db.Caps[i].ESR, db.Caps[i - 1].ESR) << i;
    }
    EXPECT_NEAR(db.Caps[6].Capacitance / db.Caps[0].Capacitance, 10.0, 1e-5);  // E6: six values a decade
    const CapRecord odd = Branch(1.2345678e-7f, 0.0123456f, 3.21e-10f);
    AddCap(&db, 3, &odd);
    ASSERT_EQ(SaveCapDatabase(&db, path.c_str()), 0);
    std::ifstream in(path);
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, "Capacitance;ESR;ESL");
    EXPECT_EQ(first, "1.000000e-10;5.600000e-01;7.000000e-10");

    ASSERT_EQ(LoadCapDatabase(&back, path.c_str()), 0);
    ASSERT_EQ(back.Count, db.Count);
    for (int i = 0; i < db.Count; ++i)
        for (float CapRecord::*field : {&CapRecord::Capacitance, &CapRecord::ESR, &CapRecord::ESL})
            EXPECT_NEAR(back.Caps[i].*field, db.Caps[i].*field, db.Caps[i].*field * 1e-6) << i;
    EXPECT_EQ(Values(back).size(), 43u);
}

TEST(CapDatabase, BadFilesKeepTheListAndFailedSavesSayWhy)
{
    test_files::TempFolder scratch("pdn_caps");
    const std::string path = scratch.Path("caps.csv");
    std::ofstream(path) << "Capacitance;ESR;ESL\r\n1e-6;0.01;1e-9\r\nnonsense\r\n2e-6;0.02\r\n 3e-6; 0.03;2e-9\r\n";
    CapList db;
    ASSERT_EQ(LoadCapDatabase(&db, path.c_str()), 0);
    EXPECT_EQ(Values(db), (std::vector<float>{1e-6f, 3e-6f}));  // bad lines skipped

    DebugCapture log;
    const std::string missing = scratch.Path("missing.csv");
    EXPECT_EQ(LoadCapDatabase(&db, missing.c_str()), -1);
    EXPECT_TRUE(log.Contains(missing + " not found\r\n"));
    std::ofstream(scratch.Path("empty.csv")).flush();
    EXPECT_EQ(LoadCapDatabase(&db, scratch.Path("empty.csv").c_str()), -1);
    EXPECT_TRUE(log.Contains("Error in File\r\n"));
    EXPECT_EQ(db.Count, 2);  // unchanged by the failed loads
    std::string error;
    EXPECT_EQ(SaveCapDatabase(&db, scratch.Path("no_such_folder/x.csv").c_str(), &error), -1);
    EXPECT_FALSE(error.empty());

    std::ofstream(path) << "Capacitance;ESR;ESL\n";
    EXPECT_EQ(LoadCapDatabase(&db, path.c_str()), 0);
    EXPECT_EQ(db.Count, 0);
    // Start-up: a missing catalogue is built from the table and written out.
    const std::string startup = scratch.Path("CapStd.csv");
    EXPECT_EQ(LoadOrCreateCapStd(&db, startup.c_str()), 1);
    EXPECT_EQ(db.Count, n_E6Init);
    EXPECT_TRUE(log.Contains("CapStd.csv created\r\n"));
    EXPECT_EQ(LoadOrCreateCapStd(&db, startup.c_str()), 0);
    EXPECT_EQ(db.Count, n_E6Init);
}
}  // namespace
