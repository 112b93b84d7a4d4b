#include "gui_test_support.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>

namespace korvex::gui::test {

std::unique_ptr<BoardDocument> NewDocument(int layers)
{
    SimMatrix stack;
    ApplyNewBoardDefaults(&stack);
    SetLayerCount(&stack, layers);
    std::string reason;
    return BoardDocument::CreateNew(stack, &reason);
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
