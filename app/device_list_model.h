#pragma once
// The device list as a model over the registry: row i is the record at position i. A rebuild is
// a model reset, so even thousands of devices announced one by one keep the window responsive.

#include "devices/device_registry.h"

#include <QAbstractListModel>
#include <QColor>

namespace nimbrel {

// "Another device (identifier X) also answers from this address", or empty when none does.
QString conflictWarning(const WebServer& record);

// "ip (model)", or "ip (Outdated firmware)" for a device whose announcement had no model.
QString deviceCaption(const WebServer& record);

class DeviceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        StrokeColorRole = Qt::UserRole + 1,
        HighlightedRole, // bool: the row last clicked
        ConflictRole,    // bool: another device also answers from this row's address
    };

    inline static const QColor kEvenRow{0xFF, 0xFF, 0xFF};
    inline static const QColor kOddRow{0xF0, 0xF0, 0xF0};
    inline static const QColor kHighlightFill{0xCC, 0xE8, 0xFF};
    inline static const QColor kHighlightStroke{0xBE, 0xE2, 0xFF};

    explicit DeviceListModel(const DeviceRegistry& servers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Rows shown anew from the registry; no row stays highlighted.
    void rebuild();
    // The row last clicked is drawn highlighted; every other row gets its plain colour back.
    void setHighlightedRow(int row);
    int highlightedRow() const { return highlighted_; }
    // The record at this row changed in place; the row is drawn anew, nothing is rebuilt.
    void recordChanged(int row);

private:
    const DeviceRegistry& servers_;
    int highlighted_ = -1;
};

} // namespace nimbrel
