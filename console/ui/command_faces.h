#pragma once

#include <QString>
#include <functional>

#include "widgets/skin_button.h"

namespace quarn::console::ui {

// The looks of the main window's skinned buttons. Each face reads the state it depends
// on when it paints, so a repaint is all a state change needs.

// Start/Stop: "Start measurement" or, while measuring, "Stop measurement" under the
// product name; the measuring face lights up under the pointer only once stopping works.
// While a stop waits for the run's first second, it reads "Stopping...".
widgets::SkinButton::Painter StartStopFace(std::function<bool()> measuring,
                                           std::function<bool()> stoppable,
                                           std::function<bool()> stopping = {});
// "Add manually" and "Delete pair": greyed while measuring, even under the pointer.
widgets::SkinButton::Painter PairCommandFace(const QString& text, const QString& iconPath,
                                             std::function<bool()> measuring);
// "Add End Point" (images 0, 1) and "Search End Point" (images 2, 3).
widgets::SkinButton::Painter EndPointCommandFace(const QString& text, int firstImage);
// A face that is only an image of a strip: `image` picks which one to draw.
widgets::SkinButton::Painter StripFace(const QString& path, int imageWidth,
                                       std::function<int(const widgets::SkinButton&)> image);

}  // namespace quarn::console::ui
