#include "console/ui/pair_setting_dialog.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "console/ui/traffic_options_box.h"
#include "tests/gui/console_dialogs/dialog_pixels.h"
#include "tests/gui/named_child.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"

using quarn::test::NamedChild;

namespace quarn::console::ui {
namespace {

using testing::AnyPixelOtherThan;
using testing::Grab;
using testing::kDialogBackground;
using testing::KeepForReview;

PairConfig Existing(int parallel) {
    PairConfig record;
    record.endpoint1 = "198.18.0.10";
    record.endpoint2 = "198.18.0.20";
    record.parallel = parallel;
    return record;
}

TEST(PairSettingDialogTest, AddAndEditModesStartFromTheirRecord) {
    PairSettingDialog add(true, Existing(4), false);
    EXPECT_TRUE(add.Edit1()->text().isEmpty());
    EXPECT_TRUE(add.Edit2()->text().isEmpty());
    EXPECT_EQ(NamedChild<widgets::SkinCombo>(add, "connections")->currentText(),
              QStringLiteral("1"));
    EXPECT_EQ(NamedChild<widgets::SkinCombo>(add, "connections")->count(), 16);
    EXPECT_EQ(NamedChild<widgets::SkinCombo>(add, "connections")->itemText(15),
              QStringLiteral("16"));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(add, "add")->text(), QStringLiteral("Add"));
    // Long enough for a host name, not only a dotted address.
    EXPECT_EQ(add.Edit1()->maxLength(), 253);
    EXPECT_EQ(add.Edit2()->maxLength(), 253);

    PairSettingDialog edit(false, Existing(4), false);
    EXPECT_EQ(edit.Edit1()->text(), QStringLiteral("198.18.0.10"));
    EXPECT_EQ(edit.Edit2()->text(), QStringLiteral("198.18.0.20"));
    EXPECT_EQ(NamedChild<widgets::SkinCombo>(edit, "connections")->currentText(),
              QStringLiteral("4"));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(edit, "add")->text(), QStringLiteral("Apply"));
    EXPECT_TRUE(NamedChild<widgets::SkinCombo>(edit, "connections")->isEnabled());
    NamedChild<widgets::SkinCombo>(edit, "connections")->setCurrentIndex(7);
    EXPECT_EQ(edit.Parallel(), 8);

    // A value out of range (an odd file) shows as the nearest choice, never as nothing.
    PairSettingDialog odd(false, Existing(40), false);
    EXPECT_EQ(odd.Parallel(), 16);
}

TEST(PairSettingDialogTest, UdpTurnsTheConnectionsOffAndKeepsTheEditedValue) {
    PairSettingDialog edit(false, Existing(4), true);
    EXPECT_FALSE(NamedChild<widgets::SkinCombo>(edit, "connections")->isEnabled());
    EXPECT_EQ(NamedChild<widgets::SkinCombo>(edit, "connections")->currentText(),
              QStringLiteral("4"));
    NamedChild<widgets::SkinCombo>(edit, "connections")
        ->setCurrentIndex(0);  // whatever the control holds
    EXPECT_EQ(edit.Parallel(), 4);

    PairSettingDialog add(true, PairConfig{}, true);
    EXPECT_FALSE(NamedChild<widgets::SkinCombo>(add, "connections")->isEnabled());
    add.Edit1()->setText(QStringLiteral("198.18.0.1"));
    add.Edit2()->setText(QStringLiteral("198.18.0.2"));
    const PairConfig record = add.NewConfig();
    EXPECT_EQ(record.endpoint1, "198.18.0.1");
    EXPECT_EQ(record.endpoint2, "198.18.0.2");
    EXPECT_EQ(record.parallel, 1);
}

TEST(PairSettingDialogTest, SwapExchangesWhateverTheEditsHold) {
    PairSettingDialog dialog(true, PairConfig{}, false);
    dialog.Edit1()->setText(QStringLiteral("anything"));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "swap"), Qt::LeftButton);
    EXPECT_TRUE(dialog.Edit1()->text().isEmpty());
    EXPECT_EQ(dialog.Edit2()->text(), QStringLiteral("anything"));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "swap"), Qt::LeftButton);
    EXPECT_EQ(dialog.Edit1()->text(), QStringLiteral("anything"));
}

