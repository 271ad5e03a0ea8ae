#pragma once

#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "endpoint/agent/agent.h"
#include "endpoint/window/agent_event_relay.h"
#include "widgets/window_mover.h"

class QSocketNotifier;

namespace quarn::platform {
class SingleInstance;
}
namespace quarn::widgets {
class SkinButton;
}

namespace quarn::endpoint_window {

class RenameDialog;

// The EndPoint's captionless window: name, addresses and Running/Ready over the agent it
// owns, Edit and Init for the name, minimise and Exit. The agent's events reach it only
// as queued calls on its own thread.
class EndPointWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 302;
    static constexpr int kHeight = 176;
    static constexpr int kDragBandHeight = 31;

    explicit EndPointWindow(agent::AgentConfig config, QWidget* parent = nullptr);
    ~EndPointWindow() override;

    // Binds the ports and starts serving; a port in use switches to the notice.
    void StartAgent();
    // Raises this window whenever a second start knocks on the instance's socket.
    void ListenForRaise(platform::SingleInstance& instance);
    void BringToFront();
    // Stops the agent (its iperf processes end with it) and closes the window. Idempotent.
    void Shutdown();

    agent::Agent& Agent() { return *agent_; }
    QString DisplayName() const { return name_; }
    QString AddressText() const { return addressText_; }
    bool Running() const { return running_; }
    bool PortInUseMode() const { return portInUse_; }
    // The open rename dialog, or null.
    RenameDialog* OpenRenameDialog() const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    widgets::SkinButton* MakeTextButton(const QString& caption, QPoint captionAt,
                                        const QRect& geometry);
    widgets::SkinButton* MakeImageButton(const QPixmap& strip, const QRect& geometry);
    void Rename();
    void ResetName();
    void EnterPortInUseMode();
    void ReadAgentIdentity();
    void ConnectAgentEvents();

    AgentEventRelay relay_;
    std::unique_ptr<agent::Agent> agent_;
    QPixmap background_;
    QPixmap closeStrip_;
    QPixmap minimiseStrip_;
    QFont normalFont_;
    QFont smallFont_;

    widgets::SkinButton* closeButton_ = nullptr;
    widgets::SkinButton* minimiseButton_ = nullptr;
    widgets::SkinButton* exitButton_ = nullptr;
    widgets::SkinButton* editButton_ = nullptr;
    widgets::SkinButton* initButton_ = nullptr;
    QSocketNotifier* raiseNotifier_ = nullptr;
    platform::SingleInstance* instance_ = nullptr;
    QPointer<RenameDialog> renameDialog_;

    QString name_;
    QString addressText_;
    bool running_ = false;
    bool portInUse_ = false;
    bool shutDown_ = false;
    // Set while the window follows the pointer after a press in the drag band.
};

}  // namespace quarn::endpoint_window
