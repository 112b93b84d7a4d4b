#pragma once
// The debug console: a read-only text view at the bottom of the frame that
// receives every printDebug text, from any thread.
#include <QPlainTextEdit>

namespace korvex::gui {

class DebugConsole : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DebugConsole(QWidget* parent = nullptr);
    ~DebugConsole() override;

    // Appends text as it comes (callers put their own line ends); thread-safe.
    void Append(const QString& text);

private:
    void AppendOnUiThread(const QString& text);
};

}  // namespace korvex::gui