TEST(PairSettingDialogTest, AddOrEnterConfirmsOnlyWithBothAddresses) {
    PairSettingDialog dialog(true, PairConfig{}, false);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy rejected(&dialog, &QDialog::rejected);

    QTest::keyClicks(dialog.Edit1(), QStringLiteral("198.18.0.1"));
    QTest::keyClick(dialog.Edit1(), Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(dialog.HintShown());
    QTest::keyClick(&dialog, Qt::Key_Escape);  // does nothing
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();  // nor does closing the window
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(rejected.count(), 0);

    QTest::keyClicks(dialog.Edit2(), QStringLiteral("198.18.0.2"));
    NamedChild<widgets::SkinCombo>(dialog, "connections")->setCurrentIndex(2);
    QTest::keyClick(dialog.Edit2(), Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(dialog.HintShown());
    const PairConfig record = dialog.NewConfig();
    EXPECT_EQ(record.endpoint1, "198.18.0.1");
    EXPECT_EQ(record.endpoint2, "198.18.0.2");
    EXPECT_EQ(record.parallel, 3);
    EXPECT_TRUE(record.active);  // a new pair starts active, so "Ready"

    PairSettingDialog cancelled(false, Existing(2), false);
    QSignalSpy cancelledSpy(&cancelled, &QDialog::rejected);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(cancelled, "cancel"), Qt::LeftButton);
    EXPECT_EQ(cancelledSpy.count(), 1);
}

// A resolver with a fixed table, so no name query leaves the machine.
HostLookup LabNames() {
    return [](const std::string& name) -> std::vector<std::uint32_t> {
        if (name == "lab-pc-4")
            return {0xC6136304};  // 198.19.99.4
        if (name == "twin")
            return {0xC6136305, 0xC6136306};
        return {};
    };
}

// Add manually opens the dialog in add mode, Pair Setting on a row in edit mode: both
// refuse what is neither an address nor a name of exactly one address, and stay open.
TEST(PairSettingDialogTest, BothModesRefuseWhatIsNotOneIPv4Address) {
    for (const bool addMode : {true, false}) {
        PairSettingDialog dialog(addMode, Existing(1), false);
        dialog.SetHostLookup(LabNames());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        const struct {
            const char* first;
            const char* second;
            const char* hint;
            QLineEdit* (PairSettingDialog::*refused)() const;
        } cases[] = {
            {"198.19.99.300", "198.18.0.2", "Not an IPv4 address: 198.19.99.300",
             &PairSettingDialog::Edit1},
            {"198.18.0.1", "lab-pc-5", "Unknown host: lab-pc-5", &PairSettingDialog::Edit2},
            {"twin", "198.18.0.2", "twin has more than one address.", &PairSettingDialog::Edit1},
            {"198.18.0.1", "198.18.0", "Not an IPv4 address: 198.18.0", &PairSettingDialog::Edit2},
        };
        for (const auto& c : cases) {
            dialog.Edit1()->setText(QString::fromLatin1(c.first));
            dialog.Edit2()->setText(QString::fromLatin1(c.second));
            QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "add"), Qt::LeftButton);
            EXPECT_EQ(accepted.count(), 0) << c.first << " " << c.second;
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.HintShown());
            EXPECT_EQ(dialog.HintText().toStdString(), c.hint);
            // The refused field is selected for retyping.
            QLineEdit* refused = (dialog.*c.refused)();
            EXPECT_EQ(refused->selectedText(), refused->text()) << c.hint;
        }
        // The refusal is drawn where the empty-field hint goes, in its grey.
        const QImage withHint = Grab(dialog);
        KeepForReview(withHint, QStringLiteral("pair_setting_refusal"));
        EXPECT_TRUE(AnyPixelOtherThan(withHint, QRect(250, 5, 46, 18), kDialogBackground));

        // A name of one address is kept as that address, the name as its label.
        dialog.Edit1()->setText(QStringLiteral("lab-pc-4"));
        dialog.Edit2()->setText(QStringLiteral(" 198.18.0.2 "));
        QTest::keyClick(dialog.Edit2(), Qt::Key_Return);
        ASSERT_EQ(accepted.count(), 1) << addMode;
        EXPECT_FALSE(dialog.HintShown());
        EXPECT_EQ(dialog.Endpoint1(), "198.19.99.4");
        EXPECT_EQ(dialog.Label1(), "lab-pc-4");
        EXPECT_EQ(dialog.Endpoint2(), "198.18.0.2");
        EXPECT_EQ(dialog.Label2(), "");
        if (addMode) {
            EXPECT_EQ(dialog.NewConfig().endpoint1, "198.19.99.4");
        }
    }
}

