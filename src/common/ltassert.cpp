#include "common/ltassert.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace {

// Where a unit of the design now lives, and the path its assertions keep
// reporting (the design's unit path, which logs and tests know it by).
struct MovedUnit {
    std::string_view path;
    const char* designPath;
};
constexpr MovedUnit MOVED_UNITS[] = {
    {"src/log/logrecord", "src/common/conlogger"},
    {"src/log/logframe", "src/common/logframe"},
    {"src/log/conlogger", "src/common/conlogger"},
    {"src/log/logreader", "src/frontend/datamodel"},
    {"src/model/datalist", "src/frontend/datamodel"},
    {"src/model/prices", "src/frontend/datamodel"},
    {"src/model/logrecords", "src/frontend/datamodel"},
    {"src/model/startup", "src/frontend/datamodel"},
    {"src/model/viewformat", "src/frontend/viewformat"},
    {"src/model/contrace", "src/monitor/contrace"},
    {"src/model/optionsmodel", "src/monitor/optionsmodel"},
    {"src/model/sharedstatreader", "src/monitor/sharedstatreader"},
    {"src/model/todaytot", "src/monitor/todaytot"},
    {"src/programs/ltreport/ltreport", "src/tools/ltreport"},
    {"src/programs/ltreport/reportformat", "src/tools/reportformat"},
    {"src/programs/ltmonitor/ltmonitor", "src/monitor/monitor_main"},
    {"src/ui/meterwidgets", "src/monitor/monitor_main"},
    {"src/ui/LogFrame", "src/frontend/LogFrame"},
    {"src/ui/PriceEditorFrm", "src/frontend/PriceEditorFrm"},
    {"src/ui/PriceRecordEditorFrm", "src/frontend/PriceRecordEditorFrm"},
    {"src/ui/allTotalsFrme", "src/frontend/allTotalsFrme"},
    {"src/ui/basicFrme", "src/frontend/basicFrme"},
    {"src/ui/guicommon", "src/frontend/guicommon"},
    {"src/ui/hourCosts", "src/frontend/hourCosts"},
    {"src/ui/jpegimage", "src/monitor/jpegimage"},
    {"src/ui/linktally_mainFrm", "src/frontend/linktally_mainFrm"},
    {"src/ui/logRecordsModel", "src/frontend/logRecordsModel"},
    {"src/ui/monitor_main", "src/monitor/monitor_main"},
    {"src/ui/monthCostsFrme", "src/frontend/monthCostsFrme"},
    {"src/ui/optionsform", "src/monitor/optionsform"},
    {"src/ui/periodCostsFrame", "src/frontend/periodCostsFrame"},
    {"src/ui/periodTotalsModel", "src/frontend/periodTotalsModel"},
    {"src/ui/pricesListModel", "src/frontend/pricesListModel"},
    {"src/ui/splash", "src/monitor/splash"},
    {"src/ui/stackedbarchart", "src/frontend/stackedbarchart"},
    {"src/ui/totalsFrame", "src/frontend/totalsFrame"},
    {"src/ui/weekCostsFrme", "src/frontend/weekCostsFrme"},
    {"src/ui/yearCostsFrme", "src/frontend/yearCostsFrme"},
};

} // namespace

const char* ltSourceUnit(const char* file, char* out, unsigned outSize)
{
    if (outSize == 0)
        return out;
    // Sources are compiled with a relative __FILE__; an absolute one still
    // reports from its top project folder.
    const char* start = file;
    for (const char* top : {"/src/", "/lib/", "/tests/", "/bench/", "/fuzz/"})
        for (const char* hit = std::strstr(file, top); hit; hit = std::strstr(hit + 1, top))
            start = std::max(start, hit + 1);
    std::snprintf(out, outSize, "%s", start);
    char* slash = std::strrchr(out, '/');
    char* dot = std::strrchr(out, '.');
    if (dot && (!slash || dot > slash))
        *dot = '\0';
    for (const MovedUnit& unit : MOVED_UNITS)
        if (unit.path == out) {
            std::snprintf(out, outSize, "%s", unit.designPath);
            break;
        }
    return out;
}

void ltAssertFailed(const char* expression, const char* file, int line)
{
    char unit[512];
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression,
                 ltSourceUnit(file, unit, sizeof unit), line);
    std::fflush(stderr);
    std::abort();
}
