// The options dialog over a real options model.
#include "model/datamodel.h"
#include "model/optionsmodel.h"
#include "ui/optionsform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QToolButton>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

class OptionsDialog : public ::testing::Test {
protected:
    DataList names;
    std::unique_ptr<LTOptions> options;
    TOptionsFrm form;

    void SetUp() override
    {
        names.idOf("eth0");
        names.idOf("ppp0");
        options = std::make_unique<LTOptions>(&names);
        options->setChartFG(0x00008000);
        options->setChartBG(0x8000001B);
        options->setTransparency(20);
        form.entryNames = &names;
        form.options = options.get();
        form.show();
    }
    void TearDown() override { options->setAutoStart(false); }
};

} // namespace

TEST_F(OptionsDialog, shows_the_stored_settings_in_its_controls)
{
    EXPECT_EQ(form.cbEntryName->count(), 2);
    EXPECT_EQ(form.cbEntryName->currentIndex(), 0);
    EXPECT_EQ(form.tbTransparency->value(), 20);
    EXPECT_EQ(form.tbTransparency->maximum(), 90);
    EXPECT_EQ(form.tbTransparency->tickInterval(), 10);
    EXPECT_EQ(form.cbAutoStart->text(), "&Load with Windows");
    EXPECT_EQ(form.pGraphColour->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(form.sbGraphColour->text(), "...");
    EXPECT_EQ(form.Label2->accessibleName(), "&Graph Colour");
    EXPECT_EQ(form.Label2->text(), "<u>G</u>raph Colour"); // no '&' drawn as it is
    EXPECT_EQ(form.Label3->text(), "Graph <u>B</u>ackground");
    EXPECT_EQ(form.pos(), QPoint(203, 271)); // centred on the 800 x 800 screen
}

TEST_F(OptionsDialog, stores_every_setting_on_ok_with_system_colours_kept_as_they_were)
{
    form.cbEntryName->setCurrentIndex(1);
    form.cbAutoStart->setChecked(true);
    form.tbTransparency->setValue(90);
    form.pickColour = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
    form.actGraphColour->trigger();
    form.btnOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(options->getConnectionId(), 1);
    EXPECT_TRUE(options->getAutoStart());
    EXPECT_EQ(options->getChartFG(), 0x563412u);
    EXPECT_EQ(options->getChartBG(), 0x8000001Bu);
    EXPECT_EQ(options->getTransparency(), 90);
    EXPECT_EQ(options->getAlpha(), 25);
}

TEST_F(OptionsDialog, forgets_a_chosen_colour_and_everything_else_on_cancel)
{
    form.pickColour = [](const QColor&) { return std::optional<QColor>(QColor(Qt::red)); };
    form.actGraphBackground->trigger();
    EXPECT_EQ(form.pBackgroundColour->palette().color(QPalette::Window), QColor(Qt::red));
    form.tbTransparency->setValue(0);
    form.BitBtn1->click();
    EXPECT_EQ(options->getChartBG(), 0x8000001Bu);
    EXPECT_EQ(options->getTransparency(), 20);
}

TEST_F(OptionsDialog, keeps_the_colour_when_the_colour_chooser_is_cancelled)
{
    form.pickColour = [](const QColor&) { return std::optional<QColor>(); };
    form.actGraphColour->trigger();
    form.btnOk->click();
    EXPECT_EQ(options->getChartFG(), 0x00008000u);
}
