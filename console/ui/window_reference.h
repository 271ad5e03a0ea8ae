#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "console/records/run_reference.h"

class QMenu;

namespace quarn::console::ui {

class MainWindow;

// The run the window compares with: a saved file or a run of the history, chosen in the
// chart's menu or on a Recent runs line. The chart draws it dashed behind the current
// curves and each pair's tooltip gives both figures. It stays through new runs and goes
// with "Clear reference" or New. Window thread only.
class WindowReference : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kCompareWithFile = "Compare with file...";
    static constexpr const char* kClearReference = "Clear reference";
    static constexpr const char* kPassLines = "Pass lines...";

    WindowReference(MainWindow& window, std::string historyDir);
    ~WindowReference() override;

    // Loads a saved configuration, or a run of the history by its id, as the reference;
    // false (with a notice, the previous reference kept) when it cannot be read.
    bool UseFile(const std::string& path);
    bool UseRun(const std::string& id);
    void Clear() { model_.Clear(); }
    const records::RunReference& Model() const { return model_; }

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
    // What a judgement holds the pairs to: the reference, matched by addresses; none
    // without a reference.
    BaselineAverages Baseline() const;

  private:
    bool Use(const std::string& fileOrId, const std::string& label);
    std::vector<std::string> TooltipLines(const PairRecord& pair) const;

    MainWindow& window_;
    std::string historyDir_;
    records::RunReference model_;
    FileChooser chooser_;
};

}  // namespace quarn::console::ui
