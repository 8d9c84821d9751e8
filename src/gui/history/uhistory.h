#pragma once

#include "core/history/historystore.h"

#include <QDialog>

class QChartView;
class QComboBox;
class QLabel;
class QTableWidget;

// "Gerätehistorie": the devices the programs have talked to, a device's visits with their
// values and events, the setup differences between two chosen visits, and one value over the
// visits, so that drift shows at a glance.
class TfHistory final : public QDialog {
    Q_OBJECT

public:
    explicit TfHistory(HistoryStore &store, QWidget *parent = nullptr);

    QTableWidget *GridDevices = nullptr;
    QTableWidget *GridVisits = nullptr;
    QComboBox *ComboBoxVisitA = nullptr;
    QComboBox *ComboBoxVisitB = nullptr;
    QTableWidget *GridDifferences = nullptr;
    QComboBox *ComboBoxValue = nullptr;
    QChartView *ChartDrift = nullptr;
    QLabel *StaticTextProblem = nullptr;

    // The points the chart draws: each visit's time (ms since the epoch) and value.
    QList<QPointF> driftPoints() const;

private:
    void showDevices();
    void showDevice(int row);
    void showDifferences();
    void showDrift();

    HistoryStore &m_store;
    QList<HistoryStore::Visit> m_visits;
};
