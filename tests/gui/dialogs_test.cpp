// The dialogs, found control by control through their numbers: settings,
// layer stack, part and capacitor dialogs, and the port dialogs of the AC jobs.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "board/part_records.h"
#include "board/settings_file.h"
#include "dialogs/layer_stack_dialog.h"
#include "dialogs/part_dialogs.h"
#include "dialogs/port_dialogs.h"
#include "dialogs/settings_sheet.h"
#include "gui_test_support.h"
#include "pdn/cap_database.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

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

    void s21TakesBothPortsOnOk()
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

    void currentInjectedTakesThePortOnSelection()
    {
        auto doc = NewDocument(2);
        for (uint32_t id : {2u, 9u}) AddPort(&doc->Board(), id, 10 * id, 10);
        AcJob job{AC_MODE_CURRENT_NOISE_TRANSFER, 5, 6, 1, 1};
        std::vector<uint32_t> shown;
        PortDialog dialog(doc->Board(), &job, [&](const Part* part) {
            shown.push_back(part != nullptr ? PartRecord<Port>(part)->ID : 0);
        });
        QCOMPARE(job.TerminationPort, 0u);
        QCOMPARE(job.SourcePort, 9u);  // the preset entry counts as chosen
        List(&dialog, "3000")->setCurrentIndex(0);
        QCOMPARE(job.SourcePort, 2u);
        QCOMPARE(job.SourceIndex, 0u);
        QCOMPARE(shown, (std::vector<uint32_t>{9, 2}));
        QTimer::singleShot(0, [&] { Press(&dialog, QDialogButtonBox::Ok); });
        QCOMPARE(dialog.Run(), 0);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
