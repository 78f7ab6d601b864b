#pragma once

class QWidget;

namespace ringlark {

// The window was designed in twips for a proportional 9-point system font. Where a label's or
// check box's caption does not fit its designed width in the font at hand, the caption grows
// to the right, up to the next control on its row or the window's edge, and only when even
// that is too narrow does its font shrink a little. Positions never change.
void fitCaptions(QWidget *window);

// The same for one label or check box of its parent window, as it stands now; for captions
// that change while the window is shown, fitted from the designed width each time.
void fitCaption(QWidget *w);

} // namespace ringlark
