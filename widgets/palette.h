#pragma once

#include <QColor>

// The colours the windows of both programs share.
namespace quarn::widgets::palette {

// Window and caption background.
inline const QColor kWindowFace{0xF1, 0xF1, 0xF1};
// Dialogs, notices and pop-up panels.
inline const QColor kPanelFace{0xFA, 0xFA, 0xFA};
// Frames, and the light edges of a raised panel.
inline const QColor kLightEdge{0xD2, 0xD2, 0xD2};
// The dark edges of a raised panel, and grey text.
inline const QColor kDarkEdge{0x7B, 0x7B, 0x7B};
inline const QColor kGreyText = kDarkEdge;
// Rules under titles.
inline const QColor kRule{0xC4, 0xC4, 0xC4};
// Selected and hovered rows.
inline const QColor kSelection{0xED, 0xF3, 0xD8};
// The shaded one of alternating rows.
inline const QColor kStripe{0xF7, 0xF7, 0xF7};

}  // namespace quarn::widgets::palette
