#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "console/core/pass_lines.h"
#include "console/ui/pass_line_fields.h"
#include "widgets/window_mover.h"

class QLineEdit;

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

// The Pass lines dialog, in the Pair Setting dialog's style: a minimum throughput (Mbit/s
// or %), maximum loss, jitter, round-trip rise and drop below the baseline; an empty field
// is no line. Apply with a value that is none keeps it open and says which field.
class PassLinesDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kWidth = 302;
    static constexpr int kFields = pass_line_layout::kFields;
    static constexpr int kHeight = 68 + kFields * pass_line_layout::kRowStep;

    PassLinesDialog(const PassLines& lines, QWidget* parent = nullptr);

    // After acceptance: the lines of the fields.
    const PassLines& Lines() const { return lines_; }
    const QString& Refusal() const { return refusal_; }
    QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Confirm();

    std::array<QLineEdit*, kFields> fields_{};
    widgets::SkinButton* apply_;
    widgets::SkinButton* cancel_;
    PassLines lines_;
    QString refusal_;
};

}  // namespace quarn::console::ui
