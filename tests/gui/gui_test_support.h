#pragma once
// Helpers of the GUI tests: a board document of known size, and answering
// modal dialogs and message boxes as they appear.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/board_document.h"

namespace korvex::gui::test {

// A new 160 x 100, 2-layer board with rasters (the new-board defaults).
std::unique_ptr<BoardDocument> NewDocument(int layers = 2);

// What a modal window showed when it was answered.
struct SeenModal {
    QString className;
    QString title;
    QString text;  // message boxes only
};

// Answers the modal windows that open while it lives, in order, each with
// the next handler; records what it saw. A modal window without a handler
// is rejected so that a test never hangs.
class ModalAnswers {
public:
    using Handler = std::function<void(QWidget* modal)>;
    explicit ModalAnswers(std::vector<Handler> handlers);
    ~ModalAnswers();
    const std::vector<SeenModal>& Seen() const { return seen_; }

private:
    void Poll();
    std::vector<Handler> handlers_;
    std::vector<SeenModal> seen_;
    QTimer timer_;
    QWidget* last_ = nullptr;
};

// Handlers.
void Accept(QWidget* modal);
void Reject(QWidget* modal);
// Sets text fields by control number, then accepts.
ModalAnswers::Handler Fill(std::vector<std::pair<int, QString>> fields);

}  // namespace korvex::gui::test
