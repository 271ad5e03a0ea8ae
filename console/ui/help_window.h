#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "widgets/window_mover.h"

class QTextBrowser;

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

// The manual: a borderless window with its own title strip that shows help_quarn.html.
// At most one is open; it deletes itself when closed.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 818;
    static constexpr int kHeight = 759;
    static constexpr const char* kPageName = "help_quarn.html";

    // Opens the help window unless one is open (that one is raised); returns it.
    static HelpWindow* Open(const QWidget* owner = nullptr);
    static bool IsOpen();
    // Where the page is looked for, in order: beside the program, the installed
    // share/quarn folder, the source tree (a run from the build folder).
    static QStringList PageCandidates();
    // The first candidate that exists, or an empty string.
    static QString FindPage();

    // The page shown, empty when none was found.
    const QString& PagePath() const { return pagePath_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    HelpWindow();

    QTextBrowser* browser_;
    widgets::SkinButton* closeButton_;
    QString pagePath_;
};

}  // namespace quarn::console::ui
