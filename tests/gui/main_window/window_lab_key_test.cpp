// The window's Lab key setting: chosen, shown and cleared in its dialog, kept as a path for
// the next start, refused files named as the command line names them, and the key used by
// the window's pairs against keyed EndPoints.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "console/core/endpoint_entry.h"
#include "console/net/console_lab_key.h"
#include "console/ui/lab_key_dialog.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/window_lab_key.h"
#include "labkey/key_file.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/support/temp_dir.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {
namespace {

using console::ui::LabKeyDialog;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class WindowLabKeyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(Key(), why)) << why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(OtherKey(), why)) << why;
    }

    // A window keeping its settings in this test's folder; commandLine as --lab-key gives it.
    std::unique_ptr<SessionWindow> Open(const std::string& commandLine = {}) {
        console::SessionOptions session;
        session.interfaces = {"lo"};
        if (!commandLine.empty())
            session.labKey = console::LoadConsoleLabKey(commandLine).Value();
        MainWindow::Options options;
        options.introTime = std::chrono::milliseconds(1);
        options.settingsDir = settings_.Path();
        options.labKeyPath = commandLine;
        auto window = std::make_unique<SessionWindow>(std::move(session), std::move(options));
        ShowMain(*window);
        return window;
    }

    // A key file that others may read: refused, as on the command line.
    std::string OpenKey() {
        const std::string path = keys_.File("open.key");
        std::ofstream(path) << ReadAll(Key());
        chmod(path.c_str(), 0644);
        return path;
    }

    // Answers the Lab key dialogs as they open, each with the next button of `names`;
    // returns the refusal each one showed.
    static std::vector<std::string> AnswerDialogs(MainWindow& window,
                                                  std::vector<const char*> names) {
        std::vector<std::string> refusals;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, &window, [&] {
            for (auto* dialog : window.findChildren<LabKeyDialog*>()) {
                if (!dialog->isVisible() || refusals.size() == names.size())
                    continue;
                refusals.push_back(dialog->Refusal().toStdString());
                Click(NamedChild<widgets::SkinButton>(*dialog, names[refusals.size() - 1]));
            }
        });
        timer.start(10);
        window.LabKey().AskAndChange();
        EXPECT_EQ(refusals.size(), names.size());
        return refusals;
    }

    std::string Key() const { return keys_.File("lab.key"); }
    std::string OtherKey() const { return keys_.File("other.key"); }

    test_support::TempDir keys_;
    test_support::TempDir settings_;
};

TEST_F(WindowLabKeyTest, AChosenKeyIsUsedAndKeptAsItsPathForTheNextStart) {
    {
        auto window = Open();
        EXPECT_FALSE(window->Session().Keyed());
        window->LabKey().SetFileChooser([this] { return QString::fromStdString(Key()); });
        EXPECT_EQ(AnswerDialogs(*window, {"choose"}), std::vector<std::string>{""});
        EXPECT_TRUE(window->Session().Keyed());
        EXPECT_TRUE(window->Session().Discovery().labKey.has_value());
        EXPECT_EQ(window->LabKey().Path(), Key());
        EXPECT_FALSE(NoticeShown(*window));
    }
    // Only the path is kept: the key's digits are nowhere in the settings.
    const std::string kept = ReadAll(settings_.File("console.conf"));
    EXPECT_NE(kept.find(Key()), std::string::npos) << kept;
    const std::string keyDigits = ReadAll(Key()).substr(labkey::kKeyFileTag.size() + 1, 64);
    EXPECT_EQ(kept.find(keyDigits), std::string::npos) << kept;

    auto again = Open();
    EXPECT_TRUE(again->Session().Keyed());
    EXPECT_EQ(again->LabKey().Path(), Key());
    EXPECT_FALSE(again->LabKey().FromCommandLine());
    AnswerDialogs(*again, {"clear"});
    EXPECT_FALSE(again->Session().Keyed());
    EXPECT_FALSE(again->Session().Discovery().labKey.has_value());
    EXPECT_TRUE(again->LabKey().Path().empty());
    again.reset();
    EXPECT_FALSE(Open()->Session().Keyed());
}

