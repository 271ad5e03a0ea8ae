#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "console/core/endpoint_entry.h"

namespace quarn::console::ui {

class EndPointListBox;

// The EndPoint panel: the End Point 1 and End Point 2 list boxes under their titles, and
// while a search runs, one white box with the busy animation instead of them. Placed at
// (w - 373, 60), 367 x 253.
class EndPointPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 367;
    static constexpr int kHeight = 253;
    static constexpr int kRightOffset = 373;
    static constexpr int kTop = 60;

    explicit EndPointPanel(QWidget* parent);

    // Both lists show the found addresses, the first of each selected.
    void ShowEntries(const std::vector<EndPointEntry>& entries);
    // Both lists hold the single entry "empty", drawn as nothing.
    void ShowEmpty();
    void BeginSearch();
    void EndSearch();
    bool Searching() const { return searching_; }

    // The selected address of list 1 or 2, none when nothing is selected.
    std::optional<std::string> Selection(int list) const;
    // Every selected address of list 1 or 2, in list order.
    std::vector<std::string> Selections(int list) const;
    EndPointListBox* List(int list) const { return list == 1 ? list1_ : list2_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    EndPointListBox* list1_;
    EndPointListBox* list2_;
    QWidget* animation_;
    bool searching_ = false;
};

}  // namespace quarn::console::ui