// Both modes take IPv6 addresses, bracketed or with a zone, as their canonical text, and
// refuse a malformed one with the IPv6 hint, its field selected for retyping.
TEST(PairSettingDialogTest, BothModesTakeIpv6AddressesAndRefuseMalformedOnes) {
    for (const bool addMode : {true, false}) {
        PairSettingDialog dialog(addMode, Existing(1), false);
        dialog.SetHostLookup(LabNames());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.Edit1()->setText(QStringLiteral("fd00:77::11"));
        dialog.Edit2()->setText(QStringLiteral("fd00:77::12::1"));
        QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "add"), Qt::LeftButton);
        EXPECT_EQ(accepted.count(), 0);
        EXPECT_TRUE(dialog.HintShown());
        EXPECT_EQ(dialog.HintText().toStdString(), "Not an IPv6 address: fd00:77::12::1");
        EXPECT_EQ(dialog.Edit2()->selectedText(), dialog.Edit2()->text());
        KeepForReview(Grab(dialog), QStringLiteral("pair_setting_ipv6_refusal"));

        dialog.Edit1()->setText(QStringLiteral("[FD00:0077:0:0::11]"));
        dialog.Edit2()->setText(QStringLiteral("fe80::77:12%lo"));
        QTest::keyClick(dialog.Edit2(), Qt::Key_Return);
        ASSERT_EQ(accepted.count(), 1) << addMode;
        EXPECT_EQ(dialog.Endpoint1(), "fd00:77::11");
        EXPECT_EQ(dialog.Endpoint2(), "fe80::77:12%lo");
        EXPECT_EQ(dialog.Label1(), "");
        if (addMode) {
            EXPECT_EQ(dialog.NewConfig().endpoint1, "fd00:77::11");
        }
    }
}

TEST(PairSettingDialogTest, HintShowsForTwoSecondsCountedFromTheLastRefusedAdd) {
    PairSettingDialog dialog(true, PairConfig{}, false);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.Edit1()->setText(QStringLiteral("198.18.0.1"));  // End Point 2 stays empty
    EXPECT_FALSE(dialog.HintShown());
    EXPECT_FALSE(AnyPixelOtherThan(Grab(dialog), QRect(100, 5, 190, 18), kDialogBackground));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "add"), Qt::LeftButton);
    EXPECT_TRUE(dialog.HintShown());
    EXPECT_TRUE(dialog.isVisible());
    const QImage withHint = Grab(dialog);
    KeepForReview(withHint, QStringLiteral("pair_setting_hint"));
    // Grey text, right-aligned against x 296.
    EXPECT_TRUE(AnyPixelOtherThan(withHint, QRect(250, 5, 46, 18), kDialogBackground));

    QTest::qWait(1200);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "add"),
                      Qt::LeftButton);  // restarts the two seconds
    const qint64 second = clock.elapsed();
    EXPECT_GT(dialog.HintRemainingMs(), 1800);
    QTest::qWait(static_cast<int>(2000 + 100 - second));  // past the first press's end
    EXPECT_TRUE(dialog.HintShown());
    QElapsedTimer until;
    until.start();
    while (dialog.HintShown() && until.elapsed() < 5000) {
        QTest::qWait(20);
    }
    EXPECT_FALSE(dialog.HintShown());
    EXPECT_GE(clock.elapsed(), second + 1900);
    EXPECT_FALSE(AnyPixelOtherThan(Grab(dialog), QRect(100, 5, 190, 18), kDialogBackground));
}

