// The monitor's user settings, written through to the settings store at
// every change: the selected connection, the meter's position, the chart's
// colours, the transparency and whether the monitor starts at log-on.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <memory>
#include <string>

class DataList;

// The user's settings key: "Software\<company>\<product>\<version>".
std::string userSettingsKeyPath();

inline constexpr std::int32_t DEFAULT_SCREEN_POS = 10000;
inline constexpr std::uint32_t DEFAULT_CHART_BG = 0x8000001B; // system colour 27
inline constexpr std::uint32_t DEFAULT_CHART_FG = 0x00008000; // green 128

class LTOptions {
public:
    // Throws LTException "Can't open a registry key" when the settings key
    // can be neither opened nor created.
    explicit LTOptions(DataList* entryNames);

    int getConnectionId() const { return connectionId; }
    std::string getConnectionName() const;
    void setConnectionId(int value);
    void getScreenPos(int& x, int& y) const;
    void setScreenPos(int x, int y);
    std::uint32_t getChartBG() const { return chartBG; }
    void setChartBG(std::uint32_t colour);
    std::uint32_t getChartFG() const { return chartFG; }
    void setChartFG(std::uint32_t colour);
    int getTransparency() const { return transparency; }
    void setTransparency(int value);
    bool isTransparent() const { return transparency != 0; }
    // The window's opacity byte: 255 without transparency.
    int getAlpha() const;
    bool getAutoStart() const { return autoStart; }
    // Adds or removes the log-on entry for the running program; an error
    // finding the program's path or writing the entry goes to the caller.
    void setAutoStart(bool flag);

private:
    DataList* entryNames;
    std::unique_ptr<platform::RegistryKey> key;
    int connectionId = -1;
    bool autoStart = false;
    int screenX = DEFAULT_SCREEN_POS;
    int screenY = DEFAULT_SCREEN_POS;
    std::uint32_t chartBG = DEFAULT_CHART_BG;
    std::uint32_t chartFG = DEFAULT_CHART_FG;
    int transparency = 0;
};
