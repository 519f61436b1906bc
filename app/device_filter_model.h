#pragma once
// The rows the list shows: every device, or while a filter is typed those whose address, model,
// identifier or firmware contains it. Rows keep the registry's order. Row i of the view is
// therefore not position i of the registry: every use of a view row maps it through here.

#include "devices/device_registry.h"

#include <QSortFilterProxyModel>

#include <string>

namespace nimbrel {

class DeviceFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    DeviceFilterModel(const DeviceRegistry& servers, QObject* parent = nullptr);

    void setNeedle(const QString& text);
    // The registry position of a view row, -1 for none.
    int recordRow(int viewRow) const;
    int recordRow(const QModelIndex& viewIndex) const;

    // Plain rows alternate by their place in the view, so a narrowed list stays striped.
    QVariant data(const QModelIndex& index, int role) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const DeviceRegistry& servers_;
    std::string needle_;
    bool matchesNothing_ = false;
};

} // namespace nimbrel