TEST(PairSettingDialogTest, PaintsItsFramesRulesAndButtonsAtTheirPlaces) {
    PairSettingDialog dialog(false, Existing(4), false);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // The traffic options and the pass lines' group lie between the connections and the buttons.
    const int below = PairSettingDialog::kTrafficShift + PassLineFields::kHeight;
    ASSERT_EQ(dialog.size(), QSize(302, 138 + below));
    const QImage image = Grab(dialog);
    KeepForReview(image, QStringLiteral("pair_setting_edit"));
    EXPECT_EQ(image.pixel(150, 0), qRgb(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixel(0, 70), qRgb(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixel(150, 137 + below), qRgb(0x7B, 0x7B, 0x7B));
    EXPECT_EQ(image.pixel(301, 70), qRgb(0x7B, 0x7B, 0x7B));
    for (int x : {6, 150, 296}) {
        EXPECT_EQ(image.pixel(x, 25), qRgb(0xC4, 0xC4, 0xC4)) << x;
        EXPECT_EQ(image.pixel(x, 157), qRgb(0xC4, 0xC4, 0xC4)) << x;
        EXPECT_EQ(image.pixel(x, 107 + below), qRgb(0xC4, 0xC4, 0xC4)) << x;
    }
    // Address frames: #D2D2D2 border, white inside.
    EXPECT_EQ(image.pixel(50, 51), qRgb(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixel(164, 60), qRgb(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixel(52, 53), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(image.pixel(261, 69), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(image.pixel(155, 45), kDialogBackground);  // between the frames
    // Buttons: Cancel (188, 112) and Apply (244, 112), 52 x 21, moved below the lines.
    EXPECT_EQ(image.pixel(188, 112 + below), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(190, 114 + below), qRgb(0xED, 0xED, 0xED));
    EXPECT_EQ(image.pixel(295, 132 + below), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(242, 120 + below), kDialogBackground);
    // The first line's field: white in a light frame, its label to the left.
    const int fields = PairSettingDialog::kPassLinesTop;
    EXPECT_EQ(image.pixel(167, fields + 20), qRgb(0xD2, 0xD2, 0xD2));
    EXPECT_EQ(image.pixel(200, fields + 30), qRgb(0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(8, fields + 24, 100, 13), kDialogBackground));
    // Texts: the bold title, the labels and the two grey column titles.
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(8, 8, 70, 13), kDialogBackground));
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(8, 84, 70, 13), kDialogBackground));
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(55, 35, 60, 13), kDialogBackground));
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(169, 35, 60, 13), kDialogBackground));
    // The arrow between the frames.
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(152, 56, 10, 9), kDialogBackground));
}

TEST(PairSettingDialogTest, TrafficOptionsShowTheirPairsAndComeBackOnConfirm) {
    PairConfig marked = Existing(1);
    marked.traffic = {46, 200, 1000};
    PairSettingDialog edit(false, marked, false);
    TrafficOptionsBox* box = edit.TrafficBox();
    EXPECT_EQ(box->title(), QStringLiteral("Traffic options"));
    EXPECT_EQ(box->DscpEdit()->text(), QStringLiteral("EF"));
    EXPECT_EQ(box->LengthEdit()->text(), QStringLiteral("200"));
    EXPECT_EQ(box->MssEdit()->text(), QStringLiteral("1000"));
    EXPECT_TRUE(box->MssEdit()->isEnabled());
    box->DscpEdit()->setText(QStringLiteral("af41"));
    box->LengthEdit()->clear();
    QSignalSpy accepted(&edit, &QDialog::accepted);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(edit, "add"), Qt::LeftButton);
    ASSERT_EQ(accepted.count(), 1);
    EXPECT_EQ(edit.Traffic(), (TrafficOptions{34, std::nullopt, 1000}));

    // A new pair starts without options, whatever the record held; UDP has no MSS.
    PairSettingDialog add(true, marked, true);
    EXPECT_TRUE(add.TrafficBox()->DscpEdit()->text().isEmpty());
    EXPECT_FALSE(add.TrafficBox()->MssEdit()->isEnabled());
    add.Edit1()->setText(QStringLiteral("198.18.0.1"));
    add.Edit2()->setText(QStringLiteral("198.18.0.2"));
    add.TrafficBox()->LengthEdit()->setText(QStringLiteral("8000"));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(add, "add"), Qt::LeftButton);
    EXPECT_EQ(add.NewConfig().traffic, (TrafficOptions{std::nullopt, 8000, std::nullopt}));
}

