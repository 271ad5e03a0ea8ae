#include "console/ui/window_lab_key.h"

#include <QFileDialog>
#include <QMenu>
#include <QSettings>

#include "console/net/console_lab_key.h"
#include "console/ui/lab_key_dialog.h"
#include "console/ui/main_window.h"
#include "platform/name_store.h"
#include "widgets/text.h"

namespace quarn::console::ui {
namespace {

constexpr const char* kStoredKey = "LabKeyFile";
constexpr const char* kBusy = "The lab key can change only\nwhile no run or search goes on.";

}  // namespace

WindowLabKey::WindowLabKey(MainWindow& window, std::string commandLinePath, std::string settingsDir)
    : window_(window),
      settingsDir_(settingsDir.empty() ? platform::NameStore::DefaultDir()
                                       : std::move(settingsDir)) {
    if (!commandLinePath.empty()) {
        path_ = std::move(commandLinePath);
        fromCommandLine_ = true;
        return;
    }
    const std::string stored = StoredPath();
    if (stored.empty())
        return;
    if (const Outcome used = Apply(stored); !used) {
        refusal_ = used.Why();
        refusedAtStart_ = true;
    }
}

Outcome WindowLabKey::Use(const std::string& path) {
    Outcome used = Apply(path);
    if (!used) {
        refusal_ = used.Why();
        return used;
    }
    refusal_.clear();
    fromCommandLine_ = false;
    Store(path);
    return used;
}

Outcome WindowLabKey::Apply(const std::string& path) {
    Result<labkey::LabKey> key = LoadConsoleLabKey(path);
    if (!key)
        return WhyNot{key.Why()};
    if (!window_.Session().SetLabKey(std::move(key).Value()))
        return WhyNot{kBusy};
    path_ = path;
    return Outcome::Done();
}

Outcome WindowLabKey::Clear() {
    if (!window_.Session().SetLabKey(std::nullopt))
        return WhyNot{kBusy};
    path_.clear();
    refusal_.clear();
    fromCommandLine_ = false;
    Store({});
    return Outcome::Done();
}

void WindowLabKey::AddActions(QMenu& menu) {
    QAction* entry = menu.addAction(QString::fromLatin1(kMenuEntry));
    entry->setEnabled(window_.Session().Mode() == ConsoleMode::Idle);
    connect(entry, &QAction::triggered, this, &WindowLabKey::AskAndChange);
}

void WindowLabKey::AskAndChange() {
    // A refused file opens the dialog again, saying why.
    while (AskOnce()) {
    }
}

bool WindowLabKey::AskOnce() {
    LabKeyDialog dialog(widgets::FromUtf8(path_), fromCommandLine_, widgets::FromUtf8(refusal_),
                        &window_);
    const int answer = dialog.exec();
    refusal_.clear();
    if (answer == LabKeyDialog::kClear) {
        if (const Outcome cleared = Clear(); !cleared)
            Tell(cleared.Why());
        return false;
    }
    if (answer != LabKeyDialog::kChoose)
        return false;
    const QString chosen =
        chooser_ ? chooser_()
                 : QFileDialog::getOpenFileName(&window_, QStringLiteral("Choose the lab key file"),
                                                QString(), QStringLiteral("All files (*)"));
    if (chosen.isEmpty())
        return false;
    return !Use(chosen.toStdString());
}

void WindowLabKey::IntroEnded() {
    if (refusedAtStart_)
        Tell(kKeptRefused);
    refusedAtStart_ = false;
}

std::string WindowLabKey::StoredPath() const {
    const QSettings settings(SettingsFile(), QSettings::IniFormat);
    return settings.value(QString::fromLatin1(kStoredKey)).toString().toStdString();
}

void WindowLabKey::Store(const std::string& path) const {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    if (path.empty())
        settings.remove(QString::fromLatin1(kStoredKey));
    else
        settings.setValue(QString::fromLatin1(kStoredKey), widgets::FromUtf8(path));
}

QString WindowLabKey::SettingsFile() const {
    return widgets::FromUtf8(settingsDir_) + QStringLiteral("/console.conf");
}

void WindowLabKey::Tell(const std::string& text) {
    window_.Events().ShowNotice(NoticeKind::Message, text);
}

}  // namespace quarn::console::ui
