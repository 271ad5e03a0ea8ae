#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

#include "console/files/file_flow.h"

namespace quarn::console::ui {

// The file session's questions asked with the platform's file dialogs, over `parent`'s
// window; a replacement given for tests answers instead.
class FileDialogBoxes : public FileDialogs {
  public:
    explicit FileDialogBoxes(QWidget* parent) : parent_(parent) {}

    // Null goes back to the platform's dialogs.
    void SetReplacement(FileDialogs* dialogs) { replacement_ = dialogs; }

    std::optional<std::string> ChooseOpenPath(const std::string& folder) override;
    std::optional<std::string> ChooseSavePath(FileCommand command, const std::string& folder,
                                              const std::string& initialPath) override;

    // Documents/Tolvex_Quarn_Configs, or the program folder + "/configs" without a
    // Documents folder.
    static std::string DefaultConfigFolder();

  private:
    QPointer<QWidget> parent_;
    FileDialogs* replacement_ = nullptr;
};

}  // namespace quarn::console::ui
