#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QThread>
#include <QToolTip>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "endpoint/window/agent_event_relay.h"
#include "endpoint/window/endpoint_window.h"
#include "endpoint/window/rename_dialog.h"
#include "platform/name_store.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "tests/gui/named_child.h"
#include "tests/support/fake_iperf.h"
#include "tests/support/program_runner.h"
#include "tests/support/socket_reading.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::endpoint_window {
namespace {

using test_support::TempDir;

// Pumps events until pred holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// The agent on 127.0.0.1 with any free ports, the iperf stand-in and its own name store.
agent::AgentConfig LoopbackConfig(const TempDir& dir) {
    agent::AgentConfig config;
    config.iperfPath = test_support::FakeIperfPath();
    config.bindAddress = 0x7F000001;
    config.controlPort = 0;
    config.discoveryPort = 0;
    config.nameStoreDir = dir.Path();
    config.busyPorts = [](bool) { return std::set<uint16_t>(); };
    return config;
}

// An environment variable for the length of a test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) { setenv(name, value, 1); }
    ~ScopedEnv() { unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
};

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// With QUARN_SCREENSHOT_DIR set, keeps a picture of the widget there to look at.
void KeepShot(QWidget& widget, const char* name) {
    const QByteArray dir = qgetenv("QUARN_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        widget.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
}

bool IsDark(QRgb pixel) {
    return qRed(pixel) < 90 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

// Pixels in the rectangle that are close to the colour (antialiased text shows its colour
// fully only in the middle of its strokes).
int CountNear(const QImage& image, const QRect& area, QColor colour, int tolerance = 12) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor seen = image.pixelColor(x, y);
            if (std::abs(seen.red() - colour.red()) <= tolerance &&
                std::abs(seen.green() - colour.green()) <= tolerance &&
                std::abs(seen.blue() - colour.blue()) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

int CountDark(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += IsDark(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// Pixels clearly darker than the light background around them.
int CountShaded(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += qGray(image.pixel(x, y)) < 190 ? 1 : 0;
        }
    }
    return count;
}

// Rightmost column in the rectangle that holds a dark pixel, -1 for none.
int RightmostDark(const QImage& image, const QRect& area) {
    for (int x = area.right(); x >= area.left(); --x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (IsDark(image.pixel(x, y))) {
                return x;
            }
        }
    }
    return -1;
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), QPointF(widget.mapToGlobal(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// Agent events from the agent's threads arrive as signals on the relay's thread, in order.
TEST(AgentEventRelay, EmitsEventsOnItsOwnThreadInOrder) {
    AgentEventRelay relay;
    std::vector<QString> seen;
    std::vector<QThread*> threads;
    QObject::connect(&relay, &AgentEventRelay::nameChanged, [&](const QString& name) {
        seen.push_back(name);
        threads.push_back(QThread::currentThread());
    });
    QObject::connect(&relay, &AgentEventRelay::statusChanged, [&](agent::AgentStatus status) {
        seen.push_back(agent::StatusText(status));
        threads.push_back(QThread::currentThread());
    });
    QObject::connect(&relay, &AgentEventRelay::started,
                     [&](const QString& name, const QString& address) {
                         seen.push_back(name + "@" + address);
                         threads.push_back(QThread::currentThread());
                     });
    std::thread agentThread([&] {
        relay.OnNameChanged("첫째");
        relay.OnStatusChanged(agent::AgentStatus::Running);
        relay.OnStarted("second", "198.18.0.7");
    });
    agentThread.join();
    EXPECT_TRUE(seen.empty());  // nothing runs on the agent's thread
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("첫째"), "Running", "second@198.18.0.7"}));
    for (QThread* thread : threads) {
        EXPECT_EQ(thread, QThread::currentThread());
    }
}

TEST(AgentEventRelay, DropsEventsQueuedWhenItGoes) {
    auto relay = std::make_unique<AgentEventRelay>();
    auto called = std::make_shared<int>(0);
    QObject::connect(relay.get(), &AgentEventRelay::portInUse,
                     [called](quint16 port) { *called += port == 45000 ? 1 : 100; });
    std::thread agentThread([&] { relay->OnPortInUse(45000); });
    agentThread.join();
    relay.reset();
    QTest::qWait(50);
    EXPECT_EQ(*called, 0);

    // The same event with the relay alive does arrive.
    AgentEventRelay alive;
    QObject::connect(&alive, &AgentEventRelay::portInUse, [called](quint16) { ++*called; });
    std::thread again([&] { alive.OnPortInUse(45000); });
    again.join();
    EXPECT_TRUE(WaitUntil([&] { return *called == 1; }));
}

// A flood of events costs one wake-up per batch, not one per event, and none is lost or
// reordered when agent threads post while the relay's thread is emitting.
TEST(AgentEventRelay, MergesAFloodIntoFewWakeUpsAndKeepsEveryEvent) {
    AgentEventRelay relay;
    std::vector<int> ports;
    QObject::connect(&relay, &AgentEventRelay::portInUse,
                     [&](quint16 port) { ports.push_back(port); });
    constexpr int kBatch = 2000;
    std::thread burst([&] {
        for (int i = 0; i < kBatch; ++i) {
            relay.OnPortInUse(static_cast<uint16_t>(i));
        }
    });
    burst.join();
    ASSERT_TRUE(WaitUntil([&] { return ports.size() == kBatch; }));
    EXPECT_EQ(relay.WakeCount(), 1);  // all were waiting before the thread woke
    std::vector<int> expected(kBatch);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(ports, expected);

    // Two threads posting while this one emits: every event arrives, each thread's in order.
    ports.clear();
    auto post = [&](int base) {
        for (int i = 0; i < kBatch; ++i) {
            relay.OnPortInUse(static_cast<uint16_t>(base + i));
        }
    };
    std::thread first(post, 0);
    std::thread second(post, 30000);
    EXPECT_TRUE(WaitUntil([&] { return ports.size() == 2 * kBatch; }, 20000));
    first.join();
    second.join();
    QTest::qWait(20);
    ASSERT_EQ(ports.size(), 2u * kBatch);
    int lastLow = -1;
    int lastHigh = -1;
    for (int port : ports) {
        int& last = port < 30000 ? lastLow : lastHigh;
        EXPECT_GT(port, last);
        last = port;
    }
    EXPECT_EQ(lastLow, kBatch - 1);
    EXPECT_EQ(lastHigh, 30000 + kBatch - 1);
    EXPECT_LT(relay.WakeCount(), 1 + 2 * kBatch);
}

class EndPointWindowTest : public ::testing::Test {
  protected:
    void Open(const std::function<void(agent::AgentConfig&)>& adjust = {}) {
        agent::AgentConfig config = LoopbackConfig(dir_);
        if (adjust) {
            adjust(config);
        }
        window_ = std::make_unique<EndPointWindow>(std::move(config));
        window_->show();
        window_->StartAgent();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    RenameDialog* ClickEdit() {
        QTest::mouseClick(NamedChild<widgets::SkinButton>(*window_, "edit"), Qt::LeftButton);
        RenameDialog* dialog = window_->OpenRenameDialog();
        if (dialog != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        return dialog;
    }

    std::optional<std::string> StoredName() const {
        return platform::NameStore(dir_.Path()).Load();
    }

    TempDir dir_;
    std::unique_ptr<EndPointWindow> window_;
};

TEST_F(EndPointWindowTest, NormalModeIsPaintedAtItsPlaces) {
    platform::NameStore(dir_.Path()).Save("Bench-A");
    Open();
    EXPECT_EQ(window_->size(), QSize(302, 176));
    EXPECT_EQ(window_->windowTitle(), "Tolvex Quarn EndPoint");
    EXPECT_EQ(window_->DisplayName(), "Bench-A");
    EXPECT_FALSE(window_->AddressText().isEmpty());
    const QImage image = Grab(*window_);

    // Buttons where they belong, in their normal colours with the outline.
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window_, "exit")->geometry(),
              QRect(244, 149, 52, 21));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window_, "edit")->geometry(),
              QRect(209, 60, 41, 17));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window_, "init")->geometry(),
              QRect(252, 60, 41, 17));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window_, "close")->geometry(),
              QRect(280, 10, 12, 12));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window_, "minimise")->geometry(),
              QRect(266, 10, 12, 12));
    for (const QPoint corner : {QPoint(244, 149), QPoint(209, 60), QPoint(252, 60)}) {
        EXPECT_EQ(image.pixelColor(corner), QColor(191, 190, 188)) << corner.x();
        EXPECT_EQ(image.pixelColor(corner + QPoint(2, 1)), QColor(237, 237, 237)) << corner.x();
    }
    // The captions start at their offsets inside the buttons.
    EXPECT_GT(CountDark(image, QRect(244 + 14, 149 + 5, 24, 12)), 5);
    EXPECT_EQ(CountDark(image, QRect(244 + 2, 149 + 2, 10, 17)), 0);

    // Version text in grey, name, address and "Ready" in black.
    const QRect version(265, 38, 30, 12);
    EXPECT_GT(CountShaded(image, version), 5);
    EXPECT_EQ(CountDark(image, version), 0);
    EXPECT_GT(CountDark(image, QRect(73, 62, 60, 16)), 20);
    EXPECT_GT(CountDark(image, QRect(73, 85, 60, 13)), 20);
    EXPECT_GT(CountDark(image, QRect(73, 106, 40, 13)), 10);
    // "Ready" is short: nothing where "Running" would end.
    EXPECT_EQ(CountDark(image, QRect(73 + 36, 106, 20, 13)), 0);
}

