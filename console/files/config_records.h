#pragma once

#include <string>

#include "console/core/console_data.h"

namespace quarn::console {

// The records of a .config file as UTF-8 text, each complete with its terminator; the
// file holds them in UTF-16LE after the header.

// FF FE and the 38 identifier bytes.
std::string ConfigHeaderBytes();
std::string FormatTimeLine(const ConsoleData& data);
std::string FormatEndPointLine(const ConsoleData& data);
// Row 0 is the All line, rows 1..N the pair lines; each carries chart series `row`.
std::string FormatRowLine(const ConsoleData& data, int row);
// Empty when the address-to-name lookup is empty.
std::string FormatNameBlock(const ConsoleData& data);

// Saving removes every space from both rate texts (the value box edits the selected
// protocol's text in place, so nothing else needs taking over); the settings keep it.
void NormaliseRateTexts(MeasurementSettings& settings);

}  // namespace quarn::console
