// The dialogs, found control by control through their numbers: settings,
// layer stack, part and capacitor dialogs, the port dialogs of the AC jobs;
// the capacitors-on-position dialog (its lists and step setting, the wheel,
// Z11c recomputed from stored S-parameters, "Set C ->", its refusals); the
// time-domain noise dialog (the record shown and drawn, the wheel, texts that
// do not read, OK and Cancel, "Simulate" on the job runner); and the
// equivalent-circuit dialog (the wheel, editing the list, the subcircuit
// written on OK, Optimize on the job runner).
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFocusEvent>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "board/part_lookup.h"
#include "board/part_records.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_view.h"
#include "dialogs/layer_stack_dialog.h"
#include "dialogs/part_dialogs.h"
#include "dialogs/port_dialogs.h"
#include "dialogs/settings_sheet.h"
#include "dialogs/simulate_s_capacitor_dialog.h"
#include "dialogs/spice_circuit_dialog.h"
#include "dialogs/voltage_noise_time_dialog.h"
#include "frame/job_signals.h"
#include "gui_test_support.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "pdn/cap_database.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

// Adds a port `id` at (x, y) on the first layer.
void AddPort(SimMatrix* board, uint32_t id, uint32_t x, uint32_t y)
{
    Port port;
    port.ID = id, port.x = x, port.y = y;
    AddPart(board, PART_PORT, &port);
}

// Sends a focus-in to text field `number`, as clicking into it would.
void FocusField(QWidget* dialog, int number)
{
    QFocusEvent in(QEvent::FocusIn);
    if (auto* field = dialog->findChild<QLineEdit*>(QString::number(number))) QApplication::sendEvent(field, &in);
}

QLineEdit* Field(QWidget* w, int number)
{
    auto* edit = Control<QLineEdit>(w, number);
    if (edit == nullptr) qFatal("no control %d", number);
    return edit;
}

QComboBox* List(QWidget* dialog, const char* number)
{
    return dialog->findChild<QComboBox*>(number);
}

void Press(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    dialog->findChild<QDialogButtonBox*>()->button(which)->click();
}

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

