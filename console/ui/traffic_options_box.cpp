#include "console/ui/traffic_options_box.h"

#include <QLabel>
#include <QLineEdit>

#include "console/core/pair_record.h"
#include "widgets/fonts.h"

namespace quarn::console::ui {
namespace {

QLineEdit* MakeField(QWidget* parent, const char* name, int x, int width, QString text) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFont(widgets::GulimFont(12));
    edit->setGeometry(x, 19, width, 20);
    edit->setMaxLength(8);
    edit->setText(std::move(text));
    return edit;
}

void MakeLabel(QWidget* parent, const char* text, int x) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setFont(widgets::GulimFont(12));
    label->move(x, 22);
}

QString NumberText(const std::optional<int>& value) {
    return value ? QString::number(*value) : QString();
}

}  // namespace

TrafficOptionsBox::TrafficOptionsBox(const TrafficOptions& options, bool udp, QWidget* parent)
    : QGroupBox(QStringLiteral("Traffic options"), parent),
      udp_(udp),
      dscp_(MakeField(this, "dscp", 42, 42,
                      options.dscp ? QString::fromStdString(DscpText(*options.dscp)) : QString())),
      length_(MakeField(this, "length", 132, 56, NumberText(options.length))),
      mss_(MakeField(this, "mss", 224, 52, NumberText(options.mss))) {
    setObjectName(QStringLiteral("trafficOptions"));
    setFont(widgets::GulimFont(12));
    MakeLabel(this, "DSCP", 8);
    MakeLabel(this, "Length", 90);
    MakeLabel(this, "MSS", 196);
    dscp_->setPlaceholderText(QStringLiteral("EF"));
    length_->setPlaceholderText(QStringLiteral("bytes"));
    // UDP has no segments; a TCP run later still uses the saved value.
    mss_->setEnabled(!udp);
    dscp_->setToolTip(QStringLiteral("CS0-CS7, AF11-AF43, EF or a DSCP 0-63"));
    length_->setToolTip(udp ? QStringLiteral("UDP datagram size, 20-65507 bytes")
                            : QStringLiteral("TCP write size, 1-1048576 bytes"));
    mss_->setToolTip(QStringLiteral("TCP maximum segment size, 536-9000 bytes"));
}

std::optional<TrafficOptions> TrafficOptionsBox::Read(std::string& refusal) const {
    TrafficOptions options;
    const std::string dscp = dscp_->text().trimmed().toStdString();
    const std::string length = length_->text().trimmed().toStdString();
    const std::string mss = mss_->text().trimmed().toStdString();
    if (!dscp.empty() && !(options.dscp = ParseDscp(dscp))) {
        refusal = kDscpRefusal;
        return std::nullopt;
    }
    if (!length.empty()) {
        options.length = ParseWholeIn(length, 1, kMaxTcpLength);
        const Protocol protocol = udp_ ? Protocol::Udp : Protocol::Tcp;
        if (!options.length || !TrafficRefusal(options, protocol).empty()) {
            refusal = udp_ ? kUdpLengthRefusal : kTcpLengthRefusal;
            return std::nullopt;
        }
    }
    if (!mss.empty() && !(options.mss = ParseWholeIn(mss, kMinMss, kMaxMss))) {
        refusal = kMssRefusal;
        return std::nullopt;
    }
    return options;
}

}  // namespace quarn::console::ui