TEST_F(EndPointWindowTest, StatusFollowsTheAgentsServerRole) {
    // The iperf server ends by itself a moment after it started.
    const ScopedEnv script("FAKE_IPERF_SCRIPT", "server *: listen; sleep 700; exit 0");
    Open();
    EXPECT_FALSE(window_->Running());
    platform::Socket connection = test_support::ConnectLoopback(window_->Agent().ControlPort());
    ASSERT_TRUE(connection.Valid());
    ASSERT_TRUE(platform::SendAll(connection, "server_config -s -f m -i 1\r\n"));
    EXPECT_NE(test_support::ReadUntilContains(connection, "\r\n", 5000).data.find("ok;"),
              std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return window_->Running(); }));
    // "Running" reaches further right than "Ready".
    EXPECT_GT(CountDark(Grab(*window_), QRect(73 + 36, 106, 20, 13)), 3);

    ASSERT_TRUE(WaitUntil([&] { return !window_->Running(); }));
    EXPECT_EQ(CountDark(Grab(*window_), QRect(73 + 36, 106, 20, 13)), 0);
    // Stopped before the script goes away.
    window_.reset();
}

TEST_F(EndPointWindowTest, RenameWithApplyStoresAndShowsTheName) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->size(), QSize(250, 92));
    EXPECT_EQ(NamedChild<QLineEdit>(*dialog, "name")->text(), window_->DisplayName());
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window_, "exit")->isHidden());
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*dialog, "apply")->geometry(),
              QRect(192, 64, 52, 21));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*dialog, "cancel")->geometry(),
              QRect(136, 64, 52, 21));

    const QImage image = Grab(*dialog);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(210, 210, 210));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(6, 37), QColor(210, 210, 210));
    EXPECT_EQ(image.pixelColor(100, 24), QColor(196, 196, 196));
    EXPECT_EQ(image.pixelColor(100, 23), QColor(250, 250, 250));
    EXPECT_GT(CountDark(image, QRect(9, 8, 60, 13)), 20);  // "New name"
    KeepShot(*dialog, "endpoint-rename");

    NamedChild<QLineEdit>(*dialog, "name")->setText(QStringLiteral("실험실 PC"));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*dialog, "apply"), Qt::LeftButton);
    EXPECT_EQ(window_->OpenRenameDialog(), nullptr);
    EXPECT_EQ(window_->DisplayName(), QStringLiteral("실험실 PC"));
    EXPECT_EQ(window_->Agent().DisplayName(), "실험실 PC");
    EXPECT_EQ(StoredName(), "실험실 PC");
    EXPECT_FALSE(NamedChild<widgets::SkinButton>(*window_, "exit")->isHidden());
}

