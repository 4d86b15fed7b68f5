// The search window: a text box for a file name or part of one, the hits
// below it with a line on the versions found, a progress bar and a status
// bar. Passive: the search controller attaches its handlers.
#pragma once

#include "widgets/Controls.h"
#include "widgets/Edit.h"
#include "widgets/Form.h"
#include "widgets/Label.h"
#include "widgets/ListView.h"
#include "widgets/MarkedListView.h"
#include "widgets/Panel.h"
#include "widgets/ProgressBar.h"
#include "widgets/StatusBar.h"

class TfrmFindModule : public widgets::Form {
public:
    // Owned by the main window: shown above it, and gone with it.
    explicit TfrmFindModule(HWND owner);

    widgets::Panel pnlSearch;
    widgets::Label lblFileName;
    widgets::Edit edtFileName;
    widgets::Button btnFind;
    widgets::Label lblSummary;
    widgets::ImageList HitIconList;
    widgets::MarkedListView lsvHits;
    widgets::ProgressBar prgSearch;
    widgets::StatusBar stbSearch;

    // Columns of the hits.
    enum Column { IconColumn, ModuleColumn, VersionColumn, PathColumn, ProcessColumn, ProcessIdColumn };

    // Tab was typed: the focus moves to the next control, with Shift held
    // to the one before.
    void TabToNextControl();

private:
    void LayOut();
};
