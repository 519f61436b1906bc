#include "window_watch.h"

#include "figures.h"

#include <QAbstractItemModel>

#include <algorithm>

namespace nimbrel::bench {

ListGrowth::ListGrowth(QAbstractItemModel* model) : model_(model), rows_(model->rowCount())
{
    // A rebuild is a model reset; either signal comes synchronously from the handler itself.
    connect(model, &QAbstractItemModel::modelReset, this, [this] { check(); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { check(); });
}

void ListGrowth::check()
{
    const int now = model_->rowCount();
    if (now > rows_)
        lastGrowth_ = realtimeMs();
    rows_ = now;
}

} // namespace nimbrel::bench
