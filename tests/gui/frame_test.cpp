// The frame: start-up, New, Open and Save, a refused job, enabling by the
// open board, unsaved changes on close, and jobs that run, fail with their
// log and are cancelled.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "board/example_board.h"
#include "board/project_file.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "edit/edit_view.h"
#include "frame/file_dialogs.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "gui_test_support.h"
#include "mesh/board_operations.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

// Writes the example board as a project; 0 on success.
int WriteExample(const QString& path, bool compressed)
{
    SimMatrix board;
    InitSimulationMatrix(&board);
    if (CreateExampleBoard(&board) != 0) return -1;
    const int rc = compressed ? gzSaveSimMatrix(path.toUtf8().constData(), &board)
                              : SaveSimMatrix(path.toUtf8().constData(), &board);
    freeSimulationMatrix(&board);
    return rc;
}

// Every value of the first layer of a raster.
std::vector<float> LayerValues(float*** raster, const SimMatrix& board)
{
    std::vector<float> values;
    for (uint32_t x = 0; x < board.CountPixelX; ++x)
        for (uint32_t y = 0; y < board.CountPixelY; ++y) values.push_back(raster[x][y][0]);
    return values;
}

}  // namespace

class FrameTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<MainFrame> frame_;

    // An executable shell script standing in for the simulator.
    QString SimulatorScript(const char* body)
    {
        static int count = 0;
        return ExecutableScript(folder_.filePath(QString("fake-sim-%1").arg(++count)), body);
    }

    // Starts the electrical job on a simulator that marks its start and then takes a minute; returns
    // once it runs. That the cancelled simulator's process group is killed and reaped is the job
    // runner's to check (tests/cli/jobs_test.cpp); here the frame's part of it.
    bool StartSlowSimulation()
    {
        const QString started = folder_.filePath("started");
        QFile::remove(started);
        gszFolderLTSPICE = SimulatorScript(qPrintable("touch '" + started + "'\nsleep 60\n")).toStdString();
        frame_->Execute(Command::SimulateElectrical);
        return frame_->Jobs()->IsRunning() && QTest::qWaitFor([&] { return QFile::exists(started); }, 20000);
    }

    // With valid settings start-up must ask nothing.
    void StartFrame(bool withSettings = true)
    {
        frame_ = std::make_unique<MainFrame>();
        test::StartFrame(frame_.get(), withSettings ? KORVEX_SIM : nullptr);
    }

    bool OpenMeshedDemo()
    {
        StartFrame();
        if (!frame_->OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav")) return false;
        frame_->Execute(Command::CreateMesh);
        return QTest::qWaitFor([this] { return !frame_->Jobs()->IsRunning(); }, 60000) && frame_->Document()->HasMesh();
    }

private slots:
    void init()
    {
        QVERIFY(folder_.isValid());
        QDir(folder_.path()).removeRecursively();
        QDir().mkpath(folder_.path());
        QDir::setCurrent(folder_.path());
        gSettings = DefaultSettings();
        SetFileDialogOverride({});
    }
    void cleanup()
    {
        frame_.reset();
        SetFileDialogOverride({});
    }

    void startUpWithoutSettingsShowsTheMessageThenTheSheet()
    {
        {
            ModalAnswers answers({Accept, Reject});
            StartFrame(false);
            QCOMPARE(answers.Seen().size(), size_t(2));
            QCOMPARE(answers.Seen()[0].title, QString("Error"));
            QCOMPARE(answers.Seen()[0].text, QString("Set Correct LTSpice File"));
            QCOMPARE(answers.Seen()[1].title, QString("Settings"));
        }
        QVERIFY(QFile::exists(folder_.filePath("CapStd.csv")));  // the catalogue is created
    }

    // New through the layer stack dialog; on the new 3-layer board the AC checks refuse with their
    // box and start no job (the texts of every refusal are checked with the board checks), and Save
    // on the untitled board acts as Save As.
    void newBoardRefusedAcAndSaveAsUntitled()
    {
        StartFrame();
        {
            ModalAnswers answers({Reject});
            frame_->Execute(Command::New);
        }
        QVERIFY(!frame_->IsFileOpened());
        QVERIFY(frame_->Document() == nullptr);
        {
            ModalAnswers answers({Fill({{3000, "40"}, {3001, "30"}, {3002, "3"}})});
            frame_->Execute(Command::New);
            QCOMPARE(answers.Seen().at(0).title, QString("Set Layerstack"));
        }
        QVERIFY(frame_->IsFileOpened());
        const SimMatrix& b = frame_->Document()->Board();
        QCOMPARE(b.CountPixelX, 40u);
        QCOMPARE(b.CountPixelY, 30u);
        QCOMPARE(b.LayerCount, 3);
        QVERIFY(b.CopperMatrix != nullptr && b.ZinMatrix != nullptr);
        QCOMPARE(frame_->Edit()->parentWidget()->windowTitle(), QString("[Untitled]"));
        {
            ModalAnswers answers({Accept});
            frame_->Execute(Command::SimulateZin);
            QCOMPARE(answers.Seen().size(), size_t(1));
            QCOMPARE(answers.Seen()[0].title, QString("Change Layerstack"));
            QCOMPARE(answers.Seen()[0].text, QString("Only 2 and 4 Layer Boards supported"));
            QVERIFY(!frame_->Jobs()->IsRunning());
        }

        const QString target = folder_.filePath("saved.sav");
        int asked = 0;
        SetFileDialogOverride([&](const FileDialogRequest& request) {
            ++asked;
            return request.save && request.defaultExtension == "sav" ? target : QString();
        });
        QVERIFY(frame_->Execute(Command::Save));
        QCOMPARE(asked, 1);
        QVERIFY(QFile::exists(target));
        QCOMPARE(frame_->Edit()->parentWidget()->windowTitle(), target);
        QVERIFY(!frame_->Document()->IsChanged());
        frame_->Execute(Command::Save);  // titled now: no dialog
        QCOMPARE(asked, 1);
    }

    void enablingFollowsTheOpenBoard()
    {
        StartFrame();
        auto enabled = [this](Command c) { return frame_->Action(c)->isEnabled(); };
        for (bool open : {false, true}) {
            if (open) QVERIFY(frame_->OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav"));
            for (Command c : {Command::New, Command::Open}) QVERIFY(enabled(c) != open);
            for (Command c : {Command::Save, Command::SaveAs, Command::CreateMesh, Command::SimulateElectrical,
                              Command::DrawCopper, Command::AddSeriesSubcircuit, Command::ShowVoltage, Command::Layer1,
                              Command::Layer2})
                QVERIFY2(enabled(c) == open, qPrintable(QString::number(int(c))));
            for (const char* menu : {"&Edit", "&Simulate"}) QCOMPARE(frame_->Menu(menu)->isEnabled(), open);
        }
        QVERIFY(!enabled(Command::Layer3));  // a 2-layer board
        QCOMPARE(frame_->StatusPart(0)->text(), QString(KORVEX_EXAMPLES) + "/demo.sav");

        // The PDN tools open by their commands.
        ModalAnswers answers({Reject, Reject});
        QVERIFY(frame_->Execute(Command::SimulateVoltageNoiseTime));
        QVERIFY(frame_->Execute(Command::SimulateCapsOnPosition));
        QCOMPARE(answers.Seen().size(), size_t(2));
        QCOMPARE(answers.Seen()[0].title, QString("Simulate Current injected Voltage Noise in Time Domain"));
        QCOMPARE(answers.Seen()[1].title, QString("Optimize Caps Settings"));
        // The main diagram's "Stimulus" came with the noise tool.
        QCOMPARE(QString(frame_->Document()->DiagramRecord().Curve[9].szName), QString("Stimulus"));
    }

    void openPlainAndCompressedProjects()
    {
        const QString plain = folder_.filePath("plain.sav"), packed = folder_.filePath("packed.sav");
        QCOMPARE(WriteExample(plain, false), 0);
        QCOMPARE(WriteExample(packed, true), 0);
        StartFrame();
        for (const QString& path : {plain, packed}) {
            QVERIFY(frame_->OpenProject(path));
            QCOMPARE(frame_->Document()->Board().CountPixelX, 160u);
            QVERIFY(frame_->Document()->Board().pFirstPart != nullptr);
            frame_->Edit()->parentWidget()->close();
            QVERIFY(!frame_->IsFileOpened());
        }
        // Compressed data while "Compress Files" is off: refused with the box, no windows remain.
        gSettings.CompressFiles = 0;
        ModalAnswers answers({Accept});
        QVERIFY(!frame_->OpenProject(packed));
        QCOMPARE(answers.Seen().at(0).title, QString("Oh Oh..."));
        QCOMPARE(answers.Seen().at(0).text, QString("Couldn't load Matrix (Compressed/Uncompressed Data ?)"));
        QVERIFY(!frame_->IsFileOpened());
        QVERIFY(frame_->Edit() == nullptr);
        QVERIFY(frame_->Action(Command::Open)->isEnabled());
    }

    void closingWithUnsavedChangesAsksToSave()
    {
        StartFrame();
        frame_->SetConfirmations(true);
        const QString target = folder_.filePath("closing.sav");
        QCOMPARE(WriteExample(target, true), 0);
        QVERIFY(frame_->OpenProject(target));
        frame_->Edit()->SetTool(kToolVia);
        const qint64 before = QFileInfo(target).size();
        AddPart(&frame_->Document()->Board(), PART_VIA, &gVia);
        frame_->Document()->MarkChanged();
        {
            // "Really quit?" OK, then "Save changes?" Cancel: the board stays open.
            ModalAnswers answers({Accept, Reject});
            frame_->Edit()->parentWidget()->close();
            QCOMPARE(answers.Seen().size(), size_t(2));
            QVERIFY(answers.Seen()[1].text.startsWith("Save changes to"));
        }
        QVERIFY(frame_->IsFileOpened());
        {
            ModalAnswers answers({Accept, Accept});  // quit, and save
            frame_->Edit()->parentWidget()->close();
        }
        QVERIFY(!frame_->IsFileOpened());
        QVERIFY(QFileInfo(target).size() != before);
    }

    void aJobRunsAloneAndCancelKeepsTheEarlierResults()
    {
        StartFrame();
        QVERIFY(frame_->OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav"));
        frame_->Execute(Command::CreateMesh);
        QVERIFY(frame_->Jobs()->IsRunning());
        // While the job runs: no edits, no second job, no closing.
        for (Command c : {Command::SimulateElectrical, Command::DrawCopper, Command::Save})
            QVERIFY(!frame_->Action(c)->isEnabled());
        QVERIFY(frame_->Edit()->IsReadOnly());
        QVERIFY(frame_->JobProgress()->isVisible() && frame_->JobCancel()->isVisible());
        QVERIFY(!frame_->Execute(Command::SimulateThermal));
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->Jobs()->IsRunning(), 60000);
        QVERIFY(frame_->Document()->HasMesh());
        QVERIFY(frame_->Action(Command::SimulateElectrical)->isEnabled());
        QVERIFY(!frame_->Edit()->IsReadOnly());
        QVERIFY(!frame_->JobProgress()->isVisible());
        frame_->Execute(Command::SimulateElectrical);
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->Jobs()->IsRunning(), 120000);
        const SimMatrix& board = frame_->Document()->Board();
        const std::vector<float> earlier = LayerValues(board.VoltageMatrix, board);
        QVERIFY(std::any_of(earlier.begin(), earlier.end(), [](float v) { return v != 0.0f; }));

        // A simulator that takes its time; the job is cancelled while it runs. Cancel returns at
        // once; the job ends well before the simulator's minute is up.
        QVERIFY(StartSlowSimulation());
        frame_->JobCancel()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->Jobs()->IsRunning(), 10000);
        QCOMPARE(LayerValues(board.VoltageMatrix, board), earlier);
        QVERIFY(frame_->Action(Command::SimulateElectrical)->isEnabled());
        QVERIFY(!frame_->Edit()->IsReadOnly());
    }

    void aFailedRunShowsTheLogAndQuittingCancelsTheJob()
    {
        QVERIFY(OpenMeshedDemo());
        // A simulator that fails with a log of its own next to the netlist.
        gszFolderLTSPICE =
            SimulatorScript("for a; do n=$a; done\necho 'singular matrix at node N1' > \"${n%.cir}.log\"\nexit 1\n")
                .toStdString();
        frame_->Execute(Command::SimulateElectrical);
        QTRY_VERIFY_WITH_TIMEOUT(!frame_->Jobs()->IsRunning(), 20000);
        auto* viewer = frame_->findChild<QDialog*>("LogViewer");
        QVERIFY(viewer != nullptr && viewer->isVisible());
        auto* text = viewer->findChild<QPlainTextEdit*>();
        QVERIFY(text->isReadOnly());
        QVERIFY(text->toPlainText().contains("singular matrix at node N1"));

        // Quitting while a job runs: "Really quit?" first, then the job is cancelled.
        QVERIFY(StartSlowSimulation());
        frame_->SetConfirmations(true);
        {
            ModalAnswers answers({Reject});
            QVERIFY(!frame_->close());
            QCOMPARE(answers.Seen().size(), size_t(1));
            QCOMPARE(answers.Seen()[0].text, QString("Really quit?"));
        }
        QVERIFY(frame_->Jobs()->IsRunning());
        {
            ModalAnswers answers({Accept});
            QVERIFY(frame_->close());
        }
        QVERIFY(!frame_->Jobs()->IsRunning());
    }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
