#include "console/ui/pass_lines_dialog.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QSignalSpy>
#include <vector>

#include "console/ui/pair_setting_dialog.h"
#include "console/ui/pass_line_fields.h"
#include "tests/gui/named_child.h"
#include "tests/gui/widgets/gui_dump.h"
#include "widgets/skin_button.h"

namespace quarn::console::ui {
namespace {

using test::NamedChild;

QLineEdit* LineField(const PassLinesDialog& dialog, int index) {
    return NamedChild<QLineEdit>(dialog, ("passLine" + std::to_string(index)).c_str());
}

TEST(PassLinesDialogTest, ShowsTheLinesAndAppliesWhatIsTyped) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{90.0, true};
    lines.maxLossPercent = 0.5;
    PassLinesDialog dialog(lines);
    EXPECT_EQ(dialog.size(), QSize(PassLinesDialog::kWidth, PassLinesDialog::kHeight));
    EXPECT_EQ(LineField(dialog, 0)->text(), QStringLiteral("90.00%"));
    EXPECT_EQ(LineField(dialog, 1)->text(), QStringLiteral("0.50"));
    EXPECT_TRUE(LineField(dialog, 2)->text().isEmpty());

    QSignalSpy accepted(&dialog, &QDialog::accepted);
    LineField(dialog, 0)->setText(QStringLiteral("250"));
    LineField(dialog, 1)->clear();
    LineField(dialog, 3)->setText(QStringLiteral(" 5 "));
    NamedChild<widgets::SkinButton>(dialog, "apply")->click();
    EXPECT_EQ(accepted.count(), 1);
    PassLines expected;
    expected.minThroughput = ThroughputLine{250.0, false};
    expected.maxRttRiseMs = 5.0;
    EXPECT_EQ(dialog.Lines(), expected);
}

TEST(PassLinesDialogTest, AValueThatIsNoneKeepsItOpenAndSaysWhich) {
    PassLinesDialog dialog(PassLines{});
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    LineField(dialog, 2)->setText(QStringLiteral("soon"));
    NamedChild<widgets::SkinButton>(dialog, "apply")->click();
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(dialog.Refusal(), QStringLiteral("Jitter: milliseconds"));
    EXPECT_EQ(dialog.Lines(), PassLines{});

    QSignalSpy rejected(&dialog, &QDialog::rejected);
    NamedChild<widgets::SkinButton>(dialog, "cancel")->click();
    EXPECT_EQ(rejected.count(), 1);
    const QImage image = dialog.grab().toImage();
    const QByteArray folder = qgetenv("QUARN_GUI_DUMP");
    if (!folder.isEmpty())
        image.save(QString::fromLocal8Bit(folder) + "/pass_lines_dialog.png");
    EXPECT_FALSE(image.isNull());
}

// The longest value a field takes is shown whole, and neither its label nor its unit runs
// into the field or out of the dialog.
void ExpectFieldsShowTheirLongestValue(QWidget& dialog, const std::vector<QLineEdit*>& fields) {
    const QFontMetrics metrics(fields.front()->font());
    const QString longest = QStringLiteral("1000000000.00");
    // A longer text than these is above the largest figure or not a number.
    const QString widest = QStringLiteral("99999999.9999");
    for (QLineEdit* field : fields) {
        SCOPED_TRACE(field->objectName().toStdString());
        EXPECT_EQ(field->maxLength(), longest.size());
        field->setText(longest + QStringLiteral("5"));
        EXPECT_EQ(field->text(), longest) << "the field takes more than it shows";
        // A frameless line edit keeps 2 px each side for its cursor.
        EXPECT_LE(metrics.horizontalAdvance(longest), field->width() - 4);
        EXPECT_LE(metrics.horizontalAdvance(widest), field->width() - 4);
        EXPECT_LT(8 + metrics.horizontalAdvance(QStringLiteral("Maximum baseline drop")),
                  field->geometry().left() - 5);
        EXPECT_LE(pass_line_layout::kUnitLeft + metrics.horizontalAdvance("Mbit/s, %"),
                  dialog.width() - 4);
        EXPECT_GE(pass_line_layout::kUnitLeft, field->geometry().right() + 6);
    }
}

TEST(PassLinesDialogTest, FieldsAreWideEnoughForTheLongestValue) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{1e9, false};
    PassLinesDialog dialog(lines);
    EXPECT_EQ(dialog.Field(0)->text(), QStringLiteral("1000000000.00"));
    std::vector<QLineEdit*> fields;
    for (int i = 0; i < PassLinesDialog::kFields; ++i)
        fields.push_back(dialog.Field(i));
    widgets::testing::GrabAndDump(dialog, "pass_lines_dialog_wide");
    ExpectFieldsShowTheirLongestValue(dialog, fields);

    PairConfig pair;
    pair.passLines.minThroughput = ThroughputLine{1e6, false};
    PairSettingDialog setting(false, pair, false);
    EXPECT_EQ(setting.LineFields()->Field(0)->text(), QStringLiteral("1000000.00"));
    std::vector<QLineEdit*> own;
    for (int i = 0; i < PassLineFields::kFields; ++i)
        own.push_back(setting.LineFields()->Field(i));
    widgets::testing::GrabAndDump(setting, "pair_setting_wide_lines");
    ExpectFieldsShowTheirLongestValue(setting, own);
}

}  // namespace
}  // namespace quarn::console::ui
