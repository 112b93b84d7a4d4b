// The time-domain noise dialog: the record shown and drawn, the wheel, texts
// that do not read, OK and Cancel, and "Simulate" on the job runner.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "board/part_records.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_view.h"
#include "dialogs/voltage_noise_time_dialog.h"
#include "frame/job_signals.h"
#include "gui_test_support.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

// A resistive "Zin" of `ohm` at the harmonics h f0 (h = 1 .. n), as the
// sweep of "Simulate" lays them out.
void ResistiveZin(Diagram* diagram, const VoltageNoiseTimeParam& p, float ohm)
{
    InitDiagramData(diagram, "Zin(i000)", 0, p.nHarmonics);
    for (int h = 1; h <= p.nHarmonics; ++h) SetDataPoint(diagram, 0, h - 1, h / p.T, ohm, 0);
}

QString Text(QWidget* dialog, int number)
{
    return Control<QLineEdit>(dialog, number)->text();
}

}  // namespace

class VoltageNoiseTimeDialogTest : public QObject {
    Q_OBJECT

private slots:
    void openingShowsTheRecordAndDrawsTheResponseOnTheSecondAxis()
    {
        auto doc = NewDocument(2);
        AddPort(&doc->Board(), 0, 10, 10), AddPort(&doc->Board(), 1, 20, 10);
        VoltageNoiseTimeParam p;
        p.t2 = 1.5e-9f;
        ResistiveZin(&doc->DiagramRecord(), p, 0.5f);
        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
        QCOMPARE(Text(&dialog, 3005), QString("100"));
        QCOMPARE(Text(&dialog, 3011), QString("1.000000"));
        QCOMPARE(Text(&dialog, 3012), QString("0.100000"));
        QCOMPARE(Text(&dialog, 3009), QString("1.500e-09"));
        QVERIFY(std::abs(ReadNumber(Control<QLineEdit>(&dialog, 3002)) / 1e-7 - 1) < 1e-6);
        QVERIFY(Control<QRadioButton>(&dialog, 3016)->isChecked() && Control<QRadioButton>(&dialog, 3018)->isChecked());
        auto* ports = dialog.findChild<QComboBox*>("3024");
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->itemText(1), QString("PORT1"));

        // Current on the left axis, the voltage on the second one of +-5 DIV Y Sec.
        Diagram& time = dialog.TimeDiagram();
        QCOMPARE(time.bSecondaryY, 1u);
        QCOMPARE(time.Curve[0].bSecondaryAxis, 0u);
        QCOMPARE(time.Curve[1].bSecondaryAxis, 1u);
        QCOMPARE(time.fMaxY2, 0.5f);
        QCOMPARE(time.fMinY2, -0.5f);
        QCOMPARE(time.Curve[0].PointCount, 100);
        // A resistive Zin of 0.5 Ohm: the response is the voltage drop -0.5 * current.
        double peak = 0;
        for (int k = 0; k < 100; ++k) {
            const float i = time.Curve[0].pY[k], v = time.Curve[1].pY[k];
            QVERIFY2(std::abs(v + 0.5f * i) < 1e-4f, qPrintable(QString("k %1: %2 A, %3 V").arg(k).arg(i).arg(v)));
            peak = std::max(peak, double(std::abs(i)));
        }
        QVERIFY(peak > 0.3);
        // The spectrum is the main diagram's "Stimulus", one vertical line per harmonic.
        const DiagramCurve& stimulus = doc->DiagramRecord().Curve[9];
        QCOMPARE(QString(stimulus.szName), QString("Stimulus"));
        QCOMPARE(stimulus.Style, 1u);

        // DIV Y Sec is only stored; the axis follows when the axes are updated (Amplitude).
        Control<QLineEdit>(&dialog, 3012)->setText("0.2");
        QCOMPARE(p.DivYSec, 0.2f);
        QCOMPARE(time.fMaxY2, 0.5f);
        Control<QLineEdit>(&dialog, 3004)->setText("2");
        QCOMPARE(p.Amplitude, 2.0f);
        QCOMPARE(time.fMaxY2, 1.0f);
        QCOMPARE(time.fMinY2, -1.0f);

