#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "console/files/file_session.h"

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

// The File panel: New, Open, Save and Save as, a small child panel of the main window
// that its file button shows and hides. A click hides the panel and runs the command;
// paths are asked with the platform's file dialogs unless other dialogs are given.
// Destroy it before the data and the dispatcher it was given: it joins its worker.
class FilePanel : public QWidget, private FileDialogs {
    Q_OBJECT

  public:
    static constexpr int kWidth = 112;
    static constexpr int kHeight = 89;

    // `dialogs` replaces the file dialogs (tests); null uses QFileDialog. `configFolder`
    // empty means DefaultConfigFolder().
    FilePanel(ConsoleData& data, Dispatcher& dispatcher, FileSessionHost& host, QWidget* parent,
              FileDialogs* dialogs = nullptr, const std::string& configFolder = {});
    ~FilePanel() override;

    // Replaces the file dialogs (tests); null goes back to QFileDialog.
    void SetDialogs(FileDialogs* dialogs) { dialogs_ = dialogs; }

    FileSession& Session() { return *session_; }
    const FileSession& Session() const { return *session_; }
    // Button 1023: shown when hidden, hidden when shown.
    void Toggle();
    // The main window's file button: a press on it is left to Toggle, a left or right
    // press anywhere else outside the panel hides the shown panel.
    void SetToggleButton(QWidget* button) { toggleButton_ = button; }
    // A widget shown beside the panel (Recent runs): a press on it does not hide the panel.
    void SetCompanion(QWidget* companion) { companion_ = companion; }
    // Places the panel below the caption at the right edge of a main window of `width`.
    void PlaceFor(int width);
    // The button for a command (its label: "New", "Open", "Save", "Save as").
    widgets::SkinButton* Button(FileCommand command) const;

    // Documents/Tolvex_Quarn_Configs, or the program folder + "/configs" without a
    // Documents folder.
    static std::string DefaultConfigFolder();

  signals:
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
    std::optional<std::string> ChooseOpenPath(const std::string& folder) override;
    std::optional<std::string> ChooseSavePath(FileCommand command, const std::string& folder,
                                              const std::string& initialPath) override;
    void Clicked(FileCommand command);

    bool PressOutside(QObject* watched, const QEvent* event) const;

    std::array<widgets::SkinButton*, 4> buttons_{};  // indexed by FileCommand
    QPointer<QWidget> toggleButton_;
    QPointer<QWidget> companion_;
    FileDialogs* dialogs_ = nullptr;
    std::unique_ptr<FileSession> session_;
};

}  // namespace quarn::console::ui