TEST_F(WindowLabKeyTest, ARefusedFileShowsTheCommandLinesMessageAndChangesNothing) {
    auto window = Open();
    ASSERT_TRUE(window->LabKey().Use(Key()));
    const std::string open = OpenKey();
    window->LabKey().SetFileChooser([&open] { return QString::fromStdString(open); });
    // The dialog opens again with the command line's message; closed, nothing changed.
    const std::vector<std::string> shown = AnswerDialogs(*window, {"choose", "close"});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].rfind("Cannot use the lab key " + open + ": others can read", 0), 0u)
        << shown[1];
    EXPECT_EQ(shown[1], console::LoadConsoleLabKey(open).Why());
    EXPECT_FALSE(NoticeShown(*window));
    EXPECT_TRUE(window->Session().Keyed());
    EXPECT_EQ(window->LabKey().Path(), Key());
    EXPECT_EQ(window->LabKey().StoredPath(), Key());

    const std::string malformed = keys_.File("malformed.key");
    std::ofstream(malformed) << "quarn-lab-key-1 1234\n";
    chmod(malformed.c_str(), 0600);
    const console::Outcome refused = window->LabKey().Use(malformed);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Why().rfind("Cannot use the lab key " + malformed + ": not a lab key", 0),
              0u);
    EXPECT_EQ(window->LabKey().StoredPath(), Key());
    // Shown once, then gone: the next dialog starts without it.
    EXPECT_EQ(AnswerDialogs(*window, {"close"}), std::vector<std::string>{refused.Why()});
    EXPECT_EQ(AnswerDialogs(*window, {"close"}), std::vector<std::string>{""});
}

TEST_F(WindowLabKeyTest, AKeyFromTheCommandLineWinsForItsStartOnly) {
    ASSERT_TRUE(Open()->LabKey().Use(Key()));
    {
        auto window = Open(OtherKey());
        EXPECT_EQ(window->LabKey().Path(), OtherKey());
        EXPECT_TRUE(window->LabKey().FromCommandLine());
        LabKeyDialog dialog(QString::fromStdString(OtherKey()), true, QString(), window.get());
        EXPECT_EQ(dialog.StatusLine().toStdString(), "In use: " + OtherKey());
        EXPECT_EQ(dialog.NoteLine(), "Given with --lab-key for this start.");
    }
    EXPECT_EQ(Open()->LabKey().Path(), Key());
}

TEST_F(WindowLabKeyTest, AKeptFileThatCannotBeUsedAnyMoreIsNamedAfterTheIntro) {
    const std::string open = OpenKey();
    chmod(open.c_str(), 0600);
    ASSERT_TRUE(Open()->LabKey().Use(open));
    chmod(open.c_str(), 0644);
    auto window = Open();
    EXPECT_FALSE(window->Session().Keyed());
    EXPECT_TRUE(window->LabKey().Path().empty());
    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_EQ(NoticeText(*window), console::ui::WindowLabKey::kKeptRefused);
    ConfirmNotice(*window);
    EXPECT_EQ(AnswerDialogs(*window, {"close"}),
              std::vector<std::string>{console::LoadConsoleLabKey(open).Why()});
}

TEST_F(WindowLabKeyTest, TheDialogSaysWhetherAKeyIsInUse) {
    auto window = Open();
    LabKeyDialog none(QString(), false, QString(), window.get());
    EXPECT_EQ(none.StatusLine(), "No lab key in use");
    EXPECT_EQ(none.NoteLine(), "Pairs run unauthenticated.");
    EXPECT_FALSE(NamedChild<widgets::SkinButton>(none, "clear")->isEnabled());
    LabKeyDialog used(QString::fromStdString(Key()), false, QString(), window.get());
    EXPECT_EQ(used.NoteLine(), "Used again at the next start.");
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(used, "clear")->isEnabled());
    // Drawn: the title and the status line leave ink on the dialog's face.
    used.show();
    const QImage face = Grab(used);
    EXPECT_GT(InkIn(face, QRect(8, 35, 200, 12), PixelAt(face, 290, 40)), 30);
}

