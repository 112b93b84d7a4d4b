// The capacitors-on-position dialog: its lists and step setting, the wheel,
// Z11c recomputed from stored S-parameters, "Set C ->", and its refusals.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>
#include <cmath>

#include "board/part_lookup.h"
#include "board/part_records.h"
#include "dialogs/simulate_s_capacitor_dialog.h"
#include "frame/job_signals.h"
#include "gui_test_support.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

struct Board {
    std::unique_ptr<BoardDocument> doc = NewDocument(2);
    CapDatabase catalogue, boardList;
    Board(std::initializer_list<uint32_t> capRefs = {5, 2})
    {
        for (uint32_t id : {0u, 3u}) AddPort(&doc->Board(), id, 5 + id, 5);
        for (uint32_t ref : capRefs) {
            Cap cap;
            cap.Ref = ref, cap.x = 20 + ref, cap.y = 20;
            cap.Capacitance = 1e-6f * ref, cap.ESR = 0.01f, cap.ESL = 1e-9f;
            AddPart(&doc->Board(), PART_CAP, &cap);
        }
        for (float c : {10e-9f, 100e-9f}) {
            CapRecord r;
            r.Capacitance = c, r.ESR = 0.03f, r.ESL = 0.4e-9f;
            AddCap(&catalogue, catalogue.Count, &r);
        }
    }
    ~Board()
    {
        FreeCapDatabase(&catalogue);
        FreeCapDatabase(&boardList);
    }
};

}  // namespace

class SimulateSCapacitorDialogTest : public QObject {
    Q_OBJECT

private slots:
    void openingListsPortsAndCapacitorsAndKeepsTheStep()
    {
        Board b;
        {
            SimulateSCapacitorDialog dialog(&b.catalogue, &b.boardList, b.doc->Environment(), nullptr);
            auto* ports = dialog.findChild<QComboBox*>("3000");
            QCOMPARE(ports->count(), 2);
            QCOMPARE(ports->itemText(1), QString("PORT3"));
            // The board list in Ref order, the first one chosen.
            auto* board = dialog.findChild<QTableView*>("3019");
            QCOMPARE(board->model()->rowCount(), 2);
            QCOMPARE(board->model()->index(0, 0).data().toString(), QString("C2"));
            QCOMPARE(board->model()->index(1, 1).data().toString(), NumberText(5e-6) + "F");
            QCOMPARE(b.doc->SParameters().SelectedCap, 2u);
            auto* database = dialog.findChild<QTableView*>("3004");
            QCOMPARE(database->model()->index(1, 1).data().toString(), NumberText(0.03) + "Ohm");
            QVERIFY(Control<QRadioButton>(&dialog, 3015)->isChecked());
            Control<QRadioButton>(&dialog, 3016)->click();
            QTimer::singleShot(0, [&] { Control<QPushButton>(&dialog, 1)->click(); });
            QCOMPARE(dialog.exec(), 0);
            // Close drops the capacitor shown in the diagram.
            QVERIFY(b.doc->DiagramRecord().pCapPart == nullptr);
        }
        SimulateSCapacitorDialog again(&b.catalogue, &b.boardList, b.doc->Environment(), nullptr);
        QVERIFY(Control<QRadioButton>(&again, 3016)->isChecked());
        QCOMPARE(SimulateSCapacitorDialog::Sensitivity(), 2u);
        Control<QRadioButton>(&again, 3015)->click();
    }

    // Each step setting on each field: the focused quantity steps, fRes and Q
    // keep each other, and the field shows the new value.
    void wheelStepsValuesAndTunesResonanceAndQuality()
    {
        Board b;
        SimulateSCapacitorDialog dialog(&b.catalogue, &b.boardList, b.doc->Environment(), nullptr);
        const struct {
            int radio;
            double up, down;
        } steps[] = {{3013, 1.01, 0.990099}, {3015, 1.1, 0.90909094}, {3016, 1.25, 0.8}};
        const auto fields = WheelFields<Cap>();
        Control<QLineEdit>(&dialog, 3001)->setText("1u");
        Control<QLineEdit>(&dialog, 3002)->setText("20m");
        Control<QLineEdit>(&dialog, 3003)->setText("1n");
        for (const auto& s : steps) {
            Control<QRadioButton>(&dialog, s.radio)->click();
            for (int i = 0; i < 5; ++i) {
                const auto& f = fields[i];
                FocusField(&dialog, f.field);
                QCOMPARE(dialog.ScrollParam(), i);
                const Cap before = dialog.Working();
                dialog.Wheel(true);
                const Cap up = dialog.Working();
                QVERIFY2(Near(f.changed(up), f.changed(before) * s.up), qPrintable(QString::number(f.field)));
                if (f.kept != nullptr) QVERIFY(Near(f.kept(up), f.kept(before)));
                if (f.field == 3011) QCOMPARE(up.ESR, before.ESR);  // fRes moves C and ESL only
                QVERIFY(Near(ReadNumber(Control<QLineEdit>(&dialog, f.field)), f.changed(up), 1e-3));
                dialog.Wheel(false);
                QVERIFY(Near(f.changed(dialog.Working()), f.changed(up) * s.down));
            }
        }
        Control<QRadioButton>(&dialog, 3015)->click();  // the step kept for the next opening
    }

