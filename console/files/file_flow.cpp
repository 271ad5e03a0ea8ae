#include "console/files/file_flow.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "console/core/local_time.h"
#include "console/files/config_file.h"
#include "console/files/opened_run_state.h"

namespace quarn::console {

namespace {

bool IsSave(FileCommand command) {
    return command == FileCommand::Save || command == FileCommand::SaveAs;
}

// Sleeps for `duration` unless a stop is requested first.
void HoldFor(std::stop_token stop, std::chrono::milliseconds duration) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, duration, [] { return false; });
}

}  // namespace

FileFlow::FileFlow(ConsoleData& data, Dispatcher& dispatcher, FileFlowHost& host,
                   FileDialogs& dialogs, std::string configFolder)
    : data_(data),
      dispatcher_(dispatcher),
      host_(host),
      dialogs_(dialogs),
      configFolder_(std::move(configFolder)) {
    EnsureFolder(configFolder_);
}

FileFlow::~FileFlow() {
    liveness_.Expire();
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

void FileFlow::Run(FileCommand command) {
    if (busy_ || !host_.IsIdle()) {
        return;
    }
    lastCommand_ = command;
    EnsureFolder(configFolder_);
    switch (command) {
        case FileCommand::New:
            currentFilePath_.clear();
            currentFileName_.clear();
            host_.PerformNew();
            return;
        case FileCommand::Open:
            StartOpen(dialogs_.ChooseOpenPath(configFolder_));
            return;
        case FileCommand::Save:
        case FileCommand::SaveAs:
            StartSave(command);
            return;
    }
}

void FileFlow::OpenPath(const std::string& path) {
    if (busy_ || !host_.IsIdle()) {
        return;
    }
    lastCommand_ = FileCommand::Open;
    StartOpen(path);
}

void FileFlow::StartOpen(const std::optional<std::string>& path) {
    if (!path || path->empty()) {
        return;
    }
    if (!StartWorker(FileCommand::Open, *path, nullptr, data_.settings)) {
        return;
    }
    data_.chart.SetLoading(true);
    busy_ = true;
    host_.SetFileBusy(true);
    host_.ShowNotice(NoticeKind::Progress, kOpening);
}

void FileFlow::StartSave(FileCommand command) {
    if (data_.table.PairCount() == 0) {
        host_.ShowNotice(NoticeKind::Message, kSaveNeedsPair);
        return;
    }
    host_.CommitEditsToSettings();
    std::string path = currentFilePath_;
    if (path.empty() || command == FileCommand::SaveAs) {
        const std::string proposed =
            currentFilePath_.empty()
                ? configFolder_ + "/" + DefaultFileName(std::chrono::system_clock::now())
                : currentFilePath_;
        const std::optional<std::string> chosen =
            dialogs_.ChooseSavePath(command, configFolder_, proposed);
        if (!chosen || chosen->empty()) {
            return;
        }
        path = *chosen;
    }
    if (!StartWorker(command, path, CopyForSave(), data_.settings)) {
        return;
    }
    busy_ = true;
    host_.SetFileBusy(true);
    host_.ShowNotice(NoticeKind::Progress, kSaving);
}

std::shared_ptr<ConsoleData> FileFlow::CopyForSave() const {
    // Logs are not saved (they live beside the table and are not copied).
    auto copy = std::make_shared<ConsoleData>();
    copy->table = data_.table;
    copy->settings = data_.settings;
    copy->endPoints = data_.endPoints;
    copy->nameLookup = data_.nameLookup;
    copy->measuredAt = data_.measuredAt;
    copy->ticks = data_.ticks;
    copy->chart.MutableSeries() = data_.chart.Series();
    return copy;
}

bool FileFlow::StartWorker(FileCommand command, const std::string& path,
                           std::shared_ptr<ConsoleData> copy, const MeasurementSettings& settings) {
    if (worker_.joinable()) {
        worker_.join();  // the previous worker has already reported, so it is ending
    }
    resetApplied_ = false;
    Dispatcher& dispatcher = dispatcher_;
    const std::chrono::milliseconds minimum = progressMinimum_;
    // Wrapped here, on the main thread; they do nothing once the session is gone.
    auto reset = liveness_.Guard([this] { ApplyReset(); });
    auto finish = liveness_.Guard(
        [this, command, path](ConfigResult result, const std::shared_ptr<ConsoleData>& data) {
            Finish(command, result, path, data);
        });
    try {
        worker_ = std::jthread([&dispatcher, minimum, command, path, copy, settings, reset,
                                finish](std::stop_token stop) mutable {
            const auto started = std::chrono::steady_clock::now();
            ConfigResult result = ConfigResult::CannotAccess;
            if (command == FileCommand::Open) {
                // Made here, so the data belong to this thread while it fills them.
                copy = std::make_shared<ConsoleData>();
                copy->settings = settings;
                result = ReadConfigFile(path, *copy, [&] {
                    copy->ResetToNew();
                    // Queued ahead of the result, so the window is New before it takes
                    // over what was read.
                    dispatcher.Post(reset);
                });
            } else {
                ThreadAffinity::Lend lend(copy->windowThread);
                result =
                    WriteConfigFile(path, *copy) ? ConfigResult::Done : ConfigResult::CannotAccess;
            }
            // A file that is no .config file is answered at once.
            if (result != ConfigResult::NotConfigFile &&
                std::chrono::steady_clock::now() - started <= minimum) {
                HoldFor(stop, minimum);
            }
            if (stop.stop_requested()) {
                return;
            }
            dispatcher.Post([finish, result, copy]() mutable { finish(result, copy); });
        });
    } catch (const std::system_error&) {
        return false;  // no thread: nothing shown, nothing changed
    }
    return true;
}

void FileFlow::ApplyReset() {
    resetApplied_ = true;
    host_.PerformNew();
}

void FileFlow::Finish(FileCommand command, ConfigResult result, const std::string& path,
                      const std::shared_ptr<ConsoleData>& copy) {
    // Loading ends first, so the window sees the chart drawable again when it leaves
    // FileBusy.
    data_.chart.SetLoading(false);
    busy_ = false;
    host_.SetFileBusy(false);

    if (IsSave(command)) {
        const bool saved = result == ConfigResult::Done;
        if (saved) {
            // The writer removed the spaces from the rate texts; that change stays.
            data_.settings.windowSizeText = copy->settings.windowSizeText;
            data_.settings.throughputText = copy->settings.throughputText;
            currentFilePath_ = path;
            currentFileName_ = FileNamePart(path);
        }
        host_.FileFinished(command, result);
        if (saved) {
            host_.ShowNotice(NoticeKind::Info, kSaveSucceeded);
        } else {
            host_.ShowNotice(NoticeKind::Message, kSaveFailed);
        }
        return;
    }

    // A file that was cut short opens with what could be read.
    const bool opened = result == ConfigResult::Done || result == ConfigResult::Incomplete;
    if (opened) {
        TakeOverOpened(*copy);
        currentFilePath_ = path;
        currentFileName_ = FileNamePart(path);
    } else if (resetApplied_) {
        // The window is New now; a later Save must not overwrite an earlier file with it
        // unasked, nor name the file that failed.
        currentFilePath_.clear();
        currentFileName_.clear();
    }
    ApplyOpenedFile(data_);
    host_.FileFinished(command, result);
    ShowOpenNotice(result);
}

void FileFlow::ShowOpenNotice(ConfigResult result) {
    switch (result) {
        case ConfigResult::Done:
            host_.ShowNotice(NoticeKind::Info, kOpenSucceeded);
            return;
        case ConfigResult::Incomplete:
            host_.ShowNotice(NoticeKind::Message, IncompleteFileText(data_.table.PairCount()));
            return;
        case ConfigResult::NotConfigFile:
            host_.ShowNotice(NoticeKind::Info, kNotConfigFile);
            return;
        case ConfigResult::CannotAccess:
            host_.ShowNotice(NoticeKind::Message, kOpenFailed);
            return;
    }
}

void FileFlow::TakeOverOpened(ConsoleData& opened) {
    data_.table = std::move(opened.table);
    data_.settings = opened.settings;
    data_.endPoints = std::move(opened.endPoints);
    data_.nameLookup = std::move(opened.nameLookup);
    data_.endPointsKnown = !data_.endPoints.empty();
    data_.measuredAt = std::move(opened.measuredAt);
    data_.ticks = opened.ticks;
    data_.chart.MutableSeries().clear();
    for (ChartSeries& series : opened.chart.MutableSeries()) {
        data_.chart.AppendSeries(std::move(series));
    }
}

std::string FileFlow::DefaultFileName(std::chrono::system_clock::time_point now) {
    return FormatLocalTime(now, "%Y%m%d_%Hh%Mm%Ss.config");
}

std::string FileFlow::FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileFlow::ChooseConfigFolder(const std::string& documentsFolder,
                                         const std::string& programFolder) {
    if (!documentsFolder.empty()) {
        return documentsFolder + "/" + kFolderName;
    }
    return programFolder + "/configs";
}

void FileFlow::EnsureFolder(const std::string& folder) {
    if (folder.empty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

}  // namespace quarn::console
