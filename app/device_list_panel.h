#pragma once
// The device list on the left of the main window: the search bar (the "Inmediate search" button
// and the periodic-search switch), the filter field Ctrl+F opens, the rows and the hint an
// unanswered search leaves over the empty list. It shows the registry and reports what the user
// does with it, always in registry positions; what a search, a row or a menu then does is the
// window's business.

#include "devices/device_registry.h"

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;
class QShortcut;

namespace nimbrel {

class DeviceFilterModel;
class DeviceListModel;
class DeviceListView;
class Switch;

class DeviceListPanel : public QFrame {
    Q_OBJECT
public:
    explicit DeviceListPanel(const DeviceRegistry& servers, QWidget* parent = nullptr);

    // Every row shown anew from the registry; no row stays selected or highlighted.
    void rebuild();
    // The record at this position changed in place: its row is drawn anew, the selection stays.
    void recordChanged(int position);
    // The registry position of the selected row, or -1.
    int selectedIndex() const;
    void clearSelection();
    // Draws the row of this position as the one last clicked (-1: none).
    void highlightRow(int position);
    void showNoAnswerHint(const QString& text);
    void hideNoAnswerHint();
    // A shortcut that acts while the rows have the keyboard focus; the caller connects it.
    QShortcut* listShortcut(const QKeySequence& keys);

    // The filter field over the rows: opened with the focus in it, or cleared and closed with
    // the focus back on the rows.
    void openFilter();
    void closeFilter();
    void e_filterChange(const QString& text);

    DeviceListModel* listModel() const { return listModel_; }

    // Places the search bar, the filter field, the rows and the hint for the panel's size. Whoever
    // sizes the panel calls it: a hidden widget gets its resize event only once it is shown.
    void layOutContents();
    // The panel's controls in keyboard order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void refreshClicked();
    // The user turned the periodic search on or off.
    void autoRefreshSwitched(bool on);
    // The user chose the row of this position, with the mouse or the keyboard.
    void rowChosen(int position);
    void infoButtonEntered(int position);
    // anchor: the row's information button, in global coordinates.
    void infoButtonClicked(int position, const QRect& anchor);
    // The list's menu, for the row under the pointer (-1: none), to open at globalAt.
    void menuRequested(int position, const QPoint& globalAt);
    // The filter hid the selected row: nothing is selected or highlighted any more.
    void selectionFilteredOut();

private:
    void createSearchBar();
    void createRows();
    void createFilterAndHint();
    void describeControls();
    void connectControls();

    QFrame* Panel1;
    QPushButton* button_refresh;
    QLabel* Label1;
    Switch* Switch1;
    DeviceListView* list;
    QLineEdit* e_filter;
    QLabel* l_no_answer;

    DeviceListModel* listModel_;
    DeviceFilterModel* listFilter_;
};

} // namespace nimbrel
