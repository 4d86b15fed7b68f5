// The About box.
#pragma once

// Shows the About box and returns when it has closed. The main window is
// disabled meanwhile.
void ShowAbout(int firstYear, bool hideDonation);
