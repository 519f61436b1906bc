#include "app/device_filter_model.h"

#include "app/device_list_model.h"
#include "devices/device_export.h"

namespace nimbrel {

DeviceFilterModel::DeviceFilterModel(const DeviceRegistry& servers, QObject* parent)
    : QSortFilterProxyModel(parent), servers_(servers)
{}

void DeviceFilterModel::setNeedle(const QString& text)
{
    // The records hold Latin-1; a character outside it occurs in no record.
    const bool outsideLatin1 =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    std::string needle = text.toLatin1().toStdString();
    if (needle == needle_ && outsideLatin1 == matchesNothing_)
        return;
    needle_ = std::move(needle);
    matchesNothing_ = outsideLatin1;
    invalidateRowsFilter();
}

int DeviceFilterModel::recordRow(int viewRow) const
{
    return recordRow(index(viewRow, 0));
}

int DeviceFilterModel::recordRow(const QModelIndex& viewIndex) const
{
    const QModelIndex source = mapToSource(viewIndex);
    return source.isValid() ? source.row() : -1;
}

QVariant DeviceFilterModel::data(const QModelIndex& index, int role) const
{
    const bool colour = role == Qt::BackgroundRole || role == DeviceListModel::StrokeColorRole;
    if (colour && index.isValid() && index.data(DeviceListModel::HighlightedRole) != true)
        return index.row() % 2 == 0 ? DeviceListModel::kEvenRow : DeviceListModel::kOddRow;
    return QSortFilterProxyModel::data(index, role);
}

bool DeviceFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (matchesNothing_)
        return false;
    return servers_.contains_index(sourceRow) && device_matches(servers_.at(sourceRow), needle_);
}

} // namespace nimbrel
