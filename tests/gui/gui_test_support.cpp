#include "gui_test_support.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QWheelEvent>
#include <QtTest>

#include "board/part_records.h"
#include "board/settings_file.h"
#include "frame/main_frame.h"

namespace korvex::gui::test {

std::unique_ptr<BoardDocument> NewDocument(int layers)
{
    SimMatrix stack;
    ApplyNewBoardDefaults(&stack);
    SetLayerCount(&stack, layers);
    std::string reason;
    return BoardDocument::CreateNew(stack, &reason);
}

QString ExecutableScript(const QString& path, const char* body)
{
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly)) return {};
    script.write(QByteArray("#!/bin/sh\n") + body);
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    return path;
}

int CountColour(const QImage& image, const QRect& area, QColor colour)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF);
    return n;
}

void SendWheel(QWidget* widget, QPoint at, int delta)
{
    QWheelEvent wheel(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

void StartFrame(MainFrame* frame, const char* simulator)
{
    frame->SetConfirmations(false);
    frame->show();
    if (simulator == nullptr) {
        frame->Initialise();
        return;
    }
    Settings settings = DefaultSettings();
    CopyName(settings.LTspicePath, simulator);
    WriteSettingsFile(&settings, QDir::currentPath().toStdString());
    ModalAnswers none({});
    frame->Initialise();
    QCOMPARE(none.Seen().size(), size_t(0));
}

ModalAnswers::ModalAnswers(std::vector<Handler> handlers) : handlers_(std::move(handlers))
{
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalAnswers::~ModalAnswers()
{
    timer_.stop();
}

void ModalAnswers::Poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_ || !modal->isVisible()) return;
    last_ = modal;
    SeenModal seen{modal->metaObject()->className(), modal->windowTitle(), {}};
    if (auto* box = qobject_cast<QMessageBox*>(modal)) seen.text = box->text();
    seen_.push_back(seen);
    if (handlers_.empty()) {
        Reject(modal);
        return;
    }
    Handler handler = handlers_.front();
    handlers_.erase(handlers_.begin());
    handler(modal);
}

void Accept(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        if (ok == nullptr) ok = box->button(QMessageBox::Yes);
        if (ok != nullptr) ok->click();
        else box->accept();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
}

void Reject(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* b = box->button(QMessageBox::Cancel)) b->click();
        else if (QAbstractButton* n = box->button(QMessageBox::No)) n->click();
        else box->reject();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
}

ModalAnswers::Handler Fill(std::vector<std::pair<int, QString>> fields)
{
    return [fields](QWidget* modal) {
        for (const auto& [number, text] : fields)
            if (auto* edit = modal->findChild<QLineEdit*>(QString::number(number))) edit->setText(text);
        Accept(modal);
    };
}

}  // namespace korvex::gui::test
