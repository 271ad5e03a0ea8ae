#pragma once

#include <QPointer>
#include <QWidget>

#include "console/files/file_flow.h"

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

// The File panel: New, Open, Save, Save as and Run plan..., a small child panel of the main window
// that its file button shows and hides. A click hides the panel and hands the command on;
// the session's file flow runs it.
class FilePanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 112;
    static constexpr int kHeight = 111;

    explicit FilePanel(QWidget* parent);
    // Button 1023: shown when hidden, hidden when shown.
    void Toggle();
    // The main window's file button: a press on it is left to Toggle, a left or right
    // press anywhere else outside the panel hides the shown panel.
    void SetToggleButton(QWidget* button) { toggleButton_ = button; }
    // A widget shown beside the panel (Recent runs): a press on it does not hide the panel.
    void SetCompanion(QWidget* companion) { companion_ = companion; }
    // Places the panel below the caption at the right edge of a main window of `width`.
    void PlaceFor(int width);

  signals:
    // A command's button was clicked (the panel has hidden itself).
    void commandChosen(FileCommand command);
    // "Run plan..." was clicked (the panel has hidden itself).
    void runPlanChosen();
    // The panel was shown (true) or hidden (false).
    void visibilityChanged(bool shown);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Clicked(FileCommand command);
    widgets::SkinButton* AddButton(const char* label, const char* name, int top);

    bool PressOutside(QObject* watched, const QEvent* event) const;

    QPointer<QWidget> toggleButton_;
    QPointer<QWidget> companion_;
};

}  // namespace quarn::console::ui
