#pragma once

#include <QFont>
#include <QListWidget>
#include <optional>
#include <string>
#include <vector>

namespace quarn::console {
struct EndPointEntry;
}

namespace quarn::console::ui {

// One of the main window's two EndPoint lists: 21-pixel striped rows, each the
// EndPoint's address in black followed by "(name)" in the small grey font.
class EndPointListBox : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int kRowHeight = 21;
    static constexpr const char* kEmptyText = "empty";

    explicit EndPointListBox(QWidget* parent = nullptr);
    ~EndPointListBox() override;

    // After a search that found EndPoints: one item per entry in reply order, the first
    // selected. Text widths are measured here, once per EndPoint.
    void SetEntries(const std::vector<EndPointEntry>& entries);
    // No EndPoint known: the single item "empty", which is not drawn.
    void SetEmpty();
    bool EndPointsKnown() const { return known_; }
    // Address of the selected item while EndPoints are known.
    std::optional<std::string> SelectedAddress() const;
    // Addresses of every selected item, in list order, for the pair builders.
    std::vector<std::string> SelectedAddresses() const;
    // The grey "(name" drawn after item `row`'s address; empty without a name.
    QString Label(int row) const;
    // What item `row`'s EndPoint said of its link, "eth0, 10000 Mbit/s full duplex, MTU
    // 1500", shown in its tooltip; empty when it said nothing.
    QString LinkText(int row) const;
    // The names' font ("gulim" 11 unless set).
    void SetSmallFont(const QFont& font);
    QFont SmallFont() const { return smallFont_; }

    // Draws item `row` into `rect` (nothing for -1 or while no EndPoint is known).
    void DrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    class Delegate;
    struct Item {
        QString address;
        QString label;  // "(" + name, empty without a name
        QString link;   // the link facts, empty without them
        int addressWidth = 0;
        int labelWidth = 0;
    };
    void Measure();
    static QRect AddressRect(const QRect& itemRect);
    static QRect NameRect(const QRect& itemRect, const Item& item);

    std::vector<Item> items_;
    QFont smallFont_;
    bool known_ = false;
};

}  // namespace quarn::console::ui
