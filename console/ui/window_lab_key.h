#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "console/core/outcome.h"

class QMenu;

namespace quarn::console::ui {

class MainWindow;

// The window's Lab key setting: the key file the Console uses for every pair, search and
// "restart", as --lab-key does. A file chosen here is kept as its path (never the key) in
// "<settings folder>/console.conf" and used again at the next start; --lab-key wins over
// it for that start. A refused file changes nothing; the dialog shows the command line's
// message for it.
// Window thread only.
class WindowLabKey : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kMenuEntry = "Lab key...";

    // commandLinePath: the key file --lab-key gave (the session uses it already), or "".
    // settingsDir: where the path is kept; "" for the user's settings folder.
    WindowLabKey(MainWindow& window, std::string commandLinePath, std::string settingsDir);

    // The key file in use; empty for none.
    const std::string& Path() const { return path_; }
    bool FromCommandLine() const { return fromCommandLine_; }
    // Loads the file and uses its key from now on, keeping its path for the next start.
    Outcome Use(const std::string& path);
    // Uses no key from now on; the next start uses none either.
    Outcome Clear();

    // The chart menu's entry that opens the dialog.
    void AddActions(QMenu& menu);
    void AskAndChange();
    // Asks for the key file; empty when cancelled.
    using FileChooser = std::function<QString()>;
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // A key file kept at an earlier start that cannot be used any more is told once the
    // intro has ended; the dialog says why.
    void IntroEnded();
    static constexpr const char* kKeptRefused =
        "The kept lab key cannot be used:\nsee Lab key... in the chart's menu.";
    // Why the last file was refused, until a file is used or the dialog has shown it.
    const std::string& Refusal() const { return refusal_; }

    // The path kept in the settings folder, "" for none.
    std::string StoredPath() const;

  private:
    Outcome Apply(const std::string& path);
    void Store(const std::string& path) const;
    QString SettingsFile() const;
    void Tell(const std::string& text);
    // Opens the dialog once; false when the operator is done with it.
    bool AskOnce();

    MainWindow& window_;
    std::string settingsDir_;
    std::string path_;
    bool fromCommandLine_ = false;
    std::string refusal_;
    bool refusedAtStart_ = false;
    FileChooser chooser_;
};

}  // namespace quarn::console::ui
