#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QTimer>

#include "console/core/address_entry.h"
#include "console/core/pair_record.h"
#include "console/ui/pass_line_fields.h"
#include "widgets/window_mover.h"

class QLineEdit;

namespace quarn::widgets {
class SkinButton;
class SkinCombo;
}  // namespace quarn::widgets

namespace quarn::console::ui {

class TrafficOptionsBox;

// The Pair Setting dialog: End Point 1 and End Point 2 addresses, the number of parallel
// connections, the pair's traffic options and its own pass lines, for a new pair ("Add") or
// an existing one ("Apply").
// Modal and without a caption; it ends confirmed only through Add/Apply or Enter (both addresses
// given) and cancelled only through Cancel. The caller reads the fields after accepted().
class PairSettingDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kWidth = 302;
    // The traffic options' group sits below the connections, the pass lines below the rule
    // under it, then the buttons.
    static constexpr int kTrafficTop = 103;
    static constexpr int kTrafficShift = 50;
    static constexpr int kPassLinesTop = 110 + kTrafficShift;
    static constexpr int kHeight = 138 + kTrafficShift + PassLineFields::kHeight;
    // Room for a host name (an address needs 15).
    static constexpr int kAddressLength = 253;
    static constexpr int kHintMs = 2000;
    static constexpr const char* kHintText = "Enter IP addresses of all End Point.";

    // addMode: a new pair (edits empty, "1" connection); otherwise `record` is edited (its
    // addresses and parallel value are shown). With `udp` the connections choice is off.
    PairSettingDialog(bool addMode, const PairConfig& config, bool udp, QWidget* parent = nullptr);

    // Resolves host names on Add/Apply; by default the system's resolver, bounded so the
    // window never freezes for long.
    void SetHostLookup(HostLookup lookup) { lookup_ = std::move(lookup); }

    bool AddMode() const { return addMode_; }
    // After acceptance: the dotted addresses (a typed host name is resolved) and, for a
    // field typed as a name, that name; before it, the fields' texts.
    std::string Endpoint1() const;
    std::string Endpoint2() const;
    const std::string& Label1() const { return entries_[0].label; }
    const std::string& Label2() const { return entries_[1].label; }
    // The chosen parallel streams (1..16); an edited pair keeps its own value under UDP.
    int Parallel() const;
    // After acceptance: the pair's DSCP, length and MSS.
    const TrafficOptions& Traffic() const { return traffic_; }
    // After acceptance: the pair's own pass lines.
    const PassLines& Lines() const { return lines_; }
    // Add mode: a default record with the dialog's addresses, parallel value, options and lines.
    PairConfig NewConfig() const;

    bool HintShown() const { return hintShown_; }
    const QString& HintText() const { return hintText_; }
    int HintRemainingMs() const { return hintTimer_.remainingTime(); }

    QLineEdit* Edit1() const { return edit1_; }
    QLineEdit* Edit2() const { return edit2_; }
    TrafficOptionsBox* TrafficBox() const { return trafficBox_; }
    PassLineFields* LineFields() const { return passLines_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Confirm();
    bool CheckTraffic();
    bool CheckAddresses();
    bool CheckPassLines();
    void ShowHint(const QString& text);
    void Swap();
    void HideHint();

    const bool addMode_;
    const bool udp_;
    const int originalParallel_;
    bool hintShown_ = false;
    QString hintText_;
    HostLookup lookup_;
    AddressEntry entries_[2];
    QTimer hintTimer_;
    QLineEdit* edit1_;
    QLineEdit* edit2_;
    widgets::SkinCombo* connections_;
    widgets::SkinButton* add_;
    widgets::SkinButton* cancel_;
    widgets::SkinButton* swap_;
    TrafficOptionsBox* trafficBox_;
    TrafficOptions traffic_;
    PassLineFields* passLines_;
    PassLines lines_;
};

}  // namespace quarn::console::ui
