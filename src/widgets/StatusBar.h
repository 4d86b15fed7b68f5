// Status bar of a fixed height with panels of settable text and designed
// width; the last panel takes the rest of the bar.
#pragma once

#include "widgets/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace widgets {

class StatusBar : public Window {
public:
    // The control would take its height from its font; this one keeps the
    // height it is given.
    StatusBar(HWND parent, UINT_PTR id, int panelCount, int height);

    int PanelCount() const { return static_cast<int>(panels_.size()); }
    void SetPanelText(int panel, const std::string& text);
    const std::string& PanelText(int panel) const { return panels_[static_cast<size_t>(panel)].text; }
    void SetPanelWidth(int panel, int width);
    int PanelWidth(int panel) const { return panels_[static_cast<size_t>(panel)].width; }
    // The designed height, which the form aligning the bar gives it.
    int Height() const;

protected:
    void DpiChanged(int oldDpi, int newDpi) override;

private:
    void ApplyParts();
    int height_;
    struct Panel {
        std::string text;
        int width = 50;
    };
    std::vector<Panel> panels_;
};

// A horizontal bar that the user drags to move the boundary between the
// control above and the one below.
class Splitter : public Window {
public:
    explicit Splitter(HWND parent);
    // Called while dragging with the vertical distance moved since the
    // press, designed (positive: down).
    std::function<void(int delta)> OnDrag;
    std::function<void()> OnDragStart;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool dragging_ = false;
    int pressY_ = 0;
};

// A message timer on its own hidden window.
class Timer : public Window {
public:
    Timer();
    ~Timer() override;
    void SetInterval(UINT milliseconds);
    UINT Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    std::function<void()> OnTimer;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Update();
    UINT interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace widgets
