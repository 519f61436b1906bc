#include "app/device_list_model.h"

#include "app/text_conversion.h"

namespace nimbrel {

QString deviceCaption(const WebServer& record)
{
    const std::string suffix = record.model.empty() ? "Outdated firmware" : record.model;
    return fromBytes(record.ip + " (" + suffix + ")");
}

QString conflictWarning(const WebServer& record)
{
    if (record.other_identifier.empty())
        return {};
    return QStringLiteral("Another device (identifier %1) also answers from this address")
        .arg(fromBytes(record.other_identifier));
}

DeviceListModel::DeviceListModel(const DeviceRegistry& servers, QObject* parent)
    : QAbstractListModel(parent), servers_(servers)
{}

int DeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : servers_.count();
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !servers_.contains_index(index.row()))
        return {};
    const int row = index.row();
    const bool highlighted = row == highlighted_;
    const QColor plain = row % 2 == 0 ? kEvenRow : kOddRow;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return deviceCaption(servers_.at(row));
    case Qt::BackgroundRole:
        return highlighted ? kHighlightFill : plain;
    case StrokeColorRole:
        return highlighted ? kHighlightStroke : plain;
    case HighlightedRole:
        return highlighted;
    case ConflictRole:
        return !servers_.at(row).other_identifier.empty();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const QString warning = conflictWarning(servers_.at(row));
        return warning.isEmpty() ? QVariant() : QVariant(warning);
    }
    default:
        return {};
    }
}

void DeviceListModel::rebuild()
{
    beginResetModel();
    highlighted_ = -1;
    endResetModel();
}

void DeviceListModel::recordChanged(int row)
{
    if (row >= 0 && row < rowCount())
        Q_EMIT dataChanged(index(row), index(row));
}

void DeviceListModel::setHighlightedRow(int row)
{
    const int previous = std::exchange(highlighted_, row);
    for (int changed : {previous, row})
        if (changed >= 0 && changed < rowCount())
            Q_EMIT dataChanged(index(changed), index(changed));
}

} // namespace nimbrel
