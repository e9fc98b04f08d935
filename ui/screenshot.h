// A picture of the window for the documentation: taken once a search has run to its end.
#pragma once

#include <QString>

namespace tarsel {

class CChildFrame;
class CMainFrame;

// Answers the search's boxes on standard error instead of showing them, waits until the
// search started in child has ended (its first mail shown), saves a PNG of frame to path and
// ends the program (exit status 0, or 2 when the picture cannot be written).
void SaveScreenshotWhenShown(CMainFrame* frame, CChildFrame* child, const QString& path);

}  // namespace tarsel
