#include "app/rollout_dialog.h"

#include "app/device_list_model.h"
#include "app/file_export.h"
#include "app/message_dialog.h"
#include "app/text_conversion.h"
#include "app/widget_factory.h"
#include "app/wifi_rollout.h"
#include "devices/device_export.h"
#include "devices/device_registry.h"

#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace nimbrel {

namespace {

constexpr int kProgressTickMs = 250;

QPushButton* makeButton(QWidget* parent, const char* name, const char* text)
{
    auto* button = make<QPushButton>(parent, name);
    button->setText(QString::fromLatin1(text));
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makePasswordEdit(QWidget* parent, const char* name, const char* accessibleName)
{
    auto* edit = makeEdit(parent, name, {}, accessibleName);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QString secondsText(int milliseconds)
{
    return QStringLiteral("about %1 s left").arg((milliseconds + 999) / 1000);
}

} // namespace

WifiRolloutDialog::WifiRolloutDialog(const DeviceRegistry& servers, WifiRollout& rollout,
                                     QWidget* parent)
    : QDialog(parent), rollout_(rollout)
{
    setObjectName(QStringLiteral("RolloutDialog"));
    setWindowTitle(QStringLiteral("Configure Wi-Fi on several devices"));
    createWidgets();
    layOut();
    fillDevices(servers);
    connectSignals();
    updateWarning();
    setRunning(false);
    // What every roll-out needs typed first; the filter is there for large sites.
    e_rollout_ssid->setFocus(Qt::OtherFocusReason);
}

void WifiRolloutDialog::createWidgets()
{
    e_rollout_filter = makeEdit(this, "e_rollout_filter", {}, "Filter the devices");
    e_rollout_filter->setPlaceholderText(QStringLiteral("Filter the devices"));
    e_rollout_filter->setClearButtonEnabled(true);

    tv_rollout_devices = make<QTreeWidget>(this, "tv_rollout_devices");
    tv_rollout_devices->setAccessibleName(QStringLiteral("Devices"));
    tv_rollout_devices->setRootIsDecorated(false);
    tv_rollout_devices->setUniformRowHeights(true);
    tv_rollout_devices->setHeaderLabels(
        {QStringLiteral("Device"), QStringLiteral("Note"), QStringLiteral("Result")});
    // The result column takes what is left, and the longest results (a check's message) fit.
    tv_rollout_devices->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tv_rollout_devices->header()->setStretchLastSection(true);
    tv_rollout_devices->header()->setMinimumSectionSize(60);

    l_rollout_warning = make<QLabel>(this, "l_rollout_warning");
    l_rollout_warning->setWordWrap(true);
    l_rollout_warning->setStyleSheet(QStringLiteral("color: #b00020;"));

    e_rollout_ssid = makeEdit(this, "e_rollout_ssid", {}, "Network name (SSID)");
    cb_rollout_enc = make<QComboBox>(this, "cb_rollout_enc");
    cb_rollout_enc->setAccessibleName(QStringLiteral("Encryption"));
    cb_rollout_enc->addItems(
        {QStringLiteral("OPEN"), QStringLiteral("WEP"), QStringLiteral("WPA")});
    cb_rollout_enc->setCurrentIndex(2);
    e_rollout_pass = makePasswordEdit(this, "e_rollout_pass", "Wi-Fi password");
    e_rollout_admin_pass = makePasswordEdit(this, "e_rollout_admin_pass", "Admin password");

    pb_rollout = make<QProgressBar>(this, "pb_rollout");
    pb_rollout->setAccessibleName(QStringLiteral("Progress"));
    l_rollout_progress = make<QLabel>(this, "l_rollout_progress");
    l_rollout_summary = make<QLabel>(this, "l_rollout_summary");

    b_rollout_start = makeButton(this, "b_rollout_start", "Start");
    b_rollout_cancel = makeButton(this, "b_rollout_cancel", "Cancel");
    b_rollout_copy = makeButton(this, "b_rollout_copy", "Copy results");
    b_rollout_export = makeButton(this, "b_rollout_export", "Export results...");
    b_rollout_close = makeButton(this, "b_rollout_close", "Close");

    progressTick_ = new QTimer(this);
    progressTick_->setInterval(kProgressTickMs);
}

void WifiRolloutDialog::layOut()
{
    auto* values = new QFormLayout;
    values->addRow(QStringLiteral("Network name (SSID)"), e_rollout_ssid);
    values->addRow(QStringLiteral("Encryption"), cb_rollout_enc);
    values->addRow(QStringLiteral("Wi-Fi password"), e_rollout_pass);
    values->addRow(QStringLiteral("Admin password"), e_rollout_admin_pass);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b_rollout_start);
    buttons->addWidget(b_rollout_cancel);
    buttons->addStretch();
    buttons->addWidget(b_rollout_copy);
    buttons->addWidget(b_rollout_export);
    buttons->addWidget(b_rollout_close);

    auto* column = new QVBoxLayout(this);
    column->addWidget(e_rollout_filter);
    column->addWidget(tv_rollout_devices, 1);
    column->addWidget(l_rollout_warning);
    column->addLayout(values);
    column->addWidget(pb_rollout);
    column->addWidget(l_rollout_progress);
    column->addWidget(l_rollout_summary);
    column->addLayout(buttons);
    resize(900, 560);
}

void WifiRolloutDialog::fillDevices(const DeviceRegistry& servers)
{
    for (int i = 0; i < servers.count(); ++i) {
        const WebServer& device = servers.at(i);
        auto* item = new QTreeWidgetItem(tv_rollout_devices);
        item->setText(DeviceColumn, deviceCaption(device));
        if (!is_rollout_readable(device)) {
            // Its settings cannot be read, so they could not be kept: it is never written.
            item->setText(NoteColumn, QStringLiteral("Older firmware: cannot be read"));
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
            item->setData(DeviceColumn, Qt::CheckStateRole, QVariant());
        } else if (is_access_point(device)) {
            item->setText(NoteColumn, QStringLiteral("Access point: checking it turns it off"));
            item->setCheckState(DeviceColumn, Qt::Unchecked);
        } else {
            item->setCheckState(DeviceColumn, Qt::Checked);
        }
        devices_.push_back(device);
    }
}

void WifiRolloutDialog::connectSignals()
{
    connect(e_rollout_filter, &QLineEdit::textChanged, this, &WifiRolloutDialog::filterDevices);
    // Only a check box changes which devices are chosen; the result texts a run writes do not.
    connect(tv_rollout_devices, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem*, int column) {
                if (column == DeviceColumn)
                    updateWarning();
            });
    connect(b_rollout_start, &QPushButton::clicked, this, &WifiRolloutDialog::startClicked);
    connect(b_rollout_cancel, &QPushButton::clicked, this, &WifiRolloutDialog::cancelClicked);
    connect(b_rollout_copy, &QPushButton::clicked, this, &WifiRolloutDialog::copyResults);
    connect(b_rollout_export, &QPushButton::clicked, this, &WifiRolloutDialog::exportResults);
    connect(b_rollout_close, &QPushButton::clicked, this, &QDialog::close);
    connect(progressTick_, &QTimer::timeout, this, &WifiRolloutDialog::showProgress);
    connect(&rollout_, &WifiRollout::deviceStarted, this, &WifiRolloutDialog::deviceStarted);
    connect(&rollout_, &WifiRollout::deviceFinished, this, &WifiRolloutDialog::deviceFinished);
    connect(&rollout_, &WifiRollout::finished, this, &WifiRolloutDialog::rolloutFinished);
}

