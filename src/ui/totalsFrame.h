// The totals table: sent, received and both directions' traffic and costs
// of one period under a title, in a small group box.
#pragma once

#include <QWidget>
#include <string>
#include <utility>
#include <vector>

struct Total4Period;
class QFrame;
class QGroupBox;
class QLabel;

class TtotalsTableFrame : public QWidget {
    Q_OBJECT
public:
    explicit TtotalsTableFrame(QWidget* parent = nullptr);

    void showTotals(const Total4Period& totals, const std::string& title);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QFrame* pTotals;
    QGroupBox* GroupBox;
    QLabel* Label5;
    QLabel* Label6;
    QFrame* Bevel1;
    QLabel* Label2;
    QLabel* Label3;
    QFrame* Bevel2;
    QLabel* Label4;
    QLabel* lbTrafficU;
    QLabel* lbTrafficD;
    QLabel* lbTrafficT;
    QLabel* lbCostsU;
    QLabel* lbCostsD;
    QLabel* lbCostsT;

private:
    // The heads and values keep their distance to the box's right edge
    // when the table is wider or narrower than designed, and grow to the
    // left for a value longer than their designed width.
    struct Anchored {
        QLabel* label;
        int designedRight;
        int designedWidth;
    };
    void place(const Anchored& anchored) const;
    std::vector<Anchored> anchoredRight;
};
