#pragma once
// The three pages of the settings sheet. Each fills its controls from the
// settings record, marks itself changed on any edit and stores its controls
// into the record on apply.
#include <QWidget>

#include "board/settings.h"

namespace korvex {
struct Diagram;
}

namespace korvex::gui {

class SettingsPageBase : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void Store(Settings& settings) = 0;
    bool IsChanged() const { return changed_; }
    void SetUnchanged() { changed_ = false; }

signals:
    void Changed();

protected:
    // Every button click and text change of the page's controls marks it changed.
    void WatchControls();
    void MarkChanged();

private:
    bool changed_ = false;
};

// "Settings": simulator path, console, batch mode, mesh and heating switches, compression.
class GeneralSettingsPage : public SettingsPageBase {
public:
    GeneralSettingsPage(const Settings& settings, QWidget* parent = nullptr);
    void Store(Settings& settings) override;
};

// "AC": frequency range and points, distribution frequency, axes, click mode.
class AcSettingsPage : public SettingsPageBase {
public:
    AcSettingsPage(const Settings& settings, QWidget* parent = nullptr);
    void Store(Settings& settings) override;
};

// "View": linked windows, colour scale range and the diagram's reference traces.
class ViewSettingsPage : public SettingsPageBase {
public:
    ViewSettingsPage(const Settings& settings, Diagram* diagram, QWidget* parent = nullptr);
    void Store(Settings& settings) override;

private:
    Diagram* diagram_;
};

}  // namespace korvex::gui
