// A page control: a tab control (flat button tabs) whose pages are tab
// sheets, one shown at a time over the tab control's display area.
#pragma once

#include "widgets/Panel.h"

#include <string>
#include <vector>

namespace widgets {

class TabSheet;

class PageControl : public Window {
public:
    PageControl(HWND parent, UINT_PTR id);

    int PageCount() const { return static_cast<int>(sheets_.size()); }
    TabSheet& Page(int index) const { return *sheets_[static_cast<size_t>(index)]; }
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // Where the sheets go, in the control's client pixels.
    RECT DisplayRect() const;

    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void DpiChanged(int oldDpi, int newDpi) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TabSheet;
    void AddSheet(TabSheet* sheet, const std::string& caption);
    void RemoveSheet(TabSheet* sheet);
    void ShowActiveSheet();

    std::vector<TabSheet*> sheets_;
    bool scaling_ = false;
};

// Declare sheets after their page control: they go first.
class TabSheet : public Container {
public:
    TabSheet(PageControl& pageControl, const std::string& caption);
    ~TabSheet() override;
    PageControl& Owner() const { return pageControl_; }

private:
    PageControl& pageControl_;
};

}  // namespace widgets
