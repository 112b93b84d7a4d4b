// The project as one owner: open, change, save, reopen to the same bytes;
// moved and destroyed without leaks (run under AddressSanitizer too); open
// refusals that say why and change nothing.
#include "project/project.h"

#include <gtest/gtest.h>

#include <utility>

#include "board/cap_list.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "board/voltage_noise_param.h"
#include "core/board/board_fixtures.h"
#include "core/util/test_files.h"
#include "diagram/diagram.h"
#include "mesh/mesh_generation.h"
#include "mesh/mesh_model.h"
#include "netlist/ac_job.h"
#include "util/debug_log.h"

namespace korvex {
namespace {

using testing_board::AddEveryPartKind;
using testing_board::MakeBoard;
using test_files::ReadBytes;
using test_files::TempFolder;
using test_files::WriteBytes;

// A small board with every part kind, two capacitors in the project's list
// and noise parameters that differ from the defaults.
void FillProject(Project& p)
{
    MakeBoard(&p.Board(), 6, 4, 2);
    AddEveryPartKind(&p.Board());
    for (float c : {1e-6f, 1e-9f}) {
        CapRecord record;
        record.Capacitance = c;
        AddCap(&p.Caps(), p.Caps().Count, &record);
    }
    p.NoiseParam().T = 2e-7f;
    p.MarkModified();
}

TEST(Project, SavedReopenedChangedAndSavedAgainKeepsEveryByte)
{
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        TempFolder t(compressed ? "project_gz" : "project_plain");
        const std::string first = t.Path("first.sav"), second = t.Path("second.sav");
        Project saved;
        EXPECT_FALSE(saved.IsModified());
        EXPECT_FALSE(saved.Save().IsOk());  // no file name yet
        FillProject(saved);
        const uint32_t parts = CountParts(&saved.Board());
        ASSERT_TRUE(saved.SaveAs(first, compressed).IsOk());
        EXPECT_FALSE(saved.IsModified());
        EXPECT_EQ(saved.Path(), first);
        const std::vector<uint8_t> bytes = ReadBytes(first);

        Project p;
        ASSERT_TRUE(p.Open(first).IsOk());
        EXPECT_FALSE(p.IsModified());
        EXPECT_EQ(p.IsCompressed(), compressed);
        EXPECT_EQ(CountParts(&p.Board()), parts);
        EXPECT_EQ(p.Caps().Count, 2);
        EXPECT_EQ(p.NoiseParam().T, compressed ? 2e-7f : VoltageNoiseTimeParam{}.T);  // plain files keep none

        // Changed and saved in place, in the form the file had; changed back: the first bytes again.
        Via via;
        via.x = 1;
        ASSERT_TRUE(AddPart(&p.Board(), PART_VIA, &via).IsOk());
        p.MarkModified();
        ASSERT_TRUE(p.Save().IsOk());
        EXPECT_FALSE(p.IsModified());
        Project reopened;
        ASSERT_TRUE(reopened.Open(first).IsOk());
        EXPECT_EQ(reopened.IsCompressed(), compressed);
        EXPECT_EQ(CountParts(&reopened.Board()), parts + 1);
        Part* last = reopened.Board().pFirstPart;
        while (last->pNext != nullptr) last = last->pNext;
        DeletePart(&reopened.Board(), last);
        ASSERT_TRUE(reopened.SaveAs(second, compressed).IsOk());
        EXPECT_EQ(ReadBytes(second), bytes);
    }
}

TEST(Project, MovedKeepsItsRecordsAndFreesThemOnce)
{
    Project a;
    FillProject(a);
    Settings settings = a.SettingsRecord();
    ASSERT_EQ(CreateMesh(&a.Board(), &a.MeshRecord(), nullptr, &settings), 0);
    ASSERT_EQ(InitDiagramData(&a.DiagramRecord(), "Zin", 0, 3), 0);
    a.AcJobForMode(AC_MODE_S21)->SourcePort = 7;
    SimMatrix* board = &a.Board();
    const int nodes = CountNodes(&a.MeshRecord());
    ASSERT_GT(nodes, 0);

    Project b(std::move(a));
    EXPECT_EQ(&b.Board(), board);
    EXPECT_EQ(CountNodes(&b.MeshRecord()), nodes);
    EXPECT_EQ(b.AcJobForMode(AC_MODE_S21)->SourcePort, 7u);
    EXPECT_TRUE(b.IsModified());

    Project c;
    FillProject(c);  // freed when b is moved over it
    c = std::move(b);
    EXPECT_EQ(&c.Board(), board);
    EXPECT_EQ(c.Caps().Count, 2);
    // The job records are the project's own, not the program's.
    EXPECT_EQ(gAcJobS21.SourcePort, 0u);
    JobEnvironment env = c.Environment();
    EXPECT_EQ(env.Board, board);
    EXPECT_EQ(env.Counters, &c.Counters());
}

TEST(Project, OpenRefusalSaysWhyAndKeepsTheProject)
{
    TempFolder t("project_refusal");
    Project good;
    FillProject(good);
    const std::string valid = t.Path("valid.sav");
    ASSERT_TRUE(good.SaveAs(valid, false).IsOk());
    const uint32_t parts = CountParts(&good.Board());
    const std::vector<uint8_t> bytes = ReadBytes(valid);

    struct Case {
        const char* name;
        size_t keep;  // bytes of the valid file written, SIZE_MAX: none (no file)
        const char* reason;
    };
    const Case cases[] = {
        {"missing file", SIZE_MAX, "cannot open"},
        {"truncated capacitor list", bytes.size() - 10, "inside a [CAPS] record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = t.Path(std::string(c.name) + ".sav");
        if (c.keep != SIZE_MAX) WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.keep));
        Project p;
        ASSERT_TRUE(p.Open(valid).IsOk());
        p.MarkModified();
        const Status opened = p.Open(path);
        EXPECT_FALSE(opened.IsOk());
        EXPECT_NE(opened.Reason().find(c.reason), std::string::npos) << opened.Reason();
        EXPECT_EQ(p.Path(), valid);
        EXPECT_TRUE(p.IsModified());
        EXPECT_EQ(CountParts(&p.Board()), parts);
        EXPECT_EQ(p.Caps().Count, 2);
    }
}

}  // namespace
}  // namespace korvex
