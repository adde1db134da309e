#include "model/optionsmodel.h"

#include "common/common.h"
#include "common/dbglogger.h"
#include "common/ltassert.h"
#include "model/datamodel.h"
#include "platform/autostart.h"
#include "platform/service_control.h"

#include <algorithm>
#include <cmath>

std::string userSettingsKeyPath()
{
    return std::string("Software\\") + COMPANY_NAME + "\\" + PRODUCT_NAME + "\\" + PRODUCT_VERSION;
}

namespace {

int clampTransparency(int value) { return std::min(std::max(value, 0), 90); }

} // namespace

LTOptions::LTOptions(DataList* entryNames) : entryNames(entryNames)
{
    LT_ASSERT(entryNames);
    key = platform::RegistryKey::open(userSettingsKeyPath(), true);
    if (!key)
        throw LTException("Can't open a registry key");
    std::string name;
    key->readString("Connection", name);
    connectionId = entryNames->findId(name);
    if (connectionId < 0 && entryNames->size() > 0) {
        connectionId = 0;
        key->writeString("Connection", entryNames->nameOf(0));
    }
    autoStart = platform::autostartExists(APPLICATION_TITLE);
    std::int32_t x = 0, y = 0;
    if (key->readInteger("ScreenX", x) && key->readInteger("ScreenY", y)) {
        screenX = x;
        screenY = y;
    }
    std::int32_t colour = 0;
    if (key->readInteger("ChartBG", colour))
        chartBG = static_cast<std::uint32_t>(colour);
    if (key->readInteger("ChartFG", colour))
        chartFG = static_cast<std::uint32_t>(colour);
    std::int32_t stored = 0;
    if (key->readInteger("Trasparency", stored))
        transparency = clampTransparency(stored);
}

std::string LTOptions::getConnectionName() const
{
    LT_ASSERT(entryNames);
    return connectionId < 0 ? std::string() : entryNames->nameOf(connectionId);
}

void LTOptions::setConnectionId(int value)
{
    LT_ASSERT(value >= 0 && value < (int) entryNames->size());
    connectionId = value;
    key->writeString("Connection", entryNames->nameOf(value));
}

void LTOptions::getScreenPos(int& x, int& y) const
{
    x = screenX;
    y = screenY;
}

void LTOptions::setScreenPos(int x, int y)
{
    screenX = x;
    screenY = y;
    key->writeInteger("ScreenX", x);
    key->writeInteger("ScreenY", y);
}

void LTOptions::setChartBG(std::uint32_t colour)
{
    chartBG = colour;
    key->writeInteger("ChartBG", static_cast<std::int32_t>(colour));
}

void LTOptions::setChartFG(std::uint32_t colour)
{
    chartFG = colour;
    key->writeInteger("ChartFG", static_cast<std::int32_t>(colour));
}

void LTOptions::setTransparency(int value)
{
    transparency = clampTransparency(value);
    key->writeInteger("Trasparency", transparency);
}

int LTOptions::getAlpha() const
{
    if (transparency == 0)
        return 255;
    return 255 - static_cast<int>(std::ceil(transparency * 0.01 * 255));
}

void LTOptions::setAutoStart(bool flag)
{
    autoStart = flag;
    if (flag)
        platform::createAutostart(APPLICATION_TITLE, platform::runningProgramPath());
    else
        platform::removeAutostart(APPLICATION_TITLE);
}