TEST_F(EndPointWindowTest, EnterInTheFieldActsAsApplyAndEscapeClosesNothing) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    QTest::keyClick(NamedChild<QLineEdit>(*dialog, "name"), Qt::Key_Escape);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->OpenRenameDialog(), dialog);

    NamedChild<QLineEdit>(*dialog, "name")->clear();
    QTest::keyClicks(NamedChild<QLineEdit>(*dialog, "name"), "Rack 7");
    QTest::keyClick(NamedChild<QLineEdit>(*dialog, "name"), Qt::Key_Return);
    EXPECT_EQ(window_->OpenRenameDialog(), nullptr);
    EXPECT_EQ(window_->DisplayName(), "Rack 7");
    EXPECT_EQ(StoredName(), "Rack 7");
    // Enter on the main window closes nothing either.
    QTest::keyClick(window_.get(), Qt::Key_Return);
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(EndPointWindowTest, CancelKeepsTheName) {
    Open();
    const QString before = window_->DisplayName();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    NamedChild<QLineEdit>(*dialog, "name")->setText("Other");
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*dialog, "cancel"), Qt::LeftButton);
    EXPECT_EQ(window_->OpenRenameDialog(), nullptr);
    EXPECT_EQ(window_->DisplayName(), before);
    EXPECT_EQ(StoredName(), std::nullopt);
    EXPECT_FALSE(NamedChild<widgets::SkinButton>(*window_, "exit")->isHidden());
}