void WifiRolloutDialog::filterDevices(const QString& needle)
{
    const std::string text = toBytes(needle);
    for (int row = 0; row < tv_rollout_devices->topLevelItemCount(); ++row)
        tv_rollout_devices->topLevelItem(row)->setHidden(
            !device_matches(devices_[static_cast<std::size_t>(row)], text));
    updateWarning();
}

std::vector<int> WifiRolloutDialog::chosenRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < tv_rollout_devices->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = tv_rollout_devices->topLevelItem(row);
        if (!item->isHidden() && item->checkState(DeviceColumn) == Qt::Checked)
            rows.push_back(row);
    }
    return rows;
}

std::vector<WebServer> WifiRolloutDialog::chosenDevices() const
{
    std::vector<WebServer> chosen;
    for (int row : chosenRows())
        chosen.push_back(devices_[static_cast<std::size_t>(row)]);
    return chosen;
}

void WifiRolloutDialog::updateWarning()
{
    const std::vector<WebServer> chosen = chosenDevices();
    std::vector<const WebServer*> records;
    for (const WebServer& device : chosen)
        records.push_back(&device);
    const std::vector<std::string> shared = shared_static_wifi_addresses(records);
    QStringList addresses;
    for (const std::string& address : shared)
        addresses << fromBytes(address);
    l_rollout_warning->setText(
        addresses.isEmpty()
            ? QString()
            : QStringLiteral("Checked devices share a static Wi-Fi address (%1): they keep their "
                             "addresses and would clash on one network.")
                  .arg(addresses.join(QStringLiteral(", "))));
    l_rollout_warning->setVisible(!addresses.isEmpty());
}

WifiValues WifiRolloutDialog::typedValues() const
{
    return {e_rollout_ssid->text().toStdString(), cb_rollout_enc->currentIndex(),
            e_rollout_pass->text().toStdString()};
}

