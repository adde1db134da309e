// Where the budgets live: the user's settings, in a key of their own below
// the settings key ("...\1.3.1\Budgets"), a few values a connection. The
// levels already told are kept there too, so that a restart of the monitor
// does not tell them again. A store reads the file when made: make one for
// each use, so that another program's change in between is not undone.
#pragma once

#include "model/budget.h"
#include "platform/registry.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class BudgetStore {
public:
    // Throws LTException "Can't open a registry key" when the key can be
    // neither opened nor created.
    BudgetStore();
    // Only to read (a reader in a read-only sandbox): no budgets where the
    // key is not there.
    struct ReadOnly {};
    explicit BudgetStore(ReadOnly);
    // The settings file of a read-only store that is there but could not be
    // read (its budgets are left out); empty otherwise.
    const std::string& unreadableFile() const { return unreadable; }
    ~BudgetStore();
    BudgetStore(const BudgetStore&) = delete;
    BudgetStore& operator=(const BudgetStore&) = delete;

    // The file that holds them: a program that shows budgets watches it.
    std::string filePath() const { return key ? key->filePath() : std::string(); }
    // The connections with a budget, by name.
    std::vector<std::string> connections() const;
    // Every whole budget, by connection (spoilt ones left out).
    std::vector<std::pair<std::string, Budget>> budgets() const;
    // None for a connection without one (or with values that do not make
    // one: a hand-edited file is not trusted).
    std::optional<Budget> budgetOf(const std::string& connection) const;
    // Throws LTException: a budget checkBudget refuses, a name with a
    // control character (the settings file holds a value a line), or a
    // file that could not be written.
    void setBudget(const std::string& connection, const Budget& budget);
    void removeBudget(const std::string& connection);

    // The highest level told for the period that starts at periodStart; 0
    // when none was, or when the last told was of another period.
    int toldLevel(const std::string& connection, TDateTime periodStart) const;
    void setToldLevel(const std::string& connection, TDateTime periodStart, int level);

private:
    // The connection's values replaced by these, in one write.
    void replace(const std::string& connection, const platform::RegistryValues& values);
    std::unique_ptr<platform::RegistryKey> key;
    std::string unreadable;
};
