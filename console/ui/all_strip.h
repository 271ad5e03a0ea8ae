#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <utility>

#include "console/core/pair_table.h"

namespace quarn::console::ui {

// The All row's figure as the strip shows it: above 100,000 as an integer, above 10,000
// with one decimal, otherwise the row's own two-decimal text.
QString AllFigureText(float value, const std::string& storedText);

// The white strip under the column titles with the aggregate row: its on/off marker, the
// "All" caption, the sample count and the current, average, min and max totals. Placed
// at (7, 81) in the window; the x ranges below are window coordinates.
class AllStrip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLeft = 7;
    static constexpr int kTop = 81;
    static constexpr int kHeight = 42;

    AllStrip(const PairTable& table, QWidget* parent);
    // Where the strip learns which protocol is selected for the next run.
    void SetUdpSelected(std::function<bool()> udpSelected) {
        udpSelected_ = std::move(udpSelected);
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const PairTable& table_;
    std::function<bool()> udpSelected_;
    QPixmap markerOn_;
    QPixmap markerOff_;
};

}  // namespace quarn::console::ui