// The window's pairs go authenticated with the chosen key; cleared, the keyed EndPoints
// refuse them with a cause naming the key.
class WindowLabKeyNetworkTest : public WindowNetworkTest {
  protected:
    void SetUp() override {
        WindowNetworkTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(keys_.File("lab.key"), why)) << why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(keys_.File("other.key"), why)) << why;
        for (int host : {2, 3}) {
            KillEndPoint(host);
            StartEndPoint(host, {}, {"--lab-key", keys_.File("lab.key")});
        }
    }

    void RunFor(const char* seconds) {
        Window().DurationEdit()->setText(seconds);
        Click(NamedChild<widgets::SkinButton>(Window(), "startStop"));
        ASSERT_EQ(Window().Session().Mode(), console::ConsoleMode::Measuring)
            << NoticeText(Window()).toStdString();
        ASSERT_TRUE(WaitFor([&] { return Window().Session().Mode() == console::ConsoleMode::Idle; },
                            40000));
        ConfirmNotice(Window());
    }

    // A search's replies, each with whether it lacked the key's signature.
    std::vector<bool> SearchUnverified() {
        Click(NamedChild<widgets::SkinButton>(Window(), "searchEndPoint"));
        EXPECT_TRUE(WaitFor([&] { return Window().Session().Mode() == console::ConsoleMode::Idle; },
                            20000));
        std::vector<bool> unverified;
        for (const console::EndPointEntry& entry : Window().Data().endPoints)
            unverified.push_back(entry.unverified);
        return unverified;
    }

    std::string LogOf(int row) {
        std::string text;
        const console::PairLog* lines = Window().Data().logs.Find(Window().Data().table[row].id);
        for (std::size_t i = 0; lines && i < lines->Size(); ++i)
            text += std::string(lines->Text(i)) + "\n";
        return text;
    }

    test_support::TempDir keys_;
};

TEST_F(WindowLabKeyNetworkTest, SearchesAndPairsUseTheKeyChosenInTheWindow) {
    MainWindow& window = Window();
    // Another lab's key: the replies carry no signature of it.
    ASSERT_TRUE(window.LabKey().Use(keys_.File("other.key")));
    EXPECT_EQ(SearchUnverified(), (std::vector<bool>{true, true}));
    window.LabKey().SetFileChooser(
        [this] { return QString::fromStdString(keys_.File("lab.key")); });
    AddPairThroughDialog(window, Address(2), Address(3));
    QTimer::singleShot(200, &window, [&window] {
        Click(NamedChild<widgets::SkinButton>(*window.findChild<LabKeyDialog*>(), "choose"));
    });
    window.LabKey().AskAndChange();
    ASSERT_TRUE(window.Session().Keyed());
    EXPECT_EQ(SearchUnverified(), (std::vector<bool>{false, false}));
    RunFor("2");
    EXPECT_EQ(window.Data().table[1].figures.state, console::PairState::Done) << LogOf(1);
    EXPECT_EQ(window.Data().table[1].figures.countText, "2") << LogOf(1);

    ASSERT_TRUE(window.LabKey().Clear());
    RunFor("1");  // refused before its first second
    EXPECT_NE(window.Data().table[1].figures.state, console::PairState::Done);
    EXPECT_NE(LogOf(1).find("lab key required"), std::string::npos) << LogOf(1);
    ExpectNoIperfLeft();
}

// EndPoints without a key still measure for a keyed window; the pair's tooltip says it
// ran unauthenticated, as its log does.
class WindowUnkeyedLabTest : public WindowNetworkTest {};

TEST_F(WindowUnkeyedLabTest, TheTooltipSaysThePairRanUnauthenticated) {
    MainWindow& window = Window();
    const test_support::TempDir keys;
    std::string why;
    ASSERT_TRUE(labkey::WriteNewKeyFile(keys.File("lab.key"), why)) << why;
    ASSERT_TRUE(window.LabKey().Use(keys.File("lab.key")));
    AddPairThroughDialog(window, Address(2), Address(3));
    const auto tooltip = [&window] {
        const QAbstractItemModel* model = window.PairList()->model();
        return model->data(model->index(0, 0), Qt::ToolTipRole).toString().toStdString();
    };
    EXPECT_EQ(tooltip(), "");
    window.DurationEdit()->setText("2");
    Click(NamedChild<widgets::SkinButton>(window, "startStop"));
    ASSERT_TRUE(
        WaitFor([&] { return window.Session().Mode() == console::ConsoleMode::Idle; }, 40000));
    ConfirmNotice(window);
    EXPECT_EQ(window.Data().table[1].figures.state, console::PairState::Done);
    const std::string said = "Ran unauthenticated: " + Address(2) + " has no lab key.";
    EXPECT_NE(tooltip().find(said), std::string::npos) << tooltip();
}

}  // namespace
}  // namespace quarn::gui_test