TEST_F(EndPointWindowTest, EmptyNameShowsTheHintForTwoSeconds) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    const QRect hint(8, 69, 60, 13);
    EXPECT_EQ(CountNear(Grab(*dialog), hint, QColor(123, 123, 123), 20), 0);

    NamedChild<QLineEdit>(*dialog, "name")->clear();
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*dialog, "apply"), Qt::LeftButton);
    EXPECT_TRUE(dialog->WarningShown());
    EXPECT_GT(CountNear(Grab(*dialog), hint, QColor(123, 123, 123), 20), 5);
    KeepShot(*dialog, "endpoint-rename-empty");
    // Still there well within the two seconds, the dialog still open.
    QTest::qWait(1500);
    EXPECT_TRUE(dialog->WarningShown());
    EXPECT_EQ(window_->OpenRenameDialog(), dialog);
    ASSERT_TRUE(WaitUntil([&] { return !dialog->WarningShown(); }, 3000));
    EXPECT_EQ(CountNear(Grab(*dialog), hint, QColor(123, 123, 123), 20), 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(StoredName(), std::nullopt);
}

TEST_F(EndPointWindowTest, FieldTakesAtMost120Characters) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    NamedChild<QLineEdit>(*dialog, "name")->clear();
    QTest::keyClicks(NamedChild<QLineEdit>(*dialog, "name"), QString(130, QChar('n')));
    EXPECT_EQ(NamedChild<QLineEdit>(*dialog, "name")->text().size(), 120);
    QTest::keyClick(NamedChild<QLineEdit>(*dialog, "name"), Qt::Key_Return);
    EXPECT_EQ(StoredName(), std::string(120, 'n'));
}

TEST_F(EndPointWindowTest, NameWithControlCharactersIsRefusedLikeAnEmptyOne) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    NamedChild<QLineEdit>(*dialog, "name")->setText(QStringLiteral("a\tb"));
    QTest::keyClick(NamedChild<QLineEdit>(*dialog, "name"), Qt::Key_Return);
    EXPECT_TRUE(dialog->WarningShown());
    EXPECT_EQ(window_->OpenRenameDialog(), dialog);
    EXPECT_EQ(StoredName(), std::nullopt);
}

