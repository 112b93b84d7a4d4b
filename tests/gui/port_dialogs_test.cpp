// The port dialogs of the AC jobs: lists of the board's ports preset from
// the job's last choice, the ports taken on OK (or on selection for the
// current-injected noise transfer), a list text that does not read as a port
// cancels with a log line, Cancel leaves the job as it was.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include "board/part_records.h"
#include "dialogs/port_dialogs.h"
#include "gui_test_support.h"
#include "util/debug_log.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

void AddPort(SimMatrix* board, uint32_t id)
{
    Port port;
    port.ID = id;
    port.x = 10 * id, port.y = 10;
    AddPart(board, PART_PORT, &port);
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

class PortDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void s21TakesBothPortsOnOk()
    {
        auto doc = NewDocument(2);
        for (uint32_t id : {3u, 7u, 12u}) AddPort(&doc->Board(), id);
        AcJob job{AC_MODE_S21, 0, 1, 0, 1};
        PortDialog dialog(doc->Board(), &job);
        QCOMPARE(dialog.windowTitle(), QString("S21 Settings"));
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
            if (c.withPorts) AddPort(&doc->Board(), 5);
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
        for (uint32_t id : {2u, 9u}) AddPort(&doc->Board(), id);
        AcJob job{AC_MODE_CURRENT_NOISE_TRANSFER, 5, 6, 1, 1};
        std::vector<uint32_t> shown;
        PortDialog dialog(doc->Board(), &job, [&](const Part* part) {
            shown.push_back(part != nullptr ? PartRecord<Port>(part)->ID : 0);
        });
        QCOMPARE(dialog.windowTitle(), QString("Noise Transfer Settings"));
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

QTEST_MAIN(PortDialogsTest)
#include "port_dialogs_test.moc"