    void valuesRecomputeZ11cFromTheStoredSParameters()
    {
        Board b;
        // A transparent two-port: the port sees the capacitor itself.
        SimulateSCapacitorData& s = b.doc->SParameters();
        AllocSimulateSCapacitor(&s, 30);
        for (int k = 0; k < 30; ++k) {
            s.Frequency[k] = 1e5 * std::pow(10.0, k / 10.0);
            s.S21[k] = s.S12[k] = DComplex{1, 0};
        }
        Diagram& diagram = b.doc->DiagramRecord();
        SimulateSCapacitorDialog dialog(&b.catalogue, &b.boardList, b.doc->Environment(), nullptr);
        {
            DebugCapture log;
            auto* database = dialog.findChild<QTableView*>("3004");
            database->selectRow(1);
            QVERIFY(log.Contains("Item Selected iItem 1\r\n"));
        }
        QVERIFY(dialog.Working().Capacitance == 100e-9f);  // QCOMPARE takes tiny floats as 0
        QVERIFY(Near(ReadNumber(Control<QLineEdit>(&dialog, 3002)), 0.03));
        const Cap& c = dialog.Working();
        QVERIFY(Near(ReadNumber(Control<QLineEdit>(&dialog, 3011)), Resonance(c), 1e-3));
        QVERIFY(Near(ReadNumber(Control<QLineEdit>(&dialog, 3012)), Quality(c), 1e-3));
        for (int k = 0; k < 30; k += 7) {
            float f = 0, re = 0, im = 0;
            GetDataPoint(&diagram, 0, k, &f, &re, &im);
            const double w = kTwoPi * s.Frequency[k];
            QVERIFY(Near(re, 0.03, 1e-3));
            QVERIFY2(Near(im, w * 0.4e-9 - 1 / (w * 100e-9), 1e-3), qPrintable(QString("%1 Hz: %2").arg(f).arg(im)));
        }
        // A new ESR typed: recomputed at once, without the simulator.
        Control<QLineEdit>(&dialog, 3002)->setText("0.5");
        float re = 0;
        GetDataPoint(&diagram, 0, 3, nullptr, &re, nullptr);
        QVERIFY(Near(re, 0.5, 1e-3));
        QVERIFY(diagram.pCapPart != nullptr);

        // "Set C ->" with the board row selected: the capacitor and its row take the values.
        Control<QPushButton>(&dialog, 3028)->click();
        const Cap* board = PartRecord<Cap>(GetPartfromID(&b.doc->Board(), PART_CAP, 2));
        QCOMPARE(board->ESR, 0.5f);
        QVERIFY(board->Capacitance == 100e-9f);
        QCOMPARE(b.boardList.Caps[0].ESR, 0.5f);
        QVERIFY(dialog.BoardChanged());
        // Without a selected row: logged, the board capacitor still set.
        dialog.findChild<QTableView*>("3019")->clearSelection();
        Control<QLineEdit>(&dialog, 3003)->setText("2n");
        DebugCapture log;
        Control<QPushButton>(&dialog, 3028)->click();
        QVERIFY(log.Contains("Nothing selected\r\n"));
        QVERIFY(board->ESL == 2e-9f);
        QVERIFY(b.boardList.Caps[0].ESL == 0.4e-9f);  // as the first "Set C ->" left it
    }

    void portTextsThatDoNotReadCloseAndSimulateNeedsACapacitor()
    {
        Board b;
        {
            SimulateSCapacitorDialog dialog(&b.catalogue, &b.boardList, b.doc->Environment(), nullptr);
            auto* ports = dialog.findChild<QComboBox*>("3000");
            ports->addItem("PORT?");
            int result = -1;
            connect(&dialog, &QDialog::finished, [&](int r) { result = r; });
            DebugCapture log;
            ports->setCurrentIndex(2);
            QVERIFY(log.Contains("Error in retreiving Port Info\r\n"));
            QCOMPARE(result, 1);
        }
        Board empty({});
        SimulateSCapacitorDialog dialog(&empty.catalogue, &empty.boardList, empty.doc->Environment(), nullptr);
        QCOMPARE(dialog.findChild<QTableView*>("3019")->model()->rowCount(), 0);
        // The refusal comes before any run is started.
        ModalAnswers answers({Accept});
        JobSignals jobs;
        const Part* shown = nullptr;
        SimulateSCapacitorDialog withJobs(&empty.catalogue, &empty.boardList, empty.doc->Environment(), &jobs,
                                          [&](const Part* p) { shown = p; });
        Control<QPushButton>(&withJobs, 3014)->click();
        QCOMPARE(answers.Seen().size(), size_t(1));
        QCOMPARE(answers.Seen()[0].title, QString("Error"));
        QVERIFY(!withJobs.Simulating() && !jobs.IsRunning());
        // Choosing a port shows it in the edit window.
        withJobs.findChild<QComboBox*>("3000")->setCurrentIndex(1);
        QVERIFY(shown != nullptr && PartRecord<Port>(shown)->ID == 3);
    }
};

QTEST_MAIN(SimulateSCapacitorDialogTest)
#include "simulate_s_capacitor_dialog_test.moc"