TEST_F(EndPointWindowTest, InitGoesBackToTheComputerName) {
    platform::NameStore(dir_.Path()).Save("Renamed");
    Open();
    EXPECT_EQ(window_->DisplayName(), "Renamed");
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window_, "init"), Qt::LeftButton);
    EXPECT_EQ(window_->DisplayName(), QString::fromStdString(platform::ComputerName()));
    EXPECT_EQ(window_->Agent().DisplayName(), platform::ComputerName());
    EXPECT_EQ(StoredName(), std::nullopt);
}

TEST_F(EndPointWindowTest, LongNameEndsInAnEllipsisInsideItsRectangle) {
    platform::NameStore(dir_.Path()).Save(std::string(80, 'W'));
    Open();
    const QImage image = Grab(*window_);
    KeepShot(*window_, "endpoint-long-name");
    const QRect nameBand(73, 62, 136, 16);  // up to the Edit button at 209
    const int right = RightmostDark(image, nameBand);
    // The text runs to the rectangle's end (x 206), short of it by less than a "W", and not
    // past it.
    EXPECT_GE(right, 188);
    EXPECT_LE(right, 206);
    // Its last glyph is the ellipsis: dots, nothing in the upper half of
    // the text, where every "W" has strokes (measured, so that any font will do).
    const auto inkRows = [&](const QRect& box) {
        int top = 100, bottom = -1;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            if (CountDark(image, QRect(box.left(), y, box.width(), 1)) > 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        return std::pair{top, bottom};
    };
    const auto [wTop, wBottom] = inkRows(QRect(73, 62, 20, 16));
    ASSERT_LT(wTop, wBottom);  // the W's themselves
    const int dotsTop = inkRows(QRect(right - 8, 62, 9, 16)).first;
    EXPECT_GT(dotsTop, (wTop + wBottom) / 2);
}

TEST_F(EndPointWindowTest, CutNameShowsWholeInItsTooltip) {
    const std::string name(80, 'W');
    platform::NameStore(dir_.Path()).Save(name);
    Open();
    const auto tipAt = [&](QPoint at) {
        QToolTip::hideText();  // takes effect a moment later
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent help(QEvent::ToolTip, at, window_->mapToGlobal(at));
        QApplication::sendEvent(window_.get(), &help);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    EXPECT_EQ(tipAt(QPoint(100, 69)), name);
    // The address fits: no tooltip there, nor away from the texts.
    EXPECT_EQ(tipAt(QPoint(80, 90)), "");
    EXPECT_EQ(tipAt(QPoint(20, 120)), "");

    platform::NameStore(dir_.Path()).Save("lab");
    window_.reset();
    Open();
    EXPECT_EQ(tipAt(QPoint(76, 69)), "") << "a name that fits has no tooltip";
}

TEST_F(EndPointWindowTest, ControlPortInUseShowsTheNoticeAndHidesEditAndInit) {
    // Something else holds the control port (loopback only).
    platform::Socket holder(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder.Fd(), 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder.Fd(), reinterpret_cast<sockaddr*>(&address), &length);
    const uint16_t port = ntohs(address.sin_port);

    Open([port](agent::AgentConfig& config) { config.controlPort = port; });
    ASSERT_TRUE(WaitUntil([&] { return window_->PortInUseMode(); }));
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window_, "edit")->isHidden());
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window_, "init")->isHidden());
    EXPECT_FALSE(NamedChild<widgets::SkinButton>(*window_, "exit")->isHidden());

    const QImage image = Grab(*window_);
    // The box (7,58)-(295,142) is white: the picture's labels and rules are covered.
    EXPECT_EQ(image.pixelColor(7, 58), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(294, 141), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(9, 130), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(65, 130), QColor(Qt::white));
    // Three grey lines at their places, no black text (no name, address or status).
    const QColor grey(123, 123, 123);
    EXPECT_GT(CountNear(image, QRect(13, 75, 200, 13), grey, 20), 20);
    EXPECT_GT(CountNear(image, QRect(12, 91, 200, 13), grey, 20), 20);
    EXPECT_GT(CountNear(image, QRect(12, 107, 200, 13), grey, 20), 20);
    EXPECT_EQ(CountNear(image, QRect(12, 122, 270, 18), grey, 20), 0);
    EXPECT_EQ(CountDark(image, QRect(8, 59, 286, 82)), 0);

    // Edit cannot be reached; Exit still ends it.
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window_, "exit"), Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(EndPointWindowTest, DiscoveryPortInUseShowsTheSameNotice) {
    platform::Socket holder(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder.Fd(), reinterpret_cast<sockaddr*>(&address), &length);
    const uint16_t port = ntohs(address.sin_port);

    Open([port](agent::AgentConfig& config) { config.discoveryPort = port; });
    ASSERT_TRUE(WaitUntil([&] { return window_->PortInUseMode(); }));
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window_, "edit")->isHidden());
    EXPECT_GT(CountNear(Grab(*window_), QRect(12, 107, 200, 13), QColor(123, 123, 123), 20), 20);
}

