#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <QTimer>

class QLineEdit;

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::endpoint_window {

// Asks for the EndPoint's new name. Closes only through Apply (with a name) or Cancel:
// Enter in the field acts as Apply, Escape does nothing.
class RenameDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 92;
    static constexpr int kMaxNameLength = 120;
    static constexpr int kWarningMs = 2000;

    RenameDialog(const QString& currentName, const QFont& font, QWidget* parent = nullptr);

    // The name given with Apply.
    QString Name() const { return name_; }
    bool WarningShown() const { return warning_; }

  public slots:
    // Escape and the window manager's close land here; only Cancel rejects.
    void reject() override {}

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    widgets::SkinButton* MakeButton(const QString& caption, const QRect& geometry);
    void Apply();

    QFont font_;
    QLineEdit* field_ = nullptr;
    widgets::SkinButton* applyButton_ = nullptr;
    widgets::SkinButton* cancelButton_ = nullptr;
    QTimer warningTimer_;
    bool warning_ = false;
    QString name_;
};

}  // namespace quarn::endpoint_window
