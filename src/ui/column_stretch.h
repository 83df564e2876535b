#pragma once
// Keeps a list view's columns filling its width: the columns marked to
// stretch share whatever room the view has beyond the columns' own widths, in
// proportion to those widths; they never get narrower than their own width
// (a narrower view scrolls instead). The other columns keep their width.
#include <QObject>
#include <vector>

class QTableView;

namespace ui {

class ColumnStretch : public QObject {
  public:
    // widths: each column's own width; stretch: which columns share the room.
    ColumnStretch(QTableView* view, std::vector<int> widths, std::vector<bool> stretch);

    // The column widths for a view `available` pixels wide.
    static std::vector<int> fitted(const std::vector<int>& widths, const std::vector<bool>& stretch,
                                   int available);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fit();

    QTableView* m_view;
    std::vector<int> m_widths;
    std::vector<bool> m_stretch;
};

} // namespace ui
