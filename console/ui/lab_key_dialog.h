#pragma once

#include <QDialog>
#include <QString>

#include "widgets/window_mover.h"

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

// The Lab key dialog, in the Pass lines dialog's style: which key file the Console uses
// (or that it uses none), why the last file was refused, and buttons to choose another,
// clear it or close.
class LabKeyDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kWidth = 302;
    static constexpr int kHeight = 104;
    // The refusal's lines below the status.
    static constexpr int kRefusalHeight = 54;
    // exec()'s answers besides Rejected (Close).
    enum Answer { kChoose = 2, kClear = 3 };

    // path: the key file in use, empty for none; fromCommandLine: it came with --lab-key;
    // refusal: why the last file chosen cannot be used, empty for none.
    LabKeyDialog(const QString& path, bool fromCommandLine, const QString& refusal = {},
                 QWidget* parent = nullptr);

    // The two lines the dialog shows.
    const QString& StatusLine() const { return status_; }
    const QString& NoteLine() const { return note_; }
    const QString& Refusal() const { return refusal_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString status_;
    QString note_;
    QString refusal_;
};

}  // namespace quarn::console::ui
