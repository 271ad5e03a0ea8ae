#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "console/core/pass_lines.h"

class QLineEdit;

namespace quarn::console::ui {

// Where a pass-line field sits in both dialogs: right of the longest label and wide enough
// for the longest value a field takes ("1000000000.00", the largest figure with its two
// decimals), which is as long as it lets a value be.
namespace pass_line_layout {
constexpr int kFieldLeft = 146;
constexpr int kFieldWidth = 91;
constexpr int kMaxLength = 13;
constexpr int kUnitLeft = kFieldLeft + kFieldWidth + 8;
constexpr int kFields = 5;
constexpr int kRowStep = 24;
inline constexpr const char* kLabels[kFields] = {"Minimum throughput", "Maximum loss",
                                                 "Maximum jitter", "Maximum RTT rise",
                                                 "Maximum baseline drop"};
inline constexpr const char* kUnits[kFields] = {"Mbit/s, %", "%", "ms", "ms", "%"};
// The fields for `lines`, named `name` + index, the first one's frame at `firstTop`.
std::array<QLineEdit*, kFields> MakeFields(QWidget* parent, const PassLines& lines,
                                           const QString& name, int firstTop);
}  // namespace pass_line_layout

// One pair's own pass lines as a group of fields with a heading, in the Pair Setting
// dialog's style: an empty field leaves the run's line in force. It draws only its frames
// and texts, over whatever its dialog paints behind it.
class PassLineFields : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFields = pass_line_layout::kFields;
    static constexpr int kRowStep = pass_line_layout::kRowStep;
    static constexpr int kHeight = 22 + kFields * kRowStep;

    PassLineFields(const PassLines& lines, QWidget* parent);

    QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }
    // The lines the fields hold; nothing, with `refusal` saying which field holds what,
    // when one is no such value.
    std::optional<PassLines> Lines(std::string& refusal) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<QLineEdit*, kFields> fields_{};
};

}  // namespace quarn::console::ui
