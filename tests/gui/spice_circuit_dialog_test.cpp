// The equivalent-circuit dialog: the wheel on each quantity, editing the
// list, the subcircuit written on OK, and Optimize on the job runner.
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>
#include <cmath>

#include "board/part_records.h"
#include "dialogs/spice_circuit_dialog.h"
#include "frame/job_signals.h"
#include "gui_test_support.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

CapDatabase ListOf(std::initializer_list<CapRecord> records)
{
    CapDatabase list;
    int i = 0;
    for (const CapRecord& r : records) AddCap(&list, i++, &r);
    return list;
}

CapRecord Branch(float c, float esr, float esl)
{
    CapRecord r;
    r.Capacitance = c, r.ESR = esr, r.ESL = esl;
    return r;
}

}  // namespace

class SpiceCircuitDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The step factors and radios are shared with the capacitor dialog, whose
    // test goes through all three; here each field steps its own quantity of
    // the selected branch. Then the list is edited, and OK writes the subcircuit.
    void wheelAddDeleteAndTheSubcircuit()
    {
        CapDatabase list = ListOf({Branch(1e-6f, 0.01f, 1e-9f)});
        SpiceCircuitDialog dialog(&list, JobEnvironment{}, nullptr);
        auto* table = dialog.findChild<QTableWidget*>("3004");
        QCOMPARE(table->item(0, 0)->text(), NumberText(1e-6) + "F");
        {
            DebugCapture log;
            dialog.Wheel(true);
            QVERIFY(log.Contains("Nothing selected\r\n"));
            Control<QPushButton>(&dialog, 3006)->click();
            QCOMPARE(list.Count, 1);
        }
        Control<QRadioButton>(&dialog, 3015)->click();  // 10 %
        table->selectRow(0);
        for (const auto& c : WheelFields<CapRecord>()) {
            FocusField(&dialog, c.field);
            QCOMPARE(dialog.ScrollParam(), c.field < 3011 ? c.field - 3001 : c.field - 3008);
            const CapRecord before = list.Caps[0];
            dialog.Wheel(true);
            const CapRecord up = list.Caps[0];
            QVERIFY2(Near(c.changed(up), c.changed(before) * 1.1, 1e-4), qPrintable(QString::number(c.field)));
            if (c.kept != nullptr) QVERIFY(Near(c.kept(up), c.kept(before), 1e-4));
            if (c.field == 3011) QCOMPARE(up.ESR, before.ESR);  // fRes moves C and ESL only
            QVERIFY(Near(ReadNumber(Control<QLineEdit>(&dialog, c.field)), c.changed(up), 1e-3));
            dialog.Wheel(false);
            QVERIFY(Near(c.changed(list.Caps[0]), c.changed(up) * 0.90909094, 1e-4));
        }

        // Add without a selection appends the edit values.
        table->clearSelection();
        Control<QLineEdit>(&dialog, 3001)->setText("1000");
        Control<QLineEdit>(&dialog, 3002)->setText("0.5");
        Control<QLineEdit>(&dialog, 3003)->setText("2n");
        {
            DebugCapture log;
            Control<QPushButton>(&dialog, 3005)->click();
            QVERIFY(log.Contains("Add Cap at Pos 1\r\n"));
        }
        QCOMPARE(list.Count, 2);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(list.Caps[1].Capacitance, 1000.0f);
        table->selectRow(0);
        {
            DebugCapture log;
            Control<QPushButton>(&dialog, 3006)->click();
            QVERIFY(log.Contains("DeleteCap Item 0\r\n"));
        }
        QCOMPARE(list.Count, 1);
        DebugCapture log;
        dialog.accept();
        // The subcircuit's text is checked with the fit; here it is the list left.
        QVERIFY(log.Contains("L1 n1 n2 2.000000e-09 Rser=5.000000e-01 Cpar=0\r\n"));
        FreeCapDatabase(&list);
    }

    void optimizeFitsTheZinCurveOnTheJobRunner()
    {
        auto doc = NewDocument(2);
        Port port;
        AddPart(&doc->Board(), PART_PORT, &port);  // ID 0
        Diagram& diagram = doc->DiagramRecord();
        JobSignals jobs;
        CapDatabase list = ListOf({Branch(1e-6f, 0.01f, 1e-9f)});
        {
            SpiceCircuitDialog dialog(&list, doc->Environment(), &jobs);
            ModalAnswers answers({Accept});
            Control<QPushButton>(&dialog, 3017)->click();
            QTRY_VERIFY(!jobs.IsRunning() && !dialog.Optimizing());
            QTRY_COMPARE(answers.Seen().size(), size_t(1));
            QCOMPARE(answers.Seen()[0].text, QString("You need a Zin Diagram for Port0"));
            QCOMPARE(list.Caps[0].Capacitance, 1e-6f);
        }
        // The curve of a known branch: the fit moves the list towards it.
        const CapRecord target = Branch(2e-6f, 0.02f, 1.5e-9f);
        InitDiagramData(&diagram, "Zin(i000)", 0, 200);
        for (int i = 0; i < 200; ++i) {
            const double f = std::pow(10.0, 5 + 4.0 * i / 199), w = kTwoPi * f;
            SetDataPoint(&diagram, 0, i, float(f), target.ESR, float(w * target.ESL - 1 / (w * target.Capacitance)));
        }
        auto error = [&] {
            double sum = 0;
            for (int i = 0; i < 200; ++i) {
                const double f = std::pow(10.0, 5 + 4.0 * i / 199), w = kTwoPi * f;
                const double fitted = std::hypot(list.Caps[0].ESR, w * list.Caps[0].ESL - 1 / (w * list.Caps[0].Capacitance));
                const double wanted = std::hypot(target.ESR, w * target.ESL - 1 / (w * target.Capacitance));
                sum += std::pow(std::log10(fitted) - std::log10(wanted), 2);
            }
            return sum;
        };
        const double before = error();
        SpiceCircuitDialog dialog(&list, doc->Environment(), &jobs);
        // Stopped at once: the list keeps its values.
        Control<QPushButton>(&dialog, 3017)->click();
        QVERIFY(dialog.Optimizing());
        dialog.findChild<QPushButton*>("StopJob")->click();
        QTRY_VERIFY(!dialog.Optimizing());
        QCOMPARE(list.Caps[0].Capacitance, 1e-6f);
        // Run to the end: the error falls.
        Control<QPushButton>(&dialog, 3017)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Optimizing(), 30000);
        QVERIFY2(error() < before / 2, qPrintable(QString("%1 -> %2").arg(before).arg(error())));
        QVERIFY(FindDiagramCurve(&diagram, "OptiSpiceCircuit") == 1);
        FreeCapDatabase(&list);
    }
};

QTEST_MAIN(SpiceCircuitDialogTest)
#include "spice_circuit_dialog_test.moc"
