#include "model/budgetstore.h"

#include "errors/ltexception.h"
#include "model/optionsmodel.h"
#include "platform/registry.h"

#include <algorithm>
#include <charconv>
#include <unistd.h>
#include <cstdint>

namespace {

// A value's name: the kind, a colon, the connection's name.
constexpr std::string_view CAP_MB = "CapMb:";
constexpr std::string_view CAP_MONEY = "CapMoney:";
constexpr std::string_view BILLING_DAY = "BillingDay:";
constexpr std::string_view COUNTED = "Counted:";
constexpr std::string_view NOTIFY = "Notify:";
constexpr std::string_view TOLD = "Told:";

std::string valueName(std::string_view kind, const std::string& connection) { return std::string(kind) + connection; }

// Numbers as text, the same under every locale, and read back exactly.
std::string numberText(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::optional<double> numberOf(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool sameLimits(const Budget& a, const Budget& b)
{
    return a.capMb == b.capMb && a.capMoney == b.capMoney && a.billingDay == b.billingDay && a.counted == b.counted;
}

} // namespace

BudgetStore::BudgetStore() : key(platform::RegistryKey::open(userSettingsKeyPath() + "\\Budgets", true))
{
    if (!key)
        throw LTException("Can't open a registry key");
}

BudgetStore::BudgetStore(ReadOnly) : key(platform::RegistryKey::open(userSettingsKeyPath() + "\\Budgets", false))
{
    const std::optional<std::string> file = platform::RegistryKey::filePathOf(userSettingsKeyPath() + "\\Budgets");
    if (!key && file && ::access(file->c_str(), F_OK) == 0)
        unreadable = *file;
}

BudgetStore::~BudgetStore() = default;

std::vector<std::string> BudgetStore::connections() const
{
    std::vector<std::string> names;
    if (!key)
        return names;
    for (const std::string& name : key->valueNames())
        if (name.starts_with(BILLING_DAY))
            names.push_back(name.substr(BILLING_DAY.size()));
    return names;
}

std::vector<std::pair<std::string, Budget>> BudgetStore::budgets() const
{
    std::vector<std::pair<std::string, Budget>> whole;
    for (const std::string& connection : connections())
        if (const std::optional<Budget> budget = budgetOf(connection))
            whole.emplace_back(connection, *budget);
    return whole;
}

std::optional<Budget> BudgetStore::budgetOf(const std::string& connection) const
{
    Budget budget;
    std::int32_t day = 0, counted = 0, notify = 1;
    if (!key || !key->readInteger(valueName(BILLING_DAY, connection), day))
        return std::nullopt;
    budget.billingDay = day;
    std::string text;
    if (key->readString(valueName(CAP_MB, connection), text) && !(budget.capMb = numberOf(text)))
        return std::nullopt;
    if (key->readString(valueName(CAP_MONEY, connection), text) && !(budget.capMoney = numberOf(text)))
        return std::nullopt;
    key->readInteger(valueName(COUNTED, connection), counted);
    if (counted < 0 || counted > static_cast<std::int32_t>(CountedTraffic::sent))
        return std::nullopt;
    budget.counted = static_cast<CountedTraffic>(counted);
    key->readInteger(valueName(NOTIFY, connection), notify);
    budget.notify = notify != 0;
    try {
        checkBudget(budget);
    } catch (const LTException&) {
        return std::nullopt;
    }
    return budget;
}

void BudgetStore::replace(const std::string& connection, const platform::RegistryValues& values)
{
    std::vector<std::string> removed;
    for (std::string_view kind : {BILLING_DAY, CAP_MB, CAP_MONEY, COUNTED, NOTIFY, TOLD})
        removed.push_back(valueName(kind, connection));
    if (!key || !key->replaceValues(removed, values))
        throw LTException("The budgets could not be saved in the settings.");
}

void BudgetStore::setBudget(const std::string& connection, const Budget& budget)
{
    checkBudget(budget);
    if (connection.empty() ||
        std::any_of(connection.begin(), connection.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        throw LTException("A budget cannot be kept for a connection whose name is empty or holds a control character.");
    platform::RegistryValues values;
    if (budget.capMb)
        values[valueName(CAP_MB, connection)] = numberText(*budget.capMb);
    if (budget.capMoney)
        values[valueName(CAP_MONEY, connection)] = numberText(*budget.capMoney);
    values[valueName(COUNTED, connection)] = static_cast<std::int32_t>(budget.counted);
    values[valueName(NOTIFY, connection)] = std::int32_t(budget.notify ? 1 : 0);
    values[valueName(BILLING_DAY, connection)] = std::int32_t(budget.billingDay);
    // The levels told go with the limits they were told of: a budget set
    // anew with the same caps, day and counted traffic keeps them.
    std::string told;
    const std::optional<Budget> old = budgetOf(connection);
    if (old && sameLimits(*old, budget) && key && key->readString(valueName(TOLD, connection), told))
        values[valueName(TOLD, connection)] = told;
    replace(connection, values);
}

void BudgetStore::removeBudget(const std::string& connection) { replace(connection, {}); }

int BudgetStore::toldLevel(const std::string& connection, TDateTime periodStart) const
{
    // "YYYY-MM-DD LEVEL": the period's first day and the level told in it.
    std::string text;
    if (!key || !key->readString(valueName(TOLD, connection), text))
        return 0;
    const std::string day = DateToISO(periodStart);
    if (!text.starts_with(day + " "))
        return 0;
    int level = 0;
    const char* first = text.data() + day.size() + 1;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), level);
    return error == std::errc() && end == text.data() + text.size() ? level : 0;
}

void BudgetStore::setToldLevel(const std::string& connection, TDateTime periodStart, int level)
{
    if (!key || !key->writeString(valueName(TOLD, connection), DateToISO(periodStart) + " " + std::to_string(level)))
        throw LTException("The budgets could not be saved in the settings.");
}