TEST(PairSettingDialogTest, OptionsOutOfBoundsKeepTheDialogOpenWithTheReason) {
    struct Case {
        bool udp;
        const char* dscp;
        const char* length;
        const char* mss;
        const char* hint;
    };
    const Case cases[] = {
        {false, "EF1", "", "", TrafficOptionsBox::kDscpRefusal},
        {false, "64", "", "", TrafficOptionsBox::kDscpRefusal},
        {true, "", "19", "", TrafficOptionsBox::kUdpLengthRefusal},
        {true, "", "65508", "", TrafficOptionsBox::kUdpLengthRefusal},
        {false, "", "0", "", TrafficOptionsBox::kTcpLengthRefusal},
        {false, "", "2k", "", TrafficOptionsBox::kTcpLengthRefusal},
        {false, "", "", "535", TrafficOptionsBox::kMssRefusal},
        {false, "", "", "9001", TrafficOptionsBox::kMssRefusal},
    };
    for (const Case& c : cases) {
        PairSettingDialog dialog(false, Existing(1), c.udp);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.TrafficBox()->DscpEdit()->setText(QString::fromLatin1(c.dscp));
        dialog.TrafficBox()->LengthEdit()->setText(QString::fromLatin1(c.length));
        dialog.TrafficBox()->MssEdit()->setText(QString::fromLatin1(c.mss));
        QTest::mouseClick(NamedChild<widgets::SkinButton>(dialog, "add"), Qt::LeftButton);
        EXPECT_EQ(accepted.count(), 0) << c.hint;
        EXPECT_EQ(dialog.HintText().toStdString(), c.hint);
        if (&c == &cases[0])
            KeepForReview(Grab(dialog), QStringLiteral("pair_setting_traffic_refusal"));
    }
}

TEST(PairSettingDialogTest, ShowsThePairsOwnLinesAndConfirmsOnlyValidOnes) {
    PairConfig config = Existing(2);
    config.passLines.minThroughput = ThroughputLine{90.0, true};
    config.passLines.maxJitterMs = 1.5;
    PairSettingDialog edit(false, config, true);
    PassLineFields* fields = edit.LineFields();
    EXPECT_EQ(fields->Field(0)->text(), QStringLiteral("90.00%"));
    EXPECT_TRUE(fields->Field(1)->text().isEmpty());
    EXPECT_EQ(fields->Field(2)->text(), QStringLiteral("1.50"));

    QSignalSpy accepted(&edit, &QDialog::accepted);
    fields->Field(1)->setText(QStringLiteral("101"));  // a loss beyond 100 %
    NamedChild<widgets::SkinButton>(edit, "add")->click();
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(edit.HintShown());
    EXPECT_FALSE(edit.HintText().isEmpty());
    EXPECT_EQ(edit.Lines(), config.passLines);  // untouched until confirmed

    fields->Field(0)->setText(QStringLiteral("250"));
    fields->Field(1)->setText(QStringLiteral("0.5"));
    fields->Field(2)->clear();  // the run's jitter line applies again
    NamedChild<widgets::SkinButton>(edit, "add")->click();
    EXPECT_EQ(accepted.count(), 1);
    PassLines expected;
    expected.minThroughput = ThroughputLine{250.0, false};
    expected.maxLossPercent = 0.5;
    EXPECT_EQ(edit.Lines(), expected);

    PairSettingDialog add(true, PairConfig{}, false);
    add.Edit1()->setText(QStringLiteral("198.18.0.1"));
    add.Edit2()->setText(QStringLiteral("198.18.0.2"));
    add.LineFields()->Field(3)->setText(QStringLiteral("8"));
    QSignalSpy added(&add, &QDialog::accepted);
    NamedChild<widgets::SkinButton>(add, "add")->click();
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(add.NewConfig().passLines.maxRttRiseMs, std::optional<double>(8.0));
    EXPECT_FALSE(add.NewConfig().passLines.maxLossPercent);
}

}  // namespace
}  // namespace quarn::console::ui
