#include "frame/debug_console.h"

#include <QFontDatabase>
#include <QMetaObject>
#include <QPointer>
#include <QScrollBar>

#include "util/debug_log.h"

namespace korvex::gui {

DebugConsole::DebugConsole(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName("2000");
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(20000);
    QPointer<DebugConsole> self(this);
    SetDebugSink([self](std::string_view text) {
        const QString copy = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        // Queued onto the console's thread; dropped once the console is gone.
        DebugConsole* console = self.data();
        if (console == nullptr) return;
        QMetaObject::invokeMethod(
            console, [self, copy] { if (self) self->AppendOnUiThread(copy); }, Qt::QueuedConnection);
    });
}

DebugConsole::~DebugConsole()
{
    SetDebugSink({});
}

void DebugConsole::Append(const QString& text)
{
    QMetaObject::invokeMethod(this, [this, text] { AppendOnUiThread(text); }, Qt::QueuedConnection);
}

void DebugConsole::AppendOnUiThread(const QString& text)
{
    QString normalised = text;
    normalised.remove('\r');
    moveCursor(QTextCursor::End);
    insertPlainText(normalised);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace korvex::gui
