#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "console/core/console_view.h"
#include "console/core/measurement_run.h"

namespace quarn::widgets {
class AnimatedPicture;
class SkinButton;
}  // namespace quarn::widgets

namespace quarn::console::ui {

// The Console's one message window: refusals, failures, results, progress and the quit
// question. A child of the main window, shown centred over it. While it is shown the rest
// of the main window gets no input; ShowNotice returns at once (no event loop of its own),
// since the end of a run is announced from inside a worker's blocking delivery.
class NoticePanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 302;
    static constexpr int kHeight = 116;
    static constexpr const char* kCompletedText = MeasurementRun::kCompleted;
    static constexpr const char* kQuitText = "Are you sure to quit?";

    // `mainWindow` is the window it covers and blocks; created hidden.
    explicit NoticePanel(QWidget* mainWindow);
    ~NoticePanel() override;

    // Shows (or, when already shown, changes) the notice. Completed and Quit show their
    // fixed texts; the others show `text`.
    void ShowNotice(quarn::console::NoticeKind kind, const QString& text = QString());
    // A yes/no question in the quit question's look with `text` ('\n' breaks the line);
    // questionAnswered gives the answer.
    void AskQuestion(const QString& text);
    bool Asking() const { return question_ && isVisible(); }
    // A line under the shown notice's text, in black (the run's verdict); the next notice
    // goes without it.
    void SetVerdictLine(const QString& line);
    const QString& VerdictLine() const { return verdictLine_; }
    // The file operation's end: stops and hides the busy animation (ShowNotice never does).
    void StopProgress();

    quarn::console::NoticeKind Kind() const { return kind_; }
    const QString& Text() const { return text_; }
    // Icon on show: 0 check, 1 question, 2 warning, -1 none.
    int Icon() const { return icon_; }
    bool Blocking() const { return blocking_; }

  signals:
    // Confirm (or No, or Enter) hid the panel; Kind() still tells which notice it was.
    void closed();
    // The quit question was answered: Yes (true) or No (false).
    void quitAnswered(bool yes);
    // AskQuestion's question was answered.
    void questionAnswered(bool yes);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Confirm();
    void AnswerYes();
    void Dismiss();
    void Centre();
    void BlockMainWindow(bool block);
    bool BlocksEventFor(QObject* watched, const QEvent* event) const;

    QWidget* mainWindow_;
    quarn::console::NoticeKind kind_ = quarn::console::NoticeKind::Info;
    QString text_;
    QString verdictLine_;
    int icon_ = -1;
    bool blocking_ = false;
    bool question_ = false;  // the Quit look shows AskQuestion's question
    QPointer<QWidget> focusBefore_;
    widgets::SkinButton* confirm_;
    widgets::SkinButton* yes_;
    widgets::AnimatedPicture* animation_;
};

}  // namespace quarn::console::ui