TEST_F(EndPointWindowTest, ExitAndCloseStopTheAgent) {
    Open();
    const uint16_t port = window_->Agent().ControlPort();
    ASSERT_TRUE(test_support::ConnectLoopback(port).Valid());
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window_, "close"), Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(test_support::ConnectLoopback(port, 500).Valid());
}

TEST_F(EndPointWindowTest, ShutdownClosesAnOpenRenameDialog) {
    Open();
    RenameDialog* dialog = ClickEdit();
    ASSERT_NE(dialog, nullptr);
    NamedChild<QLineEdit>(*dialog, "name")->setText("Not applied");
    window_->Shutdown();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->OpenRenameDialog(), nullptr);
    EXPECT_EQ(StoredName(), std::nullopt);
}

TEST_F(EndPointWindowTest, MinimiseButtonMinimises) {
    Open();
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window_, "minimise"), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return window_->isMinimized(); }));
}

TEST_F(EndPointWindowTest, DragsOnlyByTheTopBand) {
    Open();
    window_->move(100, 100);
    ASSERT_TRUE(WaitUntil([&] { return window_->pos() == QPoint(100, 100); }));

    SendMouse(*window_, QEvent::MouseButtonPress, QPoint(50, 30), Qt::LeftButton);
    SendMouse(*window_, QEvent::MouseMove, QPoint(90, 50), Qt::LeftButton);
    SendMouse(*window_, QEvent::MouseButtonRelease, QPoint(90, 50), Qt::NoButton);
    EXPECT_TRUE(WaitUntil([&] { return window_->pos() == QPoint(140, 120); }))
        << window_->pos().x() << "," << window_->pos().y();

    // Just below the band: the window stays where it is.
    SendMouse(*window_, QEvent::MouseButtonPress, QPoint(50, 31), Qt::LeftButton);
    SendMouse(*window_, QEvent::MouseMove, QPoint(90, 71), Qt::LeftButton);
    SendMouse(*window_, QEvent::MouseButtonRelease, QPoint(90, 71), Qt::NoButton);
    QTest::qWait(50);
    EXPECT_EQ(window_->pos(), QPoint(140, 120));
}

TEST_F(EndPointWindowTest, HoverRepaintsTextButtonsInTheHoverColour) {
    Open();
    widgets::SkinButton* edit = NamedChild<widgets::SkinButton>(*window_, "edit");
    QEnterEvent enter(QPointF(5, 5), QPointF(edit->mapTo(window_.get(), QPoint(5, 5))),
                      QPointF(edit->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(edit, &enter);
    ASSERT_TRUE(edit->IsHovered());
    EXPECT_EQ(Grab(*window_).pixelColor(211, 61), QColor(243, 248, 226));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(edit, &leave);
    EXPECT_EQ(Grab(*window_).pixelColor(211, 61), QColor(237, 237, 237));
}

TEST_F(EndPointWindowTest, SecondStartRaisesTheWindow) {
    const std::string name = "endpoint-test-" + std::to_string(getpid());
    platform::SingleInstance instance;
    ASSERT_TRUE(instance.Acquire(name));
    Open();
    window_->ListenForRaise(instance);
    window_->showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return window_->isMinimized(); }));

    ASSERT_TRUE(platform::SingleInstance::NotifyRunning(name));
    EXPECT_TRUE(WaitUntil([&] { return !window_->isMinimized() && window_->isVisible(); }));
    window_.reset();  // before the instance it watches
}