// A resistive "Zin" of `ohm` at the harmonics h f0 (h = 1 .. n), as the
// sweep of "Simulate" lays them out.
void ResistiveZin(Diagram* diagram, const VoltageNoiseTimeParam& p, float ohm)
{
    InitDiagramData(diagram, "Zin(i000)", 0, p.nHarmonics);
    for (int h = 1; h <= p.nHarmonics; ++h) SetDataPoint(diagram, 0, h - 1, h / p.T, ohm, 0);
}

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

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void settingsApplyWritesAll368Bytes()
    {
        QTemporaryDir folder;
        gszFolderSettings = folder.path().toStdString();
        Settings settings = DefaultSettings();
        CopyName(settings.LTspicePath, KORVEX_SIM);
        settings.MaxMeshOrder = 6;
        Diagram diagram;
        SettingsSheet sheet(&settings, &diagram);
        QWidget* ac = sheet.Pages()->widget(1);
        QCOMPARE(ac->objectName(), QString("AC"));
        Control<QRadioButton>(ac, 3013)->click();  // dB Y Axis
        Field(ac, 3001)->setText("2k");
        QVERIFY(sheet.Apply());

        QFile file(folder.filePath("Settings.set"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 368);
        auto u32 = [&](int offset) { return qFromLittleEndian<quint32>(bytes.constData() + offset); };
        auto f64 = [&](int offset) { return qFromLittleEndian<double>(bytes.constData() + offset); };
        QCOMPARE(QByteArray(bytes.constData()), QByteArray(KORVEX_SIM));  // another page's field
        QCOMPARE(u32(284), 6u);                                            // MaxMeshOrder
        QCOMPARE(f64(296), 2000.0);                                        // StartFrequency
        QCOMPARE(u32(328), 2u);                                            // YAxisMode dB
        QCOMPARE(u32(344), 1u);                                            // LinkEditAndViewWindow
        QCOMPARE(diagram.YAxis, 2u);  // the open diagram switches to dB

        // A simulator path that is not a file is refused; the sheet would stay open.
        QWidget* general = sheet.Pages()->widget(0);
        Field(general, 3000)->setText(folder.path());
        ModalAnswers answers({Accept});
        QVERIFY(!sheet.Apply());
        QCOMPARE(answers.Seen().at(0).text, QString("Set Correct LTSpice File"));
    }

    void layerStackEnablesRowsByLayerCount()
    {
        SimMatrix board;
        ApplyNewBoardDefaults(&board);
        SetLayerCount(&board, 4);
        LayerStackDialog dialog(&board, false);
        for (int l = 0; l < 8; ++l) {
            QCOMPARE(Field(&dialog, 3029 + l)->isEnabled(), l < 4);
            for (int first : {3005, 3013, 3021}) QCOMPARE(Field(&dialog, first + l)->isEnabled(), l < 3);
        }
        Field(&dialog, 3002)->setText("2");
        emit Field(&dialog, 3002)->editingFinished();
        QVERIFY(Field(&dialog, 3029 + 1)->isEnabled() && !Field(&dialog, 3029 + 2)->isEnabled());
        QVERIFY(Field(&dialog, 3005)->isEnabled() && !Field(&dialog, 3006)->isEnabled());

        // More than 8 layers is refused and nothing is stored.
        Field(&dialog, 3002)->setText("9");
        Field(&dialog, 3003)->setText("0.5");
        {
            ModalAnswers answers({Accept});
            dialog.accept();
            QCOMPARE(answers.Seen().size(), size_t(1));
        }
        QCOMPARE(board.LayerCount, 4);
        QCOMPARE(board.SizeX, 0.16f);
        Field(&dialog, 3002)->setText("3");
        Field(&dialog, 3030)->setText("70u");
        Field(&dialog, 3014)->setText("3.9");
        dialog.accept();
        QCOMPARE(board.LayerCount, 3);
        QCOMPARE(board.SizeX, 0.5f);
        QCOMPARE(board.CopperThickness[1], 70e-6f);
        QCOMPARE(board.Er[1], 3.9f);
        freeSimulationMatrix(&board);
    }

    void partDialogsStoreOnOkOnly()
    {
        Port port;
        std::unique_ptr<QDialog> dialog(CreatePartDialog(nullptr, PART_PORT, &port, 2));
        Field(dialog.get(), 3000)->setText("7");
        Field(dialog.get(), 3001)->setText("5");  // clamped to the last layer of a 2-layer board
        dialog->accept();
        QCOMPARE(port.ID, 7u);
        QCOMPARE(port.Layer, 1u);

        struct Case {
            uint32_t kind;
            int field;
        } cases[] = {{PART_VIA, 3001},      {PART_CURRENT, 3000},  {PART_RESISTOR, 3050},
                     {PART_HEATSOURCE, 3001}, {PART_HEATSINK, 3000}, {PART_SUBCIRCUIT, 3000},
                     {PART_SERIESSUBCIRCUIT, 3000}, {PART_CAP, 3001}, {PART_PORT, 3000}};
        for (const Case& c : cases) {
            alignas(8) unsigned char record[sizeof(SubCircuit) + 64] = {};
            alignas(8) unsigned char copy[sizeof(record)] = {};
            std::unique_ptr<QDialog> d(CreatePartDialog(nullptr, c.kind, record, 2));
            QVERIFY(d != nullptr);
            Field(d.get(), c.field)->setText("42");
            d->reject();
            QVERIFY2(std::memcmp(record, copy, sizeof(record)) == 0, qPrintable(QString::number(c.kind)));
            d->accept();
            QVERIFY2(std::memcmp(record, copy, sizeof(record)) != 0, qPrintable(QString::number(c.kind)));
        }
    }

    void resistorDialogDisablesNamedEnds()
    {
        Resistor ground;
        CopyName(ground.Net2Name, "0");
        std::unique_ptr<QDialog> d(CreatePartDialog(nullptr, PART_RESISTOR, &ground, 2));
        QCOMPARE(Field(d.get(), 3002)->text(), QString("0"));
        for (int n = 3004; n <= 3009; ++n) QCOMPARE(Field(d.get(), n)->isEnabled(), n < 3007);
        Field(d.get(), 3002)->setText("");
        emit Field(d.get(), 3002)->editingFinished();
        QVERIFY(Field(d.get(), 3007)->isEnabled());
        d->accept();
        QCOMPARE(QString(ground.Net2Name), QString());
    }

    void capacitorDialogAppendsWithoutSelection()
    {
        InitCapDatabase(&gCapDatabase);
        const int before = gCapDatabase.Count;
        Cap cap;
        std::unique_ptr<QDialog> d(CreatePartDialog(nullptr, PART_CAP, &cap, 2));
        Field(d.get(), 3001)->setText("4.7u");
        Field(d.get(), 3002)->setText("5m");
        Field(d.get(), 3003)->setText("1n");
        Control<QPushButton>(d.get(), 3005)->click();
        QCOMPARE(gCapDatabase.Count, before + 1);
        const CapRecord last = GetCap(&gCapDatabase, before);
        QCOMPARE(last.Capacitance, 4.7e-6f);
        QCOMPARE(last.ESR, 5e-3f);
        auto* table = Control<QTableView>(d.get(), 3004);
        QCOMPARE(table->model()->rowCount(), before + 1);
        QCOMPARE(table->model()->index(before, 0).data().toString(), QString("4.700µF"));
        // Selecting a row copies its values into the fields.
        table->selectRow(0);
        QCOMPARE(Field(d.get(), 3001)->text() + "F", table->model()->index(0, 0).data().toString());
        FreeCapDatabase(&gCapDatabase);
    }

    void s21TakesBothPortsOnOkAndCurrentInjectedOnSelection()
    {
        auto doc = NewDocument(2);
        for (uint32_t id : {3u, 7u, 12u}) AddPort(&doc->Board(), id, 10 * id, 10);
        AcJob job{AC_MODE_S21, 0, 1, 0, 1};
        PortDialog dialog(doc->Board(), &job);
        QComboBox* port1 = List(&dialog, "3000");
        QComboBox* port2 = List(&dialog, "3001");
        QCOMPARE(port1->count(), 3);
        QCOMPARE(port2->itemText(2), QString("PORT12"));
        QCOMPARE(port1->currentText(), QString("PORT3"));  // preset from the indexes
        QCOMPARE(port2->currentText(), QString("PORT7"));
        port2->setCurrentIndex(2);
        QTimer::singleShot(0, [&] { Press(&dialog, QDialogButtonBox::Ok); });
        QCOMPARE(dialog.Run(), 0);
        QCOMPARE(job.SourcePort, 3u);
        QCOMPARE(job.TerminationPort, 12u);
        QCOMPARE(job.TerminationIndex, 2u);

        // The next opening starts from that choice; Cancel changes nothing.
        PortDialog again(doc->Board(), &job);
        QCOMPARE(List(&again, "3001")->currentText(), QString("PORT12"));
        List(&again, "3000")->setCurrentIndex(1);
        QTimer::singleShot(0, [&] { Press(&again, QDialogButtonBox::Cancel); });
        QCOMPARE(again.Run(), 1);
        QCOMPARE(job.SourcePort, 3u);
        QCOMPARE(job.SourceIndex, 0u);

        // Current injected: the port is taken on selection, and shown.
        AcJob injected{AC_MODE_CURRENT_NOISE_TRANSFER, 5, 6, 1, 1};
        std::vector<uint32_t> shown;
        PortDialog third(doc->Board(), &injected, [&](const Part* part) {
            shown.push_back(part != nullptr ? PartRecord<Port>(part)->ID : 0);
        });
        QCOMPARE(injected.TerminationPort, 0u);
        QCOMPARE(injected.SourcePort, 7u);  // the preset entry counts as chosen
        List(&third, "3000")->setCurrentIndex(0);
        QCOMPARE(injected.SourcePort, 3u);
        QCOMPARE(injected.SourceIndex, 0u);
        QCOMPARE(shown, (std::vector<uint32_t>{7, 3}));
        QTimer::singleShot(0, [&] { Press(&third, QDialogButtonBox::Ok); });
        QCOMPARE(third.Run(), 0);
    }

    void unreadablePortCancelsWithLogLine()
    {
        const struct {
            uint32_t mode;
            bool withPorts;
            const char* edited;  // typed into the list when not null
        } cases[] = {
            {AC_MODE_S21, false, nullptr},  // no ports: empty list texts
            {AC_MODE_NOISE_TRANSFER, false, nullptr},
            {AC_MODE_NOISE_TRANSFER, true, "PRT5"},
        };
        for (const auto& c : cases) {
            auto doc = NewDocument(2);
            if (c.withPorts) AddPort(&doc->Board(), 5, 10 * 5, 10);
            AcJob job{c.mode, 4, 6, 0, 1};
            PortDialog dialog(doc->Board(), &job);
            if (c.edited != nullptr) {
                List(&dialog, "3000")->setEditable(true);
                List(&dialog, "3000")->setEditText(c.edited);
            }
            DebugCapture log;
            QTimer::singleShot(0, [&] { Press(&dialog, QDialogButtonBox::Ok); });
            QCOMPARE(dialog.Run(), 1);
            QVERIFY(log.Contains("Error in retreiving Port Info\r\n"));
            QCOMPARE(job.SourcePort, 0u);  // zeroed before reading, as the run would see it
        }
        uint32_t port = 99;
        QVERIFY(ParsePortText("PORT42", &port) && port == 42);
        QVERIFY(!ParsePortText("port42", &port) && port == 42);
    }

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

    void openingShowsTheRecordAndDrawsTheResponseOnTheSecondAxis()
    {
        auto doc = NewDocument(2);
        AddPort(&doc->Board(), 0, 10, 10), AddPort(&doc->Board(), 1, 20, 10);
        VoltageNoiseTimeParam p;
        p.t2 = 1.5e-9f;
        ResistiveZin(&doc->DiagramRecord(), p, 0.5f);
        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
        QCOMPARE(Field(&dialog, 3005)->text(), QString("100"));
        QCOMPARE(Field(&dialog, 3011)->text(), QString("1.000000"));
        QCOMPARE(Field(&dialog, 3012)->text(), QString("0.100000"));
        QCOMPARE(Field(&dialog, 3009)->text(), QString("1.500e-09"));
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
        QCOMPARE(Field(&dialog, 3011)->text(), QString("4.000000"));
        dialog.Wheel(false), dialog.Wheel(false);
        QCOMPARE(p.ScaleX, 1.0f);
        dialog.Wheel(false);
        QCOMPARE(p.ScaleX, 1.0f);
        // A field the wheel does not step.
        FocusField(&dialog, 3005);
        dialog.Wheel(true);
        QCOMPARE(p.nHarmonics, 100);
    }

    void textsThatDoNotReadChangeNothingAndOkTakesTheRadios()
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

        // OK takes the radios; both buttons end with 0.
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

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
