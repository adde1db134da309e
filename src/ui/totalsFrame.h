// The totals table: sent, received and both directions' traffic and costs
// of one period under a title, in a small group box.
#pragma once

#include <QColor>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

struct Total4Period;
class QFrame;
class QGroupBox;
class QLabel;

// The totals' look, which the budget group shares: a bold navy group title
// and row heads, bold black values right-justified against their right
// edge, sunken rules.
void styleTotalsGroup(QGroupBox* group);
QLabel* newTotalsLabel(QWidget* parent, const char* name, const char* text, int left, int top, const QColor& colour);
QLabel* newTotalsValue(QWidget* parent, const char* name, int right, int top, int width);
QFrame* newTotalsRule(QWidget* parent, const char* name, int top, int width);
inline const QColor TOTALS_HEADS{0, 0, 128};

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
    // when the table is wider or narrower than designed. A value longer
    // than its designed width grows to the left: a wider costs column moves
    // the traffic column left with it, and a row head that a value then
    // reaches is cut with an ellipsis (whole in its tool tip), never a digit.
    struct Anchored {
        QLabel* label;
        int designedRight;
        int designedWidth;
        bool costs; // of the costs column, else of the traffic column
    };
    void place();

    std::vector<Anchored> anchoredRight;
    std::vector<std::pair<QLabel*, QLabel*>> rows; // a row head and its traffic value
    std::vector<QString> headTexts;                 // the row heads' whole texts
};