// The program itself: a second start in the same network namespace raises the window
// holding the instance and ends with 0.
TEST_F(EndPointWindowTest, SecondProgramStartRaisesTheRunningWindowAndExitsZero) {
    QUARN_SKIP_WITHOUT_NETNS();
    test_support::TestNetwork network(1);
    platform::SingleInstance instance;
    bool acquired = false;
    network.RunInHost(1, [&] { acquired = instance.Acquire("endpoint"); });
    ASSERT_TRUE(acquired);
    Open();
    window_->ListenForRaise(instance);
    window_->showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return window_->isMinimized(); }));

    TempDir home;
    test_support::RunningProgram second =
        network.Spawn(1, {test_support::BuiltProgramPath("Quarn_EndPoint")},
                      {"QT_QPA_PLATFORM=offscreen", "QUARN_CONFIG_HOME=" + home.Path()});
    EXPECT_TRUE(WaitUntil([&] { return !window_->isMinimized(); }, 10000));
    ASSERT_TRUE(second.WaitExit(10000)) << second.Transcript();
    EXPECT_EQ(second.ExitCode(), 0) << second.Transcript();
    window_.reset();  // before the instance it watches
}

// Without --headless the program opens its window and serves; a second start leaves it
// running and exits 0; SIGTERM ends it like Exit.
TEST(EndPointWindowProgram, WindowedProgramServesAndASecondStartEndsAtOnce) {
    QUARN_SKIP_WITHOUT_NETNS();
    test_support::TestNetwork network(1);
    TempDir home;
    const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                          "QUARN_CONFIG_HOME=" + home.Path(),
                                          "QUARN_IPERF=" + test_support::FakeIperfPath()};
    const std::string program = test_support::BuiltProgramPath("Quarn_EndPoint");
    test_support::RunningProgram first = network.Spawn(1, {program}, env);

    bool serving = false;
    for (int i = 0; i < 100 && !serving; ++i) {
        network.RunInHost(1, [&] { serving = test_support::ConnectLoopback(45000, 200).Valid(); });
        if (!serving) {
            usleep(50000);
        }
    }
    ASSERT_TRUE(serving) << first.Transcript();

    test_support::RunningProgram second = network.Spawn(1, {program}, env);
    ASSERT_TRUE(second.WaitExit(10000)) << second.Transcript();
    EXPECT_EQ(second.ExitCode(), 0) << second.Transcript();
    EXPECT_FALSE(first.WaitExit(300));

    ASSERT_TRUE(first.Signal(SIGTERM));
    ASSERT_TRUE(first.WaitExit(10000)) << first.Transcript();
    EXPECT_EQ(first.ExitCode(), 0) << first.Transcript();
}

// The address text follows the machine's adapters.
TEST_F(EndPointWindowTest, AddressTextFollowsANewAdapter) {
    QUARN_SKIP_WITHOUT_NETNS();
    test_support::TestNetwork network(1);
    agent::AgentConfig config = LoopbackConfig(dir_);
    config.bindAddress = 0;
    config.addressRefreshMs = 200;
    window_ = std::make_unique<EndPointWindow>(std::move(config));
    window_->show();
    // The agent's sockets and threads live in the host's namespace.
    network.RunInHost(1, [&] { window_->Agent().Start(); });
    ASSERT_TRUE(WaitUntil([&] { return window_->AddressText() == "198.18.0.11"; }))
        << window_->AddressText().toStdString();
    network.AddInterface(1, "198.19.0.11/24");
    EXPECT_TRUE(WaitUntil([&] { return window_->AddressText() == "198.18.0.11 / 198.19.0.11"; }))
        << window_->AddressText().toStdString();
    window_.reset();
}

}  // namespace
}  // namespace quarn::endpoint_window