        // Datapoints re-creates both curves with the new size.
        Control<QLineEdit>(&dialog, 3010)->setText("40");
        QCOMPARE(time.Curve[0].PointCount, 40);
        QCOMPARE(time.Curve[1].PointCount, 40);
    }

    void wheelStepsTheFieldThatHadTheFocus()
    {
        auto doc = NewDocument(2);
        VoltageNoiseTimeParam p;
        p.ScaleX = 2;
        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
        const float step = 0.02f * p.T / 2;  // 0.02 T / ScaleX
        const struct {
            int field;
            float VoltageNoiseTimeParam::*value;
            bool up;
            double expected;  // factor, or the change for t2 and Scroll
            bool additive;
        } cases[] = {
            {3000, &VoltageNoiseTimeParam::tr, true, 1.1, false},
            {3003, &VoltageNoiseTimeParam::TON, false, 0.9090909, false},
            {3004, &VoltageNoiseTimeParam::Amplitude, true, 1.1, false},
            {3023, &VoltageNoiseTimeParam::GaussTr, false, 0.9090909, false},
            {3007, &VoltageNoiseTimeParam::twidth, true, 1.1, false},
            {3009, &VoltageNoiseTimeParam::t2, true, -step, true},
            {3009, &VoltageNoiseTimeParam::t2, false, step, true},
            {3027, &VoltageNoiseTimeParam::Scroll, true, step, true},
            {3027, &VoltageNoiseTimeParam::Scroll, false, -step, true},
        };
        for (const auto& c : cases) {
            FocusField(&dialog, c.field);
            QCOMPARE(dialog.ScrollParam(), c.field);
            const double before = p.*c.value;
            dialog.Wheel(c.up);
            const double wanted = c.additive ? before + c.expected : before * c.expected;
            QVERIFY2(std::abs(p.*c.value - wanted) <= 2e-3 * std::max(std::abs(wanted), double(step)),
                     qPrintable(QString("field %1: %2, wanted %3").arg(c.field).arg(p.*c.value).arg(wanted)));
        }
        // Amplitude Gauss starts at 0 and stays there; ScaleX doubles and halves only from 2 on.
        FocusField(&dialog, 3008);
        dialog.Wheel(true);
        QCOMPARE(p.AmplitudeGauss, 0.0f);
        FocusField(&dialog, 3011);
        dialog.Wheel(true);
        QCOMPARE(p.ScaleX, 4.0f);
        QCOMPARE(Text(&dialog, 3011), QString("4.000000"));
        dialog.Wheel(false), dialog.Wheel(false);
        QCOMPARE(p.ScaleX, 1.0f);
        dialog.Wheel(false);
        QCOMPARE(p.ScaleX, 1.0f);
        // A field the wheel does not step.
        FocusField(&dialog, 3005);
        dialog.Wheel(true);
        QCOMPARE(p.nHarmonics, 100);
    }

    void textsThatDoNotReadChangeNothing()
    {
        auto doc = NewDocument(2);
        AddPort(&doc->Board(), 4, 50, 10);
        VoltageNoiseTimeParam p;
        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
        const VoltageNoiseTimeParam before = p;
        for (const auto& [field, text] : std::vector<std::pair<int, QString>>{
                 {3000, "fast"}, {3002, "0"}, {3002, ""}, {3005, "12x"}, {3010, "-3"}, {3009, "e"}})
            Control<QLineEdit>(&dialog, field)->setText(text);
        QCOMPARE(std::memcmp(&p, &before, sizeof p), 0);
        // ScaleX below 1 is raised to 1.
        Control<QLineEdit>(&dialog, 3011)->setText("0.25");
        QCOMPARE(p.ScaleX, 1.0f);

        // List texts that do not name a port are logged, not used for a port.
        DebugCapture log;
        auto* ports = dialog.findChild<QComboBox*>("3024");
        ports->addItem("PORTx");
        ports->setCurrentIndex(1);
        QVERIFY(log.Contains("Error in retreiving Port Info\r\n"));
        QCOMPARE(p.ZinCurve, 1);
        const Part* highlighted = nullptr;
        VoltageNoiseTimeDialog second(&p, doc->Environment(), nullptr, [&](const Part* part) { highlighted = part; });
        auto* list = second.findChild<QComboBox*>("3025");
        list->addItem("V(port4)", 5);  // the first entry is chosen as it comes
        QCOMPARE(p.NoiseCurve, 5);
        QVERIFY(highlighted != nullptr && PartRecord<Port>(highlighted)->ID == 4);
        list->addItem("S21", 2);
        highlighted = nullptr;
        DebugCapture log2;
        list->setCurrentIndex(1);
        QVERIFY(log2.Contains("Error in retreiving Port Info\r\n"));
        QCOMPARE(p.NoiseCurve, 2);
        QVERIFY(highlighted == nullptr);
    }

    void okTakesTheRadiosAndBothButtonsEndWithZero()
    {
        auto doc = NewDocument(2);
        VoltageNoiseTimeParam p;
        {
            VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
            Control<QRadioButton>(&dialog, 3017)->click();
            Control<QRadioButton>(&dialog, 3019)->click();
            QTimer::singleShot(0, [&] { Control<QPushButton>(&dialog, 1)->click(); });
            QCOMPARE(dialog.exec(), 0);
            QCOMPARE(p.Source, 1);
            QCOMPARE(p.Spectrum, 0);
        }
        {
            VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
            QVERIFY(Control<QRadioButton>(&dialog, 3017)->isChecked());  // shown from the record
            Control<QRadioButton>(&dialog, 3022)->click();
            QCOMPARE(p.LogX, 0);
            QCOMPARE(doc->DiagramRecord().bLogX, 0u);
            QTimer::singleShot(0, [&] { Control<QPushButton>(&dialog, 2)->click(); });
            QCOMPARE(dialog.exec(), 0);
        }
    }

    void simulateSweepsTheHarmonicsAndStopKeepsTheDiagram()
    {
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        std::string reason;
        auto doc = BoardDocument::Open(std::string(KORVEX_EXAMPLES) + "/demo.sav", true, &reason);
        QVERIFY2(doc != nullptr, reason.c_str());
        gSettings = DefaultSettings();
        gszFolderLTSPICE = KORVEX_SIM;
        MeshBuildReport report;
        QCOMPARE(CommandCreateMesh(doc->Environment(), &report, &reason), 0);
        JobSignals jobs;
        VoltageNoiseTimeParam p;
        p.nHarmonics = 12;
        p.Datapoints = 50;
        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), &jobs);
        Control<QPushButton>(&dialog, 3014)->click();
        QVERIFY(dialog.Simulating());
        QVERIFY(!Control<QLineEdit>(&dialog, 3000)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Simulating(), 240000);
        QVERIFY2(dialog.Message().isEmpty(), qPrintable(dialog.Message()));
        // The sweep lies on the harmonics, and the response is drawn from it.
        const Diagram& main = doc->DiagramRecord();
        QCOMPARE(main.Curve[0].PointCount, 12);
        QVERIFY(std::abs(main.Curve[0].pX[2] / (3 / p.T) - 1) < 1e-4);
        QVERIFY(dialog.findChild<QComboBox*>("3025")->count() >= 1);
        double energy = 0;
        for (int k = 0; k < 50; ++k) energy += std::abs(dialog.TimeDiagram().Curve[1].pY[k]);
        QVERIFY(energy > 0);
        QCOMPARE(gSettings.NumberOfPoints, 12u);

        // Stopped while the simulator runs: the curves stay as they were.
        gszFolderLTSPICE = ExecutableScript(folder.filePath("slow-sim"), "sleep 3\n").toStdString();
        const float before = main.Curve[0].pY[5];
        Control<QPushButton>(&dialog, 3014)->click();
        QVERIFY(dialog.Simulating());
        dialog.findChild<QPushButton*>("StopJob")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Simulating(), 30000);
        QCOMPARE(dialog.Message(), QString("Simulation cancelled."));
        QCOMPARE(main.Curve[0].pY[5], before);
        QVERIFY(Control<QLineEdit>(&dialog, 3000)->isEnabled());
    }
};

QTEST_MAIN(VoltageNoiseTimeDialogTest)
#include "voltage_noise_time_dialog_test.moc"
