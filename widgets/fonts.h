#pragma once

#include <QFont>

namespace quarn::widgets {

// The windows' two faces. "gulim" and "tahoma" are not installed here, so both are
// substituted by installed faces that draw Korean (the list's column titles are Korean).
QFont GulimFont(int pixelHeight);
QFont TahomaFont(int pixelHeight);
// A fixed-pitch face, for text laid out in columns with spaces (iperf's output).
QFont MonoFont(int pixelHeight);

}  // namespace quarn::widgets
