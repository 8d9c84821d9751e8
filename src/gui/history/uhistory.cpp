#include "gui/history/uhistory.h"

#include "core/link/allgem.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QStyle>
#include <QTableWidget>
#include <QValueAxis>

namespace {

constexpr const char *Title = "Gerätehistorie";
constexpr const char *DeviceColumns[] = {"F.Nr", "Typ", "zuletzt gesehen", "Besuche"};
constexpr const char *VisitColumns[] = {"Beginn",  "Ende",    "Schnittstelle",
                                        "Eingang", "Ausgang", "Ereignisse"};
constexpr const char *DifferenceColumns[] = {"Feld", "Besuch A", "Besuch B"};
constexpr const char *NoDifference = "Das Setup ist bei beiden Besuchen gleich.";
constexpr const char *NoSetup = "(kein Setup bekannt)";
constexpr const char *Unknown = "unbekannt";

// The values the chart can follow: the read-out's key, the name shown, its unit key or unit.
struct ValueInfo {
    const char *key;
    const char *name;
    const char *unit;
};
constexpr ValueInfo Values[] = {
    {"input", "Eingang", nullptr},
    {"output", "Ausgang", "mA"},
    {"sp1", "SP1", "mA"},
    {"sp2", "SP2", "mA"},
};

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QString timeText(const QDateTime &time) {
    return time.isValid()
               ? QLocale(QLocale::German).toString(time, QStringLiteral("dd.MM.yyyy HH:mm"))
               : QStringLiteral("–");
}

QString numberText(const QJsonValue &value, int decimals, const QString &unit) {
    if (!value.isDouble())
        return QStringLiteral("–");
    return QLocale(QLocale::German).toString(value.toDouble(), 'f', decimals) + unit;
}

QString eventText(const HistoryStore::Event &event) {
    const QString kind = event.kind;
    if (kind == QLatin1String("readout"))
        return QStringLiteral("ausgelesen");
    if (kind == QLatin1String("setupRead"))
        return QStringLiteral("Setup gelesen");
    if (kind == QLatin1String("setupWrite")) {
        const int sent = event.data.value("sent").toInt();
        const int total = event.data.value("total").toInt();
        return event.data.value("stored").toBool()
                   ? QStringLiteral("Setup geschrieben")
                   : QStringLiteral("Setup unterbrochen nach %1 von %2").arg(sent).arg(total);
    }
    if (kind == QLatin1String("report"))
        return QStringLiteral("Bericht");
    if (kind == QLatin1String("lost"))
        return QStringLiteral("Verbindung verloren");
    if (kind == QLatin1String("interrupted"))
        return QStringLiteral("abgebrochen");
    if (kind == QLatin1String("backup"))
        return QStringLiteral("Sicherung");
    return kind;
}

QTableWidget *makeGrid(const char *name, QStringList headers, QWidget *parent) {
    auto *grid = new QTableWidget(0, int(headers.size()), parent);
    grid->setObjectName(QLatin1String(name));
    grid->setHorizontalHeaderLabels(headers);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

template <std::size_t N> QStringList labels(const char *const (&names)[N]) {
    QStringList list;
    for (const char *name : names)
        list << text(name);
    return list;
}

void setRow(QTableWidget *grid, int row, const QStringList &cells) {
    for (int column = 0; column < cells.size(); ++column)
        grid->setItem(row, column, new QTableWidgetItem(cells[column]));
}

} // namespace

TfHistory::TfHistory(HistoryStore &store, QWidget *parent)
    : QDialog(parent)
    , m_store(store) {
    setObjectName(QStringLiteral("fhistory"));
    setWindowTitle(text(Title));
    resize(1100, 720);

    GridDevices = makeGrid("GridDevices", labels(DeviceColumns), this);
    GridVisits = makeGrid("GridVisits", labels(VisitColumns), this);
    GridDifferences = makeGrid("GridDifferences", labels(DifferenceColumns), this);
    ComboBoxVisitA = new QComboBox(this);
    ComboBoxVisitA->setObjectName(QStringLiteral("ComboBoxVisitA"));
    ComboBoxVisitB = new QComboBox(this);
    ComboBoxVisitB->setObjectName(QStringLiteral("ComboBoxVisitB"));
    ComboBoxValue = new QComboBox(this);
    ComboBoxValue->setObjectName(QStringLiteral("ComboBoxValue"));
    for (const ValueInfo &value : Values)
        ComboBoxValue->addItem(text(value.name));
    ChartDrift = new QChartView(new QChart(), this);
    ChartDrift->setObjectName(QStringLiteral("ChartDrift"));
    ChartDrift->setRenderHint(QPainter::Antialiasing);
    ChartDrift->chart()->legend()->hide();
    ChartDrift->chart()->setLocalizeNumbers(true);
    ChartDrift->chart()->setLocale(QLocale(QLocale::German));
    ChartDrift->setMinimumHeight(220);
    StaticTextProblem = new QLabel(this);
    StaticTextProblem->setObjectName(QStringLiteral("StaticTextProblem"));
    StaticTextProblem->setWordWrap(true);

    auto *devices = new QGroupBox(QStringLiteral("Geräte"), this);
    (new QVBoxLayout(devices))->addWidget(GridDevices);
    auto *visits = new QGroupBox(QStringLiteral("Besuche"), this);
    (new QVBoxLayout(visits))->addWidget(GridVisits);
    auto *differences = new QGroupBox(QStringLiteral("Setup-Unterschiede"), this);
    auto *differenceLayout = new QGridLayout(differences);
    differenceLayout->addWidget(new QLabel(QStringLiteral("Besuch A:"), differences), 0, 0);
    differenceLayout->addWidget(ComboBoxVisitA, 0, 1);
    differenceLayout->addWidget(new QLabel(QStringLiteral("Besuch B:"), differences), 1, 0);
    differenceLayout->addWidget(ComboBoxVisitB, 1, 1);
    differenceLayout->addWidget(GridDifferences, 2, 0, 1, 2);
    auto *drift = new QGroupBox(QStringLiteral("Verlauf über die Besuche"), this);
    auto *driftLayout = new QVBoxLayout(drift);
    auto *valueRow = new QHBoxLayout();
    valueRow->addWidget(new QLabel(QStringLiteral("Wert:"), drift));
    valueRow->addWidget(ComboBoxValue);
    valueRow->addStretch();
    driftLayout->addLayout(valueRow);
    driftLayout->addWidget(ChartDrift);

    auto *layout = new QGridLayout(this);
    layout->addWidget(devices, 0, 0, 2, 1);
    layout->addWidget(visits, 0, 1, 1, 2);
    layout->addWidget(differences, 1, 1);
    layout->addWidget(drift, 1, 2);
    layout->addWidget(StaticTextProblem, 2, 0, 1, 3);
    layout->setColumnStretch(0, 0);
    layout->setColumnStretch(1, 3);
    layout->setColumnStretch(2, 3);

    connect(GridDevices, &QTableWidget::currentCellChanged, this,
            [this](int row) { showDevice(row); });
    connect(ComboBoxVisitA, &QComboBox::currentIndexChanged, this, &TfHistory::showDifferences);
    connect(ComboBoxVisitB, &QComboBox::currentIndexChanged, this, &TfHistory::showDifferences);
    connect(ComboBoxValue, &QComboBox::currentIndexChanged, this, &TfHistory::showDrift);
    showDevices();
}

void TfHistory::showDevices() {
    const QList<HistoryStore::Device> devices = m_store.devices();
    GridDevices->setRowCount(int(devices.size()));
    for (int row = 0; row < devices.size(); ++row) {
        const HistoryStore::Device &device = devices[row];
        setRow(GridDevices, row,
               {device.serialNumber.isEmpty() ? text(Unknown) : device.serialNumber,
                device.typeText.isEmpty() ? text(Unknown) : device.typeText,
                timeText(device.lastSeen), QString::number(device.visits)});
    }
    GridDevices->resizeColumnsToContents();
    // Every column whole, with room for a scroll bar.
    GridDevices->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    GridDevices->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    GridDevices->setMinimumWidth(
        GridDevices->horizontalHeader()->length() + 2 * GridDevices->frameWidth() +
        GridDevices->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
    StaticTextProblem->setText(m_store.problem());
    StaticTextProblem->setVisible(!m_store.problem().isEmpty());
    if (!devices.isEmpty())
        GridDevices->setCurrentCell(0, 0);
}

void TfHistory::showDevice(int row) {
    const QTableWidgetItem *serial = row >= 0 ? GridDevices->item(row, 0) : nullptr;
    m_visits = serial ? m_store.visits(serial->text() == text(Unknown) ? QString() : serial->text())
                      : QList<HistoryStore::Visit>();
    GridVisits->setRowCount(int(m_visits.size()));
    const QSignalBlocker blockA(ComboBoxVisitA);
    const QSignalBlocker blockB(ComboBoxVisitB);
    ComboBoxVisitA->clear();
    ComboBoxVisitB->clear();
    // The newest first in the table; the lists offer them in the same order.
    for (int i = 0; i < m_visits.size(); ++i) {
        const HistoryStore::Visit &visit = m_visits[m_visits.size() - 1 - i];
        const QJsonObject readout = visit.lastReadout();
        const QString inputUnit = readout.value("inputUnit").toString();
        QStringList events;
        for (const HistoryStore::Event &event : visit.events) {
            const QString shown = eventText(event);
            if (events.isEmpty() || events.last() != shown)
                events << shown;
        }
        setRow(GridVisits, i,
               {timeText(visit.begun), timeText(visit.ended),
                visit.port.isEmpty() ? QStringLiteral("–") : visit.port,
                numberText(readout.value("input"), inputUnit == QLatin1String("mV/V") ? 3 : 2,
                           inputUnit),
                numberText(readout.value("output"), 2, QStringLiteral("mA")),
                events.join(QStringLiteral(", "))});
        ComboBoxVisitA->addItem(timeText(visit.begun));
        ComboBoxVisitB->addItem(timeText(visit.begun));
    }
    GridVisits->resizeColumnsToContents();
    // The last visit against the one before it.
    ComboBoxVisitA->setCurrentIndex(m_visits.size() > 1 ? 1 : 0);
    ComboBoxVisitB->setCurrentIndex(0);
    showDifferences();
    showDrift();
}

void TfHistory::showDifferences() {
    GridDifferences->setRowCount(0);
    const int a = ComboBoxVisitA->currentIndex();
    const int b = ComboBoxVisitB->currentIndex();
    if (a < 0 || b < 0)
        return;
    const QJsonArray setupA = m_visits[m_visits.size() - 1 - a].setupAsLeft();
    const QJsonArray setupB = m_visits[m_visits.size() - 1 - b].setupAsLeft();
    if (setupA.isEmpty() || setupB.isEmpty()) {
        GridDifferences->setRowCount(1);
        setRow(GridDifferences, 0,
               {text(NoSetup), setupA.isEmpty() ? text(NoSetup) : QString(),
                setupB.isEmpty() ? text(NoSetup) : QString()});
        return;
    }
    QStringList names;
    for (const QJsonValue &row : setupA)
        names << row[0].toString();
    for (const QJsonValue &row : setupB)
        if (!names.contains(row[0].toString()))
            names << row[0].toString();
    const auto valueIn = [](const QJsonArray &setup, const QString &name) {
        for (const QJsonValue &row : setup)
            if (row[0].toString() == name)
                return row[1].toString();
        return QStringLiteral("–");
    };
    for (const QString &name : names) {
        const QString from = valueIn(setupA, name);
        const QString to = valueIn(setupB, name);
        if (from == to)
            continue;
        const int row = GridDifferences->rowCount();
        GridDifferences->setRowCount(row + 1);
        setRow(GridDifferences, row, {name, from, to});
    }
    if (GridDifferences->rowCount() == 0) {
        GridDifferences->setRowCount(1);
        GridDifferences->setSpan(0, 0, 1, 3);
        setRow(GridDifferences, 0, {text(NoDifference)});
    } else {
        GridDifferences->clearSpans();
    }
    GridDifferences->resizeColumnsToContents();
}

QList<QPointF> TfHistory::driftPoints() const {
    QList<QPointF> points;
    const int chosen = ComboBoxValue->currentIndex();
    if (chosen < 0)
        return points;
    for (const HistoryStore::Visit &visit : m_visits) {
        const QJsonValue value = visit.lastReadout().value(QLatin1String(Values[chosen].key));
        if (value.isDouble())
            points << QPointF(qreal(visit.begun.toMSecsSinceEpoch()), value.toDouble());
    }
    return points;
}

void TfHistory::showDrift() {
    QChart *chart = ChartDrift->chart();
    chart->removeAllSeries();
    // A removed axis is the caller's again.
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    const QList<QPointF> points = driftPoints();
    auto *line = new QLineSeries(chart);
    auto *dots = new QScatterSeries(chart);
    dots->setMarkerSize(8);
    line->append(points);
    dots->append(points);
    chart->addSeries(line);
    chart->addSeries(dots);
    auto *time = new QDateTimeAxis(chart);
    time->setFormat(QStringLiteral("MM.yyyy"));
    time->setTickCount(4);
    auto *values = new QValueAxis(chart);
    const ValueInfo &info = Values[std::max(0, ComboBoxValue->currentIndex())];
    QString unit = info.unit ? text(info.unit) : QString();
    if (!info.unit && !m_visits.isEmpty())
        unit = m_visits.last().lastReadout().value("inputUnit").toString();
    values->setTitleText(text(info.name) +
                         (unit.isEmpty() ? QString() : QStringLiteral(" in ") + unit));
    values->setLabelFormat(QStringLiteral("%.3g"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    for (QAbstractSeries *series : chart->series()) {
        series->attachAxis(time);
        series->attachAxis(values);
    }
    if (points.isEmpty())
        return;
    double low = points.first().y();
    double high = low;
    qint64 first = qint64(points.first().x());
    qint64 last = first;
    for (const QPointF &point : points) {
        low = std::min(low, point.y());
        high = std::max(high, point.y());
        first = std::min(first, qint64(point.x()));
        last = std::max(last, qint64(point.x()));
    }
    const double margin = std::max((high - low) * 0.15, std::abs(high) * 0.01 + 0.01);
    values->setRange(low - margin, high + margin);
    const qint64 span = std::max<qint64>((last - first) / 10, 12 * 3600 * 1000);
    time->setRange(QDateTime::fromMSecsSinceEpoch(first - span),
                   QDateTime::fromMSecsSinceEpoch(last + span));
}
