#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/dispatcher.h"
#include "console/core/liveness.h"
#include "console/files/config_file.h"

namespace quarn::console {

// Values are the File panel's command numbers; keep them stable.
enum class FileCommand : int { New = 0, Save = 1, Open = 2, SaveAs = 3 };

// The file dialogs. Both return nothing when the operator cancels.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual std::optional<std::string> ChooseOpenPath(const std::string& folder) = 0;
    // `command` is Save or SaveAs (the dialog's title); `initialPath` is proposed.
    virtual std::optional<std::string> ChooseSavePath(FileCommand command,
                                                      const std::string& folder,
                                                      const std::string& initialPath) = 0;
};

// What the main window does for the file flow. Every call comes on the main thread.
class FileFlowHost {
  public:
    virtual ~FileFlowHost() = default;
    // File commands run only while the window is Idle.
    virtual bool IsIdle() const = 0;
    // Stores the duration and value edits' texts in the settings (before a save).
    virtual void CommitEditsToSettings() = 0;
    // New: ConsoleData::ResetToNew plus what the windows hold (log windows, list items).
    virtual void PerformNew() = 0;
    // FileBusy while a worker runs, Idle again when it has reported.
    virtual void SetFileBusy(bool busy) = 0;
    virtual void ShowNotice(NoticeKind kind, std::string_view text) = 0;
    // A save or open has finished and the data are updated: refresh the EndPoint lists,
    // the pair list, the chart and the title's file name. Runs before the result notice.
    virtual void FileFinished(FileCommand command, ConfigResult result) = 0;
};

// New, Open, Save and Save as: chooses the file, runs WriteConfigFile or ReadConfigFile
// on a worker thread and reports through the dispatcher. Main thread only, except the
// worker. The worker never touches the window's data: a save writes a copy taken on the
// main thread (logs left out, they are not saved), an open reads into a copy that the
// main thread takes over when the worker reports. So painting may go on meanwhile.
class FileFlow {
  public:
    static constexpr const char* kFolderName = "Tolvex_Quarn_Configs";
    static constexpr const char* kOpening = "Opening the file...";
    static constexpr const char* kSaving = "Saving measured data...";
    static constexpr const char* kSaveNeedsPair = "Save after adding a pair.";
    static constexpr const char* kSaveFailed = "Failed to save the file.";
    static constexpr const char* kSaveSucceeded = "Success to save the file.";
    static constexpr const char* kNotConfigFile = "File format is not valid.";
    static constexpr const char* kOpenFailed = "Failed to open the file.";
    static constexpr const char* kOpenSucceeded = "Success to open the file.";
    // The progress notice stays at least this long (the worker then waits a full period).
    static constexpr std::chrono::milliseconds kProgressMinimum{1000};

    FileFlow(ConsoleData& data, Dispatcher& dispatcher, FileFlowHost& host, FileDialogs& dialogs,
             std::string configFolder);
    // Stops and joins a running worker; its result is dropped.
    ~FileFlow();
    FileFlow(const FileFlow&) = delete;
    FileFlow& operator=(const FileFlow&) = delete;

    // Runs a File panel command; returns at once (saving and opening go on in a worker).
    void Run(FileCommand command);
    // Opens the file at path as Open does, without asking for it (a file given on the
    // command line).
    void OpenPath(const std::string& path);

    bool Busy() const { return busy_; }
    FileCommand LastCommand() const { return lastCommand_; }
    // The save target: the file last saved or opened successfully, "" after New.
    const std::string& CurrentFilePath() const { return currentFilePath_; }
    // Its name part, shown in the title area.
    const std::string& CurrentFileName() const { return currentFileName_; }
    const std::string& ConfigFolder() const { return configFolder_; }
    // What is shown no longer comes from the current file (a run of the history was
    // opened): the next Save asks for a name as after New.
    void ForgetCurrentFile() {
        currentFilePath_.clear();
        currentFileName_.clear();
    }

    // Tests shorten the progress hold.
    void SetProgressMinimum(std::chrono::milliseconds minimum) { progressMinimum_ = minimum; }

    // "%04d%02d%02d_%02dh%02dm%02ds.config" of the local time.
    static std::string DefaultFileName(std::chrono::system_clock::time_point now);
    // The part after the last '/', or the whole path when it has none.
    static std::string FileNamePart(const std::string& path);
    // Documents folder + "/Tolvex_Quarn_Configs", or the program folder + "/configs" when
    // there is no Documents folder.
    static std::string ChooseConfigFolder(const std::string& documentsFolder,
                                          const std::string& programFolder);
    // Creates the folder when missing; failures are not reported (the dialog then starts
    // elsewhere).
    static void EnsureFolder(const std::string& folder);

  private:
    void StartSave(FileCommand command);
    void StartOpen(const std::optional<std::string>& path);
    // `copy` is what a save writes; an open reads into data its worker makes, starting
    // from `settings` (New keeps the protocol and rate texts).
    bool StartWorker(FileCommand command, const std::string& path,
                     std::shared_ptr<ConsoleData> copy, const MeasurementSettings& settings);
    void ApplyReset();
    void Finish(FileCommand command, ConfigResult result, const std::string& path,
                const std::shared_ptr<ConsoleData>& copy);
    void TakeOverOpened(ConsoleData& opened);
    void ShowOpenNotice(ConfigResult result);
    std::shared_ptr<ConsoleData> CopyForSave() const;

    ConsoleData& data_;
    Dispatcher& dispatcher_;
    FileFlowHost& host_;
    FileDialogs& dialogs_;
    std::string configFolder_;
    std::string currentFilePath_;
    std::string currentFileName_;
    FileCommand lastCommand_ = FileCommand::New;
    bool busy_ = false;
    bool resetApplied_ = false;  // an open has made the window New
    std::chrono::milliseconds progressMinimum_ = kProgressMinimum;
    // Calls the worker posts run only while this session exists.
    Liveness liveness_;
    std::jthread worker_;
};

}  // namespace quarn::console
