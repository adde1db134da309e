// The options dialog: connection, start at log-on, chart colours and
// transparency of the meter.
#pragma once

#include <QDialog>
#include <QColor>
#include <cstdint>
#include <functional>
#include <optional>

class DataList;
class LTOptions;
class QAction;
class QCheckBox;
class QColorDialog;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

class TOptionsFrm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsFrm(QWidget* parent = nullptr);

    DataList* entryNames = nullptr;
    LTOptions* options = nullptr;

    QFrame* Panel1;
    QLabel* Label1;
    QComboBox* cbEntryName;
    QCheckBox* cbAutoStart;
    QLabel* Label2;
    QFrame* pGraphColour;
    QToolButton* sbGraphColour;
    QLabel* Label3;
    QFrame* pBackgroundColour;
    QToolButton* sbGraphBackground;
    QLabel* Label4;
    QSlider* tbTransparency;
    QLabel* Label5;
    QLabel* Label7;
    QLabel* Label6;
    QPushButton* btnOk;
    QPushButton* BitBtn1;
    QColorDialog* ColorDialog;
    QAction* actGraphColour;
    QAction* actGraphBackground;

    // The colour chooser: ColorDialog, preset with the current colour;
    // nothing when the user cancels it. Tests answer in its place.
    std::function<std::optional<QColor>(const QColor& current)> pickColour;

    // The colours being edited, as the model's values.
    std::uint32_t graphColour() const { return graphValue; }
    std::uint32_t backgroundColour() const { return backgroundValue; }

    void FormShow();
    void actGraphColourExecute();
    void actGraphBackgroundExecute();
    void btnOkClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Lets the user pick a colour for a panel; true when confirmed.
    bool chooseColour(std::uint32_t& value, QFrame* panel);

    std::uint32_t graphValue = 0;
    std::uint32_t backgroundValue = 0;
};

// Shows the dialog modally; what the user confirms is stored in options.
void runOptionsDialog(DataList* entryNames, LTOptions* options, QWidget* parent = nullptr);
