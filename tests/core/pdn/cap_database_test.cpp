#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "pdn/cap_database.h"
#include "util/debug_log.h"

namespace fs = std::filesystem;

namespace {
CapRecord Rec(float c, float esr = 0.01f, float esl = 1e-9f)
{
    CapRecord r;
    r.Capacitance = c;
    r.ESR = esr;
    r.ESL = esl;
    return r;
}

std::vector<float> Values(const CapDatabase& db)
{
    std::vector<float> v;
    for (int i = 0; i < db.Count; ++i) {
        EXPECT_EQ(db.Caps[i].Index, static_cast<uint32_t>(i));
        v.push_back(db.Caps[i].Capacitance);
    }
    return v;
}

fs::path TempDir()
{
    fs::path dir = fs::temp_directory_path() / ("korvex_capdb_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}
}  // namespace

TEST(CapDatabase, InsertDeleteAndRenumber)
{
    CapDatabase db;
    EXPECT_EQ(AddCap(&db, 1, &gCapDatabase.Caps[0]), -1);  // past Count
    const CapRecord a = Rec(1), b = Rec(2), c = Rec(3), d = Rec(4);
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
    ASSERT_EQ(DeleteCap(&db, 0), 0);
    ASSERT_EQ(DeleteCap(&db, 1), 0);
    ASSERT_EQ(DeleteCap(&db, 0), 0);
    EXPECT_EQ(db.Count, 0);

    const CapRecord none = GetCap(&db, 0);
    EXPECT_EQ(none.Capacitance, 0.0f);
    EXPECT_EQ(GetCap(nullptr, 0).ESR, 0.0f);
    EXPECT_EQ(EmptyCapDatabase(nullptr), -1);
    FreeCapDatabase(&db);
}

TEST(CapDatabase, BuiltInTables)
{
    CapDatabase db;
    ASSERT_EQ(InitCapDatabase(&db), 0);
    ASSERT_EQ(db.Count, n_E6Init);
    EXPECT_EQ(n_E6Init, 42);
    for (int i = 1; i < db.Count; ++i) {
        EXPECT_GT(db.Caps[i].Capacitance, db.Caps[i - 1].Capacitance) << i;
        EXPECT_LE(db.Caps[i].ESR, db.Caps[i - 1].ESR) << i;
    }
    EXPECT_NEAR(db.Caps[6].Capacitance / db.Caps[0].Capacitance, 10.0, 1e-5);
    EXPECT_FLOAT_EQ(db.Caps[0].ESR, 0.56f);
    EXPECT_FLOAT_EQ(db.Caps[34].ESL, 0.7e-9f);
    EXPECT_FLOAT_EQ(db.Caps[35].ESL, 0.9e-9f);
    EXPECT_FLOAT_EQ(db.Caps[41].ESR, 0.005f);
    ASSERT_EQ(InitCapDatabaseCreateSpice(&db), 0);
    ASSERT_EQ(db.Count, 1);
    EXPECT_FLOAT_EQ(db.Caps[0].Capacitance, 1e-7f);
    EXPECT_FLOAT_EQ(db.Caps[0].ESR, 0.01f);
    EXPECT_FLOAT_EQ(db.Caps[0].ESL, 1e-9f);
    FreeCapDatabase(&db);
}

TEST(CapDatabase, CsvRoundTripAndFormat)
{
    const fs::path dir = TempDir();
    const std::string path = (dir / "CapStd.csv").string();
    CapDatabase db;
    InitCapDatabase(&db);
    const CapRecord odd = Rec(1.2345678e-7f, 0.0123456f, 3.21e-10f);
    AddCap(&db, 3, &odd);
    ASSERT_EQ(SaveCapDatabase(&db, path.c_str()), 0);

    std::ifstream in(path);
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, "Capacitance;ESR;ESL");
    EXPECT_EQ(first, "1.000000e-10;5.600000e-01;7.000000e-10");

    CapDatabase back;
    ASSERT_EQ(LoadCapDatabase(&back, path.c_str()), 0);
    ASSERT_EQ(back.Count, db.Count);
    for (int i = 0; i < db.Count; ++i) {
        EXPECT_NEAR(back.Caps[i].Capacitance, db.Caps[i].Capacitance, db.Caps[i].Capacitance * 1e-6);
        EXPECT_NEAR(back.Caps[i].ESR, db.Caps[i].ESR, db.Caps[i].ESR * 1e-6);
        EXPECT_NEAR(back.Caps[i].ESL, db.Caps[i].ESL, db.Caps[i].ESL * 1e-6);
        EXPECT_EQ(back.Caps[i].Index, static_cast<uint32_t>(i));
    }
    FreeCapDatabase(&db);
    FreeCapDatabase(&back);
    fs::remove_all(dir);
}

TEST(CapDatabase, LoadSkipsBadLinesAndKeepsListOnFailure)
{
    const fs::path dir = TempDir();
    const std::string path = (dir / "caps.csv").string();
    std::ofstream(path) << "Capacitance;ESR;ESL\r\n1e-6;0.01;1e-9\r\nnonsense\r\n2e-6;0.02\r\n 3e-6; 0.03;2e-9\r\n";
    CapDatabase db;
    ASSERT_EQ(LoadCapDatabase(&db, path.c_str()), 0);
    EXPECT_EQ(Values(db), (std::vector<float>{1e-6f, 3e-6f}));

    DebugCapture log;
    const std::string missing = (dir / "missing.csv").string();
    EXPECT_EQ(LoadCapDatabase(&db, missing.c_str()), -1);
    EXPECT_TRUE(log.Contains(missing + " not found\r\n"));
    EXPECT_EQ(db.Count, 2);  // unchanged by the failed load

    const std::string empty = (dir / "empty.csv").string();
    std::ofstream(empty).flush();
    EXPECT_EQ(LoadCapDatabase(&db, empty.c_str()), -1);
    EXPECT_TRUE(log.Contains("Error in File\r\n"));

    const std::string headerOnly = (dir / "header.csv").string();
    std::ofstream(headerOnly) << "Capacitance;ESR;ESL\n";
    EXPECT_EQ(LoadCapDatabase(&db, headerOnly.c_str()), 0);
    EXPECT_EQ(db.Count, 0);

    // Start-up: a missing catalogue is built from the table and written out.
    const std::string startup = (dir / "CapStd.csv").string();
    EXPECT_EQ(LoadOrCreateCapStd(&db, startup.c_str()), 1);
    EXPECT_EQ(db.Count, n_E6Init);
    EXPECT_TRUE(log.Contains("CapStd.csv created\r\n"));
    EXPECT_EQ(LoadOrCreateCapStd(&db, startup.c_str()), 0);
    EXPECT_EQ(db.Count, n_E6Init);
    FreeCapDatabase(&db);
    fs::remove_all(dir);
}

TEST(CapDatabase, FailedSaveKeepsPreviousFile)
{
    const fs::path dir = TempDir();
    CapDatabase db;
    InitCapDatabaseCreateSpice(&db);
    DebugCapture log;
    const std::string blocked = (dir / "no_such_folder" / "x.csv").string();
    std::string error;
    EXPECT_EQ(SaveCapDatabase(&db, blocked.c_str(), &error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(log.Contains(" not found\r\n"));
    FreeCapDatabase(&db);
    fs::remove_all(dir);
}
