#include "views/ViewFindModule.h"

namespace {

enum ControlId : UINT_PTR { kFileName = 201, kFind, kHits, kProgress, kStatus };
const int kStatusHeight = 19;
const int kProgressHeight = 12;
const int kListTop = 70;

widgets::FormStyle FindModuleStyle(HWND owner) {
    widgets::FormStyle style;
    style.clientWidth = 780;
    style.clientHeight = 420;
    style.owner = owner;
    return style;
}

}  // namespace

TfrmFindModule::TfrmFindModule(HWND owner)
    : widgets::Form("frmFindModule", FindModuleStyle(owner)),
      pnlSearch(Handle(), GetSysColor(COLOR_BTNFACE)),
      lblFileName(pnlSearch, "File name:"),
      edtFileName(pnlSearch.Handle(), kFileName),
      btnFind(pnlSearch.Handle(), kFind, "Find", true),
      lblSummary(pnlSearch),
      lsvHits(pnlSearch.Handle(), kHits, {true}),
      prgSearch(Handle(), kProgress),
      stbSearch(Handle(), kStatus, 2, kStatusHeight) {
    SetText("Find module");
    edtFileName.SetCueText("a file name or part of one, such as zlib1 or .ocx");
    lblSummary.SetAutoSize(false);
    lblSummary.SetWordWrap(true);

    lsvHits.AddColumn({"", 20, 20, 20, false});
    lsvHits.AddColumn({"Module", 170, 0, 300, false});
    lsvHits.AddColumn({"Version", 90, 0, 300, false});
    lsvHits.AddColumn({"Path and filename", 0, 0, 0, true});
    lsvHits.AddColumn({"Process", 150, 0, 300, false});
    lsvHits.AddColumn({"Process ID", 75, 0, 0, false});
    lsvHits.SetSmallImages(HitIconList);
    stbSearch.SetPanelWidth(0, 240);

    AlignBottom(stbSearch, kStatusHeight);
    AlignBottom(prgSearch, kProgressHeight);
    AlignClient(pnlSearch);
    pnlSearch.OnResize = [this] { LayOut(); };
    LayOut();
}

// Designed distances, counted in pixels from the panel's edges: the list
// meets the progress bar and the button the right edge at every scale.
void TfrmFindModule::LayOut() {
    const RECT area = pnlSearch.ClientPixels();
    auto pixels = [this](int designed) { return pnlSearch.Scaled(designed); };
    lblFileName.SetBounds(8, 12, 0, 0);
    edtFileName.SetPixelBounds({pixels(72), pixels(8), area.right - pixels(96), pixels(8 + 22)});
    btnFind.SetPixelBounds({area.right - pixels(88), pixels(7), area.right - pixels(8), pixels(7 + 24)});
    lblSummary.SetBounds(8, 38, pnlSearch.Unscaled(area.right) - 16, kListTop - 38 - 2);
    lsvHits.SetPixelBounds({0, pixels(kListTop), area.right, area.bottom});
}

// No dialog manager runs this window: the order is that of the controls.
void TfrmFindModule::TabToNextControl() {
    HWND next = GetNextDlgTabItem(pnlSearch.Handle(), GetFocus(), GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
    if (next) SetFocus(next);
}