void WifiRolloutDialog::startClicked()
{
    if (rollout_.isRunning() || done_)
        return;
    // The typed texts are checked as UTF-8 and, having passed, are plain ASCII: the same bytes
    // as the 8-bit texts the protocol carries.
    const WifiValues values = typedValues();
    const std::string adminPassword = e_rollout_admin_pass->text().toStdString();
    if (const auto fault = rollout_input_fault(values, adminPassword)) {
        MessageDialog(QString::fromStdString(*fault), DialogKind::Warning);
        return;
    }
    const std::vector<int> rows = chosenRows();
    if (rows.empty()) {
        MessageDialog(QStringLiteral("No device is checked"), DialogKind::Warning);
        return;
    }
    QString question = QStringLiteral("Put %1 device(s) on the Wi-Fi network \"%2\"? Each device "
                                      "restarts once its settings are saved.")
                           .arg(rows.size())
                           .arg(e_rollout_ssid->text());
    if (!l_rollout_warning->text().isEmpty())
        question += QStringLiteral("\n\n") + l_rollout_warning->text();
    if (MessageDialog(question, DialogKind::Confirmation, DialogButtons::OkCancel) !=
        DialogAnswer::Ok)
        return;

    rolloutRows_ = rows;
    for (int row : rows)
        tv_rollout_devices->topLevelItem(row)->setText(ResultColumn, QString());
    pb_rollout->setRange(0, static_cast<int>(rows.size()));
    pb_rollout->setValue(0);
    setRunning(true);
    rollout_.start(chosenDevices(), values, adminPassword);
}

void WifiRolloutDialog::cancelClicked()
{
    rollout_.cancel();
    b_rollout_cancel->setEnabled(false);
    showProgress();
}

void WifiRolloutDialog::reject()
{
    if (rollout_.isRunning()) {
        cancelClicked();
        return;
    }
    QDialog::reject();
}

void WifiRolloutDialog::setRunning(bool running)
{
    // What the roll-out was started with stays as it was until it ends, and it runs only once.
    // The rows stay enabled, so the results can be scrolled and read; only their boxes lock.
    const bool editable = !running && !done_;
    for (QWidget* input :
         std::initializer_list<QWidget*>{e_rollout_filter, e_rollout_ssid, cb_rollout_enc,
                                         e_rollout_pass, e_rollout_admin_pass})
        input->setEnabled(editable);
    for (int row = 0; row < tv_rollout_devices->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = tv_rollout_devices->topLevelItem(row);
        if (item->data(DeviceColumn, Qt::CheckStateRole).isValid())
            item->setFlags(editable ? item->flags() | Qt::ItemIsUserCheckable
                                    : item->flags() & ~Qt::ItemIsUserCheckable);
    }
    b_rollout_start->setEnabled(editable);
    b_rollout_cancel->setEnabled(running);
    b_rollout_close->setEnabled(!running);
    b_rollout_copy->setEnabled(done_);
    b_rollout_export->setEnabled(done_);
    pb_rollout->setVisible(running || done_);
    l_rollout_progress->setVisible(running);
    l_rollout_summary->setVisible(done_);
    if (running)
        progressTick_->start();
    else
        progressTick_->stop();
}

void WifiRolloutDialog::deviceStarted(int index)
{
    QTreeWidgetItem* item =
        tv_rollout_devices->topLevelItem(rolloutRows_[static_cast<std::size_t>(index)]);
    item->setText(ResultColumn, QStringLiteral("Writing..."));
    tv_rollout_devices->scrollToItem(item);
    showProgress();
}

void WifiRolloutDialog::deviceFinished(int index, const RolloutResult& result)
{
    tv_rollout_devices->topLevelItem(rolloutRows_[static_cast<std::size_t>(index)])
        ->setText(ResultColumn, fromBytes(rollout_result_text(result)));
    pb_rollout->setValue(index + 1);
    showProgress();
}

void WifiRolloutDialog::showProgress()
{
    const int index = rollout_.currentDevice();
    if (index < 0)
        return;
    const WebServer& device = rollout_.device(index);
    l_rollout_progress->setText(
        QStringLiteral("Device %1 of %2: %3, %4")
            .arg(index + 1)
            .arg(rollout_.deviceCount())
            .arg(deviceCaption(device), secondsText(rollout_.millisecondsLeft())));
}

void WifiRolloutDialog::rolloutFinished()
{
    done_ = true;
    // Devices a cancel left unwritten say so too.
    for (std::size_t i = 0; i < rolloutRows_.size(); ++i)
        tv_rollout_devices->topLevelItem(rolloutRows_[i])
            ->setText(ResultColumn, fromBytes(rollout_result_text(rollout_.results()[i])));
    pb_rollout->setValue(pb_rollout->maximum());
    l_rollout_summary->setText(
        QStringLiteral("Done: %1").arg(fromBytes(summary_text(summarize(rollout_.results())))));
    setRunning(false);
}

std::vector<RolloutRow> WifiRolloutDialog::resultRows() const
{
    std::vector<RolloutRow> rows;
    for (int i = 0; i < rollout_.deviceCount(); ++i) {
        const WebServer& device = rollout_.device(i);
        rows.push_back({device.ip, device.model, device.identifier,
                        rollout_.results()[static_cast<std::size_t>(i)]});
    }
    return rows;
}

void WifiRolloutDialog::copyResults()
{
    QGuiApplication::clipboard()->setText(fromBytes(rollout_results_text(resultRows())));
}

void WifiRolloutDialog::exportResults()
{
    exportToChosenFile(this, QStringLiteral("Export results"), QStringLiteral("wifi-results.csv"),
                       rollout_results_csv(resultRows()),
                       QStringLiteral("Could not export the results to %1: %2"));
}

} // namespace nimbrel
