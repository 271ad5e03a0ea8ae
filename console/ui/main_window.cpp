#include "console/ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QPainter>
#include <QWindow>
#include <cstdio>

#include "address/ipv4.h"
#include "console/ui/all_strip.h"
#include "console/ui/border_zones.h"
#include "console/ui/caption_bar.h"
#include "console/ui/chart_export_menu.h"
#include "console/ui/chart_measure_tabs.h"
#include "console/ui/chart_widget.h"
#include "console/ui/command_faces.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/history_commands.h"
#include "console/ui/main_backdrop.h"
#include "console/ui/main_commands.h"
#include "console/ui/mode_input_filter.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_menu.h"
#include "console/ui/reference_commands.h"
#include "console/ui/window_files.h"
#include "console/ui/window_lab_key.h"
#include "console/ui/window_plan.h"
#include "widgets/artwork.h"
#include "widgets/fonts.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"
#include "widgets/text.h"
#include "widgets/window_placement.h"

namespace quarn::console::ui {
MainWindow::MainWindow(ConsoleSession& session, Options options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      session_(session),
      options_(std::move(options)) {
    widgets::InitArtwork();
    setWindowTitle(QStringLiteral("Tolvex Quarn Console"));
    setWindowIcon(widgets::ConsoleIcon());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFont(widgets::GulimFont(12));

    CreateControls();
    commands_ = std::make_unique<MainCommands>(session_, static_cast<CommandInputs&>(*this));
    ConnectControls();
    ConnectCommands();
    ConnectEvents();
    session_.AttachView(&events_);
    files_ = std::make_unique<WindowFiles>(*this);
    records_ = std::make_unique<HistoryCommands>(*this);
    labKey_ = std::make_unique<WindowLabKey>(*this, options_.labKeyPath, options_.settingsDir);
    plan_ = std::make_unique<WindowPlan>(*this);
    files_->ChartMenu()->SetSettingsActions([this](QMenu& menu) { labKey_->AddActions(menu); });
    if (const Outcome served = session_.ServeMetrics(); !served)
        std::fprintf(stderr, "%s\n", served.Why().c_str());
    inputFilter_ = new ModeInputFilter(
        this, [this] { return session_.Mode(); }, this);
    RegisterInputRoles();
    qApp->installEventFilter(inputFilter_);

    RefreshOwnAddress();
    connect(&addressTimer_, &QTimer::timeout, this, &MainWindow::RefreshOwnAddress);
    addressTimer_.start(options_.addressRefresh);

    // The intro: every control hidden, the small window, then the main look.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->hide();
    resize(kIntroSize);
    widgets::CentreOnItsScreen(*this);
    introTimer_.setSingleShot(true);
    connect(&introTimer_, &QTimer::timeout, this, &MainWindow::EndIntro);
    introTimer_.start(options_.introTime);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(inputFilter_);
    // The dispatcher closes first, so no worker or search result reaches a dying window.
    session_.Shutdown();
    if (ChartExportMenu* menu = files_->ChartMenu())
        menu->SetSettingsActions(nullptr);
    plan_.reset();
    labKey_.reset();
    records_.reset();
    // Shutdown has joined the file flow's worker; its host goes now.
    files_.reset();
    session_.AttachView(nullptr);
    commands_.reset();
    qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
}

void MainWindow::CreateControls() {
    ConsoleData& data = session_.Data();
    caption_ = new CaptionBar(this);
    allStrip_ = new AllStrip(data.table, this);
    allStrip_->SetUdpSelected([this] { return Data().settings.protocol == Protocol::Udp; });
    endPointPanel_ = new EndPointPanel(this);
    pairList_ = new PairListWidget(data.table, this);
    pairList_->SetNameLookup([this](const std::string& address) { return Data().NameOf(address); });
    pairList_->SetProtocolIsTcp(data.settings.protocol == Protocol::Tcp);
    pairList_->Model()->SetJudgement(
        [this](const PairRecord& pair) { return RowJudgementOf(Data(), pair); });
    chart_ = new ChartWidget(data.chart, this);
    chart_->SetPairTable(&data.table);
    chart_->SetHighlight(&data.highlighted);
    connect(&events_, &ConsoleSignals::chartChanged, chart_, &ChartWidget::Refresh);
    notice_ = new NoticePanel(this);

    protocol_ = new widgets::SkinCombo(this);
    protocol_->addItem(QStringLiteral("TCP"));
    protocol_->addItem(QStringLiteral("UDP"));
    protocol_->setCurrentIndex(data.settings.protocol == Protocol::Udp ? 1 : 0);
    valueEdit_ = CreateEdit(data.settings.ValueText());
    durationEdit_ = CreateEdit(data.settings.durationText);
    CreateButtons();
    NameControls();
}

// Tests and tools find the controls by these names.
void MainWindow::NameControls() {
    const std::pair<QWidget*, const char*> names[] = {{caption_, "caption"},
                                                      {allStrip_, "allStrip"},
                                                      {endPointPanel_, "endPointPanel"},
                                                      {pairList_, "pairList"},
                                                      {chart_, "chart"},
                                                      {notice_, "notice"},
                                                      {protocol_, "protocol"},
                                                      {valueEdit_, "valueEdit"},
                                                      {durationEdit_, "durationEdit"},
                                                      {startStop_, "startStop"},
                                                      {addManually_, "addManually"},
                                                      {deletePair_, "deletePair"},
                                                      {addEndPoint_, "addEndPoint"},
                                                      {searchEndPoint_, "searchEndPoint"},
                                                      {fileMenu_, "fileMenu"},
                                                      {totalToggle_, "totalToggle"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(QString::fromLatin1(name));
}

QLineEdit* MainWindow::CreateEdit(const std::string& text) {
    auto* edit = new QLineEdit(widgets::FromUtf8(text), this);
    edit->setMaxLength(6);
    edit->setFrame(false);
    edit->setFont(widgets::GulimFont(12));
    edit->setTextMargins(0, 0, 0, 0);
    edit->setStyleSheet(
        QStringLiteral("QLineEdit { border: none; padding: 0px; background: white; }"));
    return edit;
}

void MainWindow::CreateButtons() {
    const auto measuring = [this] { return session_.Mode() == ConsoleMode::Measuring; };
    const auto make = [this](widgets::SkinButton::Painter face) {
        auto* button = new widgets::SkinButton(this);
        button->SetPainter(std::move(face));
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    startStop_ = make(StartStopFace(
        measuring, [this] { return session_.Run().FirstTickSeen(); },
        [this] { return session_.Run().StopPending(); }));
    addManually_ =
        make(PairCommandFace(QStringLiteral("Add manually"), widgets::kAddPairIcon, measuring));
    deletePair_ =
        make(PairCommandFace(QStringLiteral("Delete pair"), widgets::kDeletePairIcon, measuring));
    addEndPoint_ = make(EndPointCommandFace(QStringLiteral("Add End Point"), 0));
    searchEndPoint_ = make(EndPointCommandFace(QStringLiteral("Search End Point"), 2));
    fileMenu_ = make(StripFace(widgets::kFileMenuStrip, widgets::kFileMenuWidth,
                               [](const widgets::SkinButton& b) { return b.IsHovered() ? 1 : 0; }));
    totalToggle_ = make(StripFace(widgets::kTotalToggleStrip, widgets::kTotalToggleWidth,
                                  [this](const widgets::SkinButton&) {
                                      return Data().table.All().config.showTotal ? 0 : 1;
                                  }));
    totalToggle_->setToolTip(QStringLiteral("Show or hide the All curve in the chart"));
    // Each lies on a bar of its own: as the bar's child it is never a sibling overlapping it.
    fileMenu_->setParent(caption_);
    totalToggle_->setParent(allStrip_);
    fileMenu_->show();
    totalToggle_->show();
}

void MainWindow::ConnectControls() {
    MainCommands* c = commands_.get();
    connect(startStop_, &QAbstractButton::clicked, c, [c] { c->StartOrStop(); });
    connect(addManually_, &QAbstractButton::clicked, c, [c] { c->AddManually(); });
    connect(deletePair_, &QAbstractButton::clicked, c, [c] { c->DeleteSelected(); });
    connect(addEndPoint_, &QAbstractButton::clicked, c, [c] { c->AddFromLists(); });
    connect(searchEndPoint_, &QAbstractButton::clicked, c, [c] { c->Search(); });
    connect(totalToggle_, &QAbstractButton::clicked, c, [c] { c->ToggleTotal(); });
    connect(fileMenu_, &QAbstractButton::clicked, this, &MainWindow::fileMenuClicked);
    connect(protocol_, &QComboBox::currentIndexChanged, c,
            [c](int index) { c->SwitchProtocol(index); });
    connect(caption_, &CaptionBar::helpClicked, this, &MainWindow::helpRequested);
    connect(caption_, &CaptionBar::minimiseClicked, this, &QWidget::showMinimized);
    connect(caption_, &CaptionBar::closeClicked, c, [c] { c->AskQuit(); });
    connect(notice_, &NoticePanel::quitAnswered, this, [this](bool yes) {
        if (yes)
            Quit();
    });
    connect(pairList_, &PairListWidget::pairDoubleClicked, c, &MainCommands::EditPair);
    connect(pairList_, &PairListWidget::contextMenuRequested, c, &MainCommands::OpenItemMenu);
    pairList_->installEventFilter(c);
    connect(pairList_, &PairListWidget::highlightChanged, this, [this](PairId pair) {
        Data().highlighted = pair;
        chart_->Refresh();
    });
}

// What the commands changed beyond the list and the notices.
void MainWindow::ConnectCommands() {
    MainCommands* c = commands_.get();
    connect(c, &MainCommands::shapeChanged, this, &MainWindow::UpdateLayout);
    connect(c, &MainCommands::pairsDeleted, pairList_, &QAbstractItemView::clearSelection);
    connect(c, &MainCommands::searchStarted, endPointPanel_, [this](bool listsShown) {
        if (listsShown)
            endPointPanel_->ShowEmpty();
        endPointPanel_->BeginSearch();
        update();
    });
    connect(&events_, &ConsoleSignals::searchEnded, endPointPanel_, [this] {
        if (Data().endPointsKnown)
            endPointPanel_->ShowEntries(Data().endPoints);
        else
            endPointPanel_->ShowEmpty();
        endPointPanel_->EndSearch();
        update();
    });
    connect(c, &MainCommands::passLinesChanged, this, [this] { records_->Reference().Rejudge(); });
    connect(c, &MainCommands::totalToggled, totalToggle_, qOverload<>(&QWidget::update));
    connect(c, &MainCommands::totalToggled, allStrip_, qOverload<>(&QWidget::update));
    connect(c, &MainCommands::protocolSwitched, this, [this](const QString& valueText) {
        valueEdit_->setText(valueText);
        update();
    });
}

// The core's events, each to the widgets that show it.
void MainWindow::ConnectEvents() {
    ConsoleSignals* e = &events_;
    connect(e, &ConsoleSignals::noticeRequested, notice_,
            [this](NoticeKind kind, const QString& text) {
                if (!quitting_)
                    notice_->ShowNotice(kind, text);
            });
    connect(e, &ConsoleSignals::listChanged, pairList_, [this] {
        pairList_->SetProtocolIsTcp(Data().settings.protocol == Protocol::Tcp);
        pairList_->SetHighlighted(Data().highlighted);
        pairList_->Refresh();
    });
    connect(e, &ConsoleSignals::tickProcessed, pairList_, &PairListWidget::Refresh);
    connect(e, &ConsoleSignals::tickProcessed, chart_, &ChartWidget::Refresh);
    connect(e, &ConsoleSignals::listChanged, allStrip_, qOverload<>(&QWidget::update));
    connect(e, &ConsoleSignals::tickProcessed, allStrip_, [this] { allStrip_->update(); });
    connect(e, &ConsoleSignals::runStarted, this, &MainWindow::ShowRunStarted);
    connect(e, &ConsoleSignals::modeChanged, this, &MainWindow::ShowMode);
}

void MainWindow::RegisterInputRoles() {
    using Role = ModeInputFilter::Role;
    inputFilter_->Register(pairList_, Role::PairList);
    inputFilter_->Register(startStop_, Role::RunControl);
    inputFilter_->Register(totalToggle_, Role::RunControl);
    inputFilter_->Register(chart_->MeasureTabs(), Role::RunControl);
    for (QWidget* other : std::initializer_list<QWidget*>{
             protocol_, valueEdit_, durationEdit_, addManually_, deletePair_, addEndPoint_,
             searchEndPoint_, fileMenu_, endPointPanel_, chart_, allStrip_, files_->Panel()}) {
        inputFilter_->Register(other, Role::Other);
    }
}

void MainWindow::EndIntro() {
    if (!intro_)
        return;
    introTimer_.stop();
    intro_ = false;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != notice_ && !child->isWindow())
            child->show();
    }
    setMinimumSize(kMainSize);
    resize(kMainSize);
    widgets::CentreOnItsScreen(*this);
    UpdateLayout();
    files_->IntroEnded();
    labKey_->IntroEnded();
    update();
    if (!options_.openFile.empty())
        files_->Session().OpenPath(options_.openFile);
    else if (options_.offerRecovery)
        records_->OfferRecovery();
}

int MainWindow::PairListHeight(int pairs) {
    return PairListWidget::HeightFor(pairs);
}

QRect MainWindow::PairListArea() const {
    return QRect(QPoint(7, 61), QPoint(width() - 376 - 1, 270 - 1));
}

void MainWindow::UpdateLayout() {
    const int w = width();
    const int h = height();
    caption_->setGeometry(0, 0, w, CaptionBar::kHeight);
    fileMenu_->setGeometry(w - 81, 9, 14, 15);  // the caption starts at the window's corner
    protocol_->setGeometry(355, 36, 56, 20);
    valueEdit_->setGeometry(499 + 5, 37 + 4, 52 - 10, 19 - 6);
    durationEdit_->setGeometry(655 + 5, 37 + 4, 52 - 10, 19 - 6);
    allStrip_->setGeometry(AllStrip::kLeft, AllStrip::kTop, w - 376 - AllStrip::kLeft,
                           AllStrip::kHeight);
    totalToggle_->setGeometry(72 - AllStrip::kLeft, 94 - AllStrip::kTop, 45, 19);
    pairList_->setGeometry(7, 123, w - 376 - 7, PairListHeight(Data().table.PairCount()));
    startStop_->setGeometry(6, 275, w - 480 - 6, 312 - 275);
    addManually_->setGeometry(w - 477, 275, 101, 17);
    deletePair_->setGeometry(w - 477, 295, 101, 17);
    addEndPoint_->setGeometry(w - 373, 40, 104, 14);
    searchEndPoint_->setGeometry(w - 259, 40, 122, 14);
    endPointPanel_->setGeometry(w - EndPointPanel::kRightOffset, EndPointPanel::kTop,
                                EndPointPanel::kWidth, EndPointPanel::kHeight);
    chart_->setGeometry(7, 337, w - 14, h - 7 - 337);
    if (files_)
        files_->Layout(w);
}

void MainWindow::resizeEvent(QResizeEvent*) {
    if (!intro_)
        UpdateLayout();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (intro_) {
        PaintIntro(painter, size());
        return;
    }
    MainLook look;
    look.size = size();
    look.udp = Data().settings.protocol == Protocol::Udp;
    look.measuredAt = widgets::FromUtf8(Data().measuredAt);
    PaintMainLook(painter, look);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (intro_)
        return;
    const QPoint point = event->position().toPoint();
    const Qt::Edges zone = BorderZoneAt(point, size());
    if (event->button() == Qt::LeftButton && zone) {
        QWindow* handle = windowHandle();
        if (!handle || !handle->startSystemResize(zone)) {
            resizing_ = zone;
            resizeStart_ = event->globalPosition().toPoint();
            resizeGeometry_ = geometry();
        }
        return;
    }
    if (PairListArea().contains(point)) {
        pairList_->setFocus();
        if (event->button() == Qt::RightButton)
            commands_->OpenEmptyAreaMenu(event->globalPosition().toPoint());
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (intro_)
        return;
    if (resizing_) {
        const QPoint delta = event->globalPosition().toPoint() - resizeStart_;
        QRect g = resizeGeometry_;
        if (resizing_ & Qt::LeftEdge)
            g.setLeft(std::min(g.left() + delta.x(), g.right() - kMainSize.width() + 1));
        if (resizing_ & Qt::RightEdge)
            g.setRight(std::max(g.right() + delta.x(), g.left() + kMainSize.width() - 1));
        if (resizing_ & Qt::TopEdge)
            g.setTop(std::min(g.top() + delta.y(), g.bottom() - kMainSize.height() + 1));
        if (resizing_ & Qt::BottomEdge)
            g.setBottom(std::max(g.bottom() + delta.y(), g.top() + kMainSize.height() - 1));
        setGeometry(g);
        return;
    }
    setCursor(BorderCursor(BorderZoneAt(event->position().toPoint(), size())));
}

void MainWindow::mouseReleaseEvent(QMouseEvent*) {
    resizing_ = {};
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (quitting_) {
        event->accept();
        return;
    }
    // Closing from outside (the window system) asks first, as the close button does.
    event->ignore();
    commands_->AskQuit();
}

void MainWindow::Quit() {
    if (quitting_)
        return;
    quitting_ = true;
    introTimer_.stop();
    addressTimer_.stop();
    // A Pair Setting dialog open at this moment (a signal may ask to quit) ends first.
    for (QDialog* dialog : findChildren<QDialog*>())
        dialog->reject();
    commands_->Menu()->hide();
    session_.Quit();
    notice_->hide();
    close();
    emit quitted();
}

void MainWindow::RefreshOwnAddress() {
    // No address known yet shows as 0.0.0.0.
    caption_->SetAddressText(
        QString::fromStdString(FormatIpv4(session_.Environment().OwnAddress().value_or(0))));
}

void MainWindow::ShowRunStarted() {
    // One pair at a time may be picked for the chart while a run lasts.
    pairList_->clearSelection();
    pairList_->setCurrentIndex(QModelIndex());
    pairList_->setSelectionMode(QAbstractItemView::SingleSelection);
    pairList_->SetHighlighted(Data().highlighted);
}

std::vector<PairId> MainWindow::SelectedPairs() const {
    return pairList_->SelectedPairs();
}

std::string MainWindow::DurationText() const {
    return durationEdit_->text().toStdString();
}

std::string MainWindow::ValueText() const {
    return valueEdit_->text().toStdString();
}

std::optional<std::string> MainWindow::EndPointSelection(int list) const {
    return endPointPanel_->Selection(list);
}

std::vector<std::string> MainWindow::EndPointSelections(int list) const {
    return endPointPanel_->Selections(list);
}

void MainWindow::ShowMode() {
    startStop_->update();
    addManually_->update();
    deletePair_->update();
    totalToggle_->update();
    allStrip_->update();
    if (session_.Mode() == ConsoleMode::Idle &&
        pairList_->selectionMode() != QAbstractItemView::ExtendedSelection) {
        pairList_->clearSelection();
        pairList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    chart_->Refresh();
    update();
}

}  // namespace quarn::console::ui
