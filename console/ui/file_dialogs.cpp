#include "console/ui/file_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QStandardPaths>

#include "widgets/text.h"

namespace quarn::console::ui {
namespace {

const QString kFilter = QStringLiteral("Quarn Files (*.config)");

std::optional<std::string> Chosen(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace

std::optional<std::string> FileDialogBoxes::ChooseOpenPath(const std::string& folder) {
    if (replacement_) {
        return replacement_->ChooseOpenPath(folder);
    }
    QFileDialog dialog(parent_ ? parent_->window() : nullptr, QStringLiteral("Open"),
                       widgets::FromUtf8(folder), kFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("config"));
    return Chosen(dialog);
}

std::optional<std::string> FileDialogBoxes::ChooseSavePath(FileCommand command,
                                                           const std::string& folder,
                                                           const std::string& initialPath) {
    if (replacement_) {
        return replacement_->ChooseSavePath(command, folder, initialPath);
    }
    const QString title =
        command == FileCommand::SaveAs ? QStringLiteral("Save as") : QStringLiteral("Save");
    QFileDialog dialog(parent_ ? parent_->window() : nullptr, title, widgets::FromUtf8(folder),
                       kFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("config"));
    dialog.selectFile(widgets::FromUtf8(initialPath));
    return Chosen(dialog);
}

std::string FileDialogBoxes::DefaultConfigFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QByteArray program = QCoreApplication::applicationDirPath().toUtf8();
    return FileFlow::ChooseConfigFolder(documents.toStdString(), program.toStdString());
}

}  // namespace quarn::console::ui
