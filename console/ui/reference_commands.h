#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "console/core/liveness.h"

#include "console/records/reference_model.h"

class QMenu;

namespace quarn::console::ui {

class MainWindow;

// The run the window compares with: a saved file or a run of the history, chosen in the
// chart's menu or on a Recent runs line. The chart draws it dashed behind the current
// curves and each pair's tooltip gives both figures. It stays through new runs and goes
// with "Clear reference" or New. Window thread only; the run is read on a thread of its
// own, so a large one does not freeze the window.
class ReferenceCommands : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kCompareWithFile = "Compare with file...";
    static constexpr const char* kClearReference = "Clear reference";
    static constexpr const char* kPassLines = "Pass lines...";

    explicit ReferenceCommands(MainWindow& window);
    ~ReferenceCommands() override;

    // Starts loading a saved configuration, or a run of the history by its id, as the
    // reference; when it cannot be read a notice says why and the previous one stays. A
    // later choice (or Clear) wins over a load still running.
    void UseFile(const std::string& path);
    void UseRun(const std::string& id);
    void Clear();
    bool Loading() const { return loading_ != 0; }
    const records::ReferenceModel& Model() const { return model_; }

    // The chart menu's entries: compare with a file, and clear while there is a reference.
    void AddActions(QMenu& menu);
    // Asks for the file to compare with; empty when cancelled.
    using FileChooser = std::function<QString()>;
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    void AskAndUseFile();

    // The run's pass lines from their dialog; see ApplyPassLines.
    void AskPassLines();
    // Sets the run's lines; a measured run is judged again at once.
    void ApplyPassLines(const PassLines& lines);
    // A measured run judged again with the lines as they now stand (a pair's own changed).
    void Rejudge();

  private:
    struct Loaded;
    void Use(const std::string& fileOrId, const std::string& label);
    void Finish(std::uint64_t load, Loaded& loaded);
    // Lets the scale hold the reference's curves, so they are not cut off at the top.
    void UpdateScale();
    std::vector<std::string> TooltipLines(const PairRecord& pair) const;

    MainWindow& window_;
    const records::ReferenceModel& model_;  // the session's
    FileChooser chooser_;
    std::uint64_t loads_ = 0;    // loads started; the latest one's result is used
    std::uint64_t loading_ = 0;  // the load still awaited, 0 for none
    // Each load's thread, until its result has come back; joined at destruction.
    std::map<std::uint64_t, std::jthread> loaders_;
    // Results that arrive after this is gone are dropped. Last, so it goes first.
    Liveness liveness_;
};

}  // namespace quarn::console::ui
