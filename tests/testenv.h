// Isolation of tests from the user's files: every test process gets its own
// data, configuration, runtime and IPC folders (set up in test_main).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testenv {

// The process's temporary root folder.
const std::string& root();
// A new empty folder below the root.
std::string freshFolder(const std::string& hint);
// The whole content of a file ("" when missing).
std::string readFile(const std::string& path);
std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
void appendBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// In a forked child: standard output and error go to these files.
void redirectOutput(const std::string& out, const std::string& err);

// Waits up to seconds (real time) for a condition, asking it again every
// pollMs milliseconds; its last answer.
bool eventually(const std::function<bool()>& condition, double seconds = 10, int pollMs = 10);

// Sets (or with nullptr unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name;
    bool hadValue;
    std::string oldValue;
};

} // namespace testenv
