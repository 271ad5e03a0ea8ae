#pragma once

#include <QGroupBox>
#include <optional>
#include <string>

#include "console/core/traffic_options.h"

class QLineEdit;

namespace quarn::console::ui {

// The "Traffic options" group of Pair Setting: the pair's DSCP (a class name or 0-63),
// its datagram or write size and, for TCP, its MSS. An empty field is no option.
class TrafficOptionsBox : public QGroupBox {
    Q_OBJECT

  public:
    static constexpr int kHeight = 46;
    // Short enough for the dialog's hint line.
    static constexpr const char* kDscpRefusal = "DSCP: CS0-7, AF11-43, EF, 0-63.";
    static constexpr const char* kUdpLengthRefusal = "UDP length: 20 to 65507.";
    static constexpr const char* kTcpLengthRefusal = "TCP length: 1 to 1048576.";
    static constexpr const char* kMssRefusal = "MSS: 536 to 9000.";

    TrafficOptionsBox(const TrafficOptions& options, bool udp, QWidget* parent);

    // The fields' options; nothing, with `refusal` saying which field holds what, when a
    // field is no value within its bounds.
    std::optional<TrafficOptions> Read(std::string& refusal) const;

    QLineEdit* DscpEdit() const { return dscp_; }
    QLineEdit* LengthEdit() const { return length_; }
    QLineEdit* MssEdit() const { return mss_; }

  private:
    const bool udp_;
    QLineEdit* dscp_;
    QLineEdit* length_;
    QLineEdit* mss_;
};

}  // namespace quarn::console::ui
