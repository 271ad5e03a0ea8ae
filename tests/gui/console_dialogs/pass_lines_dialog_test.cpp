#include "console/ui/pass_lines_dialog.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QSignalSpy>

#include "tests/gui/named_child.h"
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

}  // namespace
}  // namespace quarn::console::ui
