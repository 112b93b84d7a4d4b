#pragma once
// Helpers of the GUI tests: a board document of known size, settings and
// stand-in simulators, colour counts on pictures, and answering modal dialogs
// and message boxes as they appear.
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/board_document.h"

namespace korvex::gui {
class MainFrame;
}

namespace korvex::gui::test {

// A new 160 x 100, 2-layer board with rasters (the new-board defaults).
std::unique_ptr<BoardDocument> NewDocument(int layers = 2);
// An executable shell script at `path` with `body` after the #! line.
QString ExecutableScript(const QString& path, const char* body);

// Pixels of `colour` (alpha ignored) inside `area`, clipped to the image.
int CountColour(const QImage& image, const QRect& area, QColor colour);
// A wheel turn of `delta` (120 a notch) at client point `at`.
void SendWheel(QWidget* widget, QPoint at, int delta);
// Shows and initialises `frame` without confirmation boxes. With `simulator`,
// a Settings.set naming it is written to the current folder first, and
// start-up must ask nothing.
void StartFrame(MainFrame* frame, const char* simulator);

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

// Resonance frequency and quality factor of a capacitor record's series
// R-L-C, worked out here apart from the code that tunes them.
constexpr double kTwoPi = 6.283185307179586;
template <class Record>
double Resonance(const Record& r)
{
    return 1.0 / (kTwoPi * std::sqrt(double(r.ESL) * r.Capacitance));
}
template <class Record>
double Quality(const Record& r)
{
    return kTwoPi * Resonance(r) * r.ESL / r.ESR;
}
// The value fields of the capacitor dialogs in wheel order (C, ESR, ESL, fRes, Q): the
// quantity each steps and, for fRes and Q, the one it must keep.
template <class Record>
struct WheelField {
    int field;
    double (*changed)(const Record&);
    double (*kept)(const Record&);  // null for C, ESR and ESL
};
template <class Record>
std::array<WheelField<Record>, 5> WheelFields()
{
    return {{{3001, [](const Record& r) { return double(r.Capacitance); }, nullptr},
             {3002, [](const Record& r) { return double(r.ESR); }, nullptr},
             {3003, [](const Record& r) { return double(r.ESL); }, nullptr},
             {3011, Resonance<Record>, Quality<Record>},
             {3012, Quality<Record>, Resonance<Record>}}};
}
// a and b agree to the relative tolerance.
inline bool Near(double a, double b, double tolerance = 1e-4)
{
    return std::abs(a / b - 1) < tolerance;
}

// Handlers.
void Accept(QWidget* modal);
void Reject(QWidget* modal);
// Sets text fields by control number, then accepts.
ModalAnswers::Handler Fill(std::vector<std::pair<int, QString>> fields);

}  // namespace korvex::gui::test